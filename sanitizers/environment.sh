# shellcheck shell=bash
# The runtime options of the sanitizer build (PYLON_SANITIZE / PYLON_FUZZ), sourced by
# scripts/run-sanitized-tests and scripts/run-fuzzers; source it to run one sanitized program by hand.
# Child processes inherit them.
# detect_stack_use_after_return: a coroutine that keeps a reference to its caller's local is caught
# when it reads it after the caller returned. halt_on_error: the first report ends the process with
# a non-zero status, so the suite or fuzzer that ran it fails.
#
# Leak checking is off for the application and its test suites (scripts/run-fuzzers turns it on for
# the parsers): QCoro 0.8 cannot cancel a task, so a coroutine suspended on a network reply, timer
# or signal whose object is destroyed is never resumed and keeps its frame, and those of the
# coroutines awaiting it, for good. Every test that destroys a controller, poller or client in the
# middle of an exchange ends with such frames, depending on timing; suppressing them would mean
# suppressing every coroutine of the application, which leaves nothing to find.
export ASAN_OPTIONS="detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_leaks=0:halt_on_error=1"
# No suppressions: Qt is not instrumented, so nothing inside it is reported, and nothing of the
# project's own code has needed one.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Reports with function names and lines.
if [[ -z "${ASAN_SYMBOLIZER_PATH:-}" && -x /usr/lib/llvm-16/bin/llvm-symbolizer ]]; then
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-16/bin/llvm-symbolizer
fi
