# Installation: the shared library, its header, the command line, a CMake
# package (find_package(vuzodo) gives the imported target vuzodo::vuzodo) and
# a pkg-config file. Only the public interface is installed; the static parts
# are inside the shared library.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS vuzodo EXPORT vuzodoTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/vuzodo/vuzodo.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vuzodo)
if(TARGET vuzodo_cli)
  # The program finds the library beside it in the prefix wherever that is.
  set_target_properties(vuzodo_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS vuzodo_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/vuzodo)
install(EXPORT vuzodoTargets NAMESPACE vuzodo:: DESTINATION ${_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vuzodoConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/vuzodoConfig.cmake
                              INSTALL_DESTINATION ${_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vuzodoConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vuzodoConfig.cmake
              ${PROJECT_BINARY_DIR}/vuzodoConfigVersion.cmake
        DESTINATION ${_cmake_dir})

# The .pc file names its prefix relative to its own folder (libdir may be
# lib or lib/<multiarch>).
file(RELATIVE_PATH VUZODO_PC_TO_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vuzodo.pc.in ${PROJECT_BINARY_DIR}/vuzodo.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vuzodo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
