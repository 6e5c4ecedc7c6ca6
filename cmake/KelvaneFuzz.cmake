# -DKELVANE_FUZZ=ON: every target is built with libFuzzer's coverage hooks, AddressSanitizer and
# UndefinedBehaviorSanitizer, and fuzz/ adds one harness per parser of outside input. Only
# clang has libFuzzer; scripts/fuzz.sh configures and runs such a build.
option(KELVANE_FUZZ "Build the libFuzzer harnesses in fuzz/ (clang only)" OFF)

if(KELVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KELVANE_FUZZ needs clang, which has libFuzzer; this build uses "
      "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER}. Configure a separate build folder with "
      "-DCMAKE_CXX_COMPILER=clang++-14, or run scripts/fuzz.sh.")
  endif()
  if(KELVANE_SANITIZE)
    message(FATAL_ERROR "KELVANE_FUZZ already builds with the sanitizers; leave KELVANE_SANITIZE off")
  endif()
  # clang 14 cannot emit the function-type check beside the coverage counters in coroutine
  # code ("Cannot represent a difference across sections"); that one check is left out.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=function
    -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
