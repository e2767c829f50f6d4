# What the Windows cross build needs beyond the common targets.
#
# The 32-bit DLL does its double arithmetic in SSE2 registers, as the 64-bit
# one does, not on the x87 stack: x87 rounds to the precision of its control
# word, which the host process owns (the mingw and Delphi runtimes and Wine's
# 32-bit processes run with 64-bit mantissas), so results would depend on the
# host. The records' rounding (OutlineCreator.cpp) needs each double operation
# rounded to 53 bits. The 32-bit ABI keeps the stack 4-byte aligned only:
# functions that spill SSE values realign it themselves.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
endif()

# Clipper: Debian ships it for Linux only (libpolyclipping-dev), so the DLL
# compiles clipper.cpp from Debian's source package of the same version,
# unpacked by scripts/windows.sh (apt-get source libpolyclipping). The header
# is laid out as <polyclipping/clipper.hpp>, as the Linux package installs it.
set(VUZODO_CLIPPER_SOURCE_DIR "" CACHE PATH
    "Unpacked Debian source package libpolyclipping (holds cpp/clipper.cpp)")
if(NOT EXISTS "${VUZODO_CLIPPER_SOURCE_DIR}/cpp/clipper.cpp")
  message(FATAL_ERROR "Windows build: set VUZODO_CLIPPER_SOURCE_DIR to the unpacked source of "
                      "Debian's libpolyclipping (scripts/windows.sh does)")
endif()
configure_file(${VUZODO_CLIPPER_SOURCE_DIR}/cpp/clipper.hpp
               ${PROJECT_BINARY_DIR}/clipper/include/polyclipping/clipper.hpp COPYONLY)
add_library(vuzodo_clipper STATIC ${VUZODO_CLIPPER_SOURCE_DIR}/cpp/clipper.cpp)
target_include_directories(vuzodo_clipper SYSTEM PUBLIC ${PROJECT_BINARY_DIR}/clipper/include)
target_include_directories(vuzodo_clipper PRIVATE ${VUZODO_CLIPPER_SOURCE_DIR}/cpp)

# Boost.Polygon is header-only, so Debian's Linux headers serve the DLL too. Only the boost
# folder is put on the path (through a link in the build tree): the rest of /usr/include
# belongs to the Linux C library.
set(VUZODO_BOOST_INCLUDE "/usr/include" CACHE PATH "Folder holding Debian's boost/ headers")
if(NOT EXISTS "${VUZODO_BOOST_INCLUDE}/boost/polygon/voronoi.hpp")
  message(FATAL_ERROR "Windows build: Boost.Polygon is missing (apt-get install libboost-dev)")
endif()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/boost/include)
file(CREATE_LINK ${VUZODO_BOOST_INCLUDE}/boost ${PROJECT_BINARY_DIR}/boost/include/boost SYMBOLIC)
add_library(vuzodo_boost INTERFACE)
target_include_directories(vuzodo_boost SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/boost/include)

# Only the library and its Windows test host are built for Windows.
set(VUZODO_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(VUZODO_BUILD_BENCH OFF CACHE BOOL "" FORCE)
set(VUZODO_BUILD_TOOLS OFF CACHE BOOL "" FORCE)
set(VUZODO_FUZZ OFF CACHE BOOL "" FORCE)

# One drop-in file: the C and C++ runtimes and winpthreads are linked into the
# DLL, so it imports system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)
