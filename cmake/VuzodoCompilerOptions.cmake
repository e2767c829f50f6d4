# Warnings and sanitizers for the project's own targets (not for third-party code).
add_library(vuzodo_warnings INTERFACE)
target_compile_options(vuzodo_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror -Wno-error=deprecated-declarations>
  $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)

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
endif()

# Keep a library unloadable by dlclose: GNU unique symbols pin a DSO in memory.
add_compile_options($<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
