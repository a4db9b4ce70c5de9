# Build guards for the project's own targets (everything this CMake project compiles; Qt, QCoro,
# pugixml and the Node-API headers come in as system headers, so their warnings never count):
#
#   PYLON_WERROR    every warning is an error (CI builds turn it on)
#   PYLON_SANITIZE  AddressSanitizer and UndefinedBehaviorSanitizer; any report ends the process
#   PYLON_FUZZ      the libFuzzer targets in fuzz/ (clang only, implies PYLON_SANITIZE): the code
#                   under test also carries libFuzzer's coverage instrumentation, so one build tree
#                   serves both the sanitized test suites and the fuzzers
#
# scripts/run-sanitized-tests runs the test suites of such a tree with the runtime options and
# suppressions in sanitizers/; `make fuzz` runs the fuzzers.

option(PYLON_WERROR "Treat warnings in the project's own code as errors" OFF)
option(PYLON_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PYLON_FUZZ "Build the libFuzzer targets in fuzz/ (clang; implies PYLON_SANITIZE)" OFF)

if(PYLON_WERROR)
    add_compile_options(-Werror)
endif()

if(PYLON_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "PYLON_FUZZ needs clang (libFuzzer), e.g. -DCMAKE_CXX_COMPILER=clang++-16 "
                            "-DCMAKE_C_COMPILER=clang-16")
    endif()
    set(PYLON_SANITIZE ON CACHE BOOL "" FORCE)
endif()

if(PYLON_SANITIZE)
    # Recovering from undefined behaviour would only print it; aborting makes every report a failure.
    # The frame pointers give whole stacks in the reports.
    set(pylon_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all)
    add_compile_options(${pylon_sanitizers} -fno-omit-frame-pointer)
    add_link_options(${pylon_sanitizers})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # Stack frames that may outlive their call (a coroutine keeping a reference to a caller's
        # local) are moved to the heap when ASAN_OPTIONS asks for detect_stack_use_after_return.
        add_compile_options(-fsanitize-address-use-after-return=runtime)
    endif()
endif()

if(PYLON_FUZZ)
    # Coverage feedback for libFuzzer in all code; the fuzz targets link libFuzzer itself
    # (-fsanitize=fuzzer, see fuzz/CMakeLists.txt). The sanitizer runtime supplies the coverage
    # callbacks for the test programs, which do not link libFuzzer.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
