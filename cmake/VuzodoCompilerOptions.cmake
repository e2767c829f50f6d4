# Warnings and sanitizers for the project's own targets (not for third-party code).
# Warnings are errors in the project's own builds (scripts/build.sh turns
# VUZODO_WERROR on; the test command and CI build through it). A plain cmake
# build leaves it off, so that a packager's newer or older compiler with a new
# false positive still builds the library; the warnings are printed either way.
option(VUZODO_WERROR "Treat compiler warnings in the project's own code as errors" OFF)
add_library(vuzodo_warnings INTERFACE)
target_compile_options(vuzodo_warnings INTERFACE -Wall -Wextra)
if(VUZODO_WERROR)
  target_compile_options(vuzodo_warnings INTERFACE -Werror
                         $<$<COMPILE_LANGUAGE:CXX>:-Wno-error=deprecated-declarations>)
endif()

if(VUZODO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing: every library gets the coverage instrumentation and both sanitizers; the fuzz
# targets link the libFuzzer driver themselves (fuzz/CMakeLists.txt).
if(VUZODO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VUZODO_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  # The fuzzing convention's macro: work bounds meant for a production host's patience are
  # lowered so that an input reaches them within the fuzzers' time limit (QELHatching).
  add_compile_definitions(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
endif()

# Keep a library unloadable by dlclose: GNU unique symbols pin a DSO in memory.
add_compile_options($<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
