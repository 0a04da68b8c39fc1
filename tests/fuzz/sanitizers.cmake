# Fuzzing build: every layer is instrumented for libFuzzer's coverage and runs under
# AddressSanitizer and UndefinedBehaviorSanitizer, so a finding in any layer a fuzz target
# reaches stops the run. Undefined behaviour aborts instead of printing and going on.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "MURMEX_FUZZ needs Clang (libFuzzer): configure with CC=clang CXX=clang++")
endif()
set(MURMEX_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
add_compile_options(${MURMEX_FUZZ_SANITIZERS} -fsanitize=fuzzer-no-link -fno-omit-frame-pointer)
add_link_options(${MURMEX_FUZZ_SANITIZERS})
