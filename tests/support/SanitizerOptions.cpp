// SPDX-License-Identifier: MIT
// Run-time options of AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer for the test
// programs of the sanitizer build. The sanitizers ask these functions at start-up; an environment
// variable (ASAN_OPTIONS, ...) set by hand still overrides them. The first report of any kind
// ends the program with a non-zero status, so CTest counts it as a failed test.
#ifndef VARLEN_LSAN_SUPPRESSIONS
#error "VARLEN_LSAN_SUPPRESSIONS must name the leak suppressions file"
#endif

#define VARLEN_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

// Not strict_string_checks: it takes strndup() over a buffer of exactly n bytes without a NUL
// (which libxkbcommon-x11 does, correctly, when Qt's xcb platform starts) for an overflow.
VARLEN_SANITIZER_HOOK const char* __asan_default_options() {
    return "halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:"
           "check_initialization_order=1:strict_init_order=1:allocator_may_return_null=0";
}

VARLEN_SANITIZER_HOOK const char* __lsan_default_options() {
    return "suppressions=" VARLEN_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

VARLEN_SANITIZER_HOOK const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

// ThreadSanitizer (`make tsan-test`): the first race ends the test, with both threads' stacks.
VARLEN_SANITIZER_HOOK const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=" VARLEN_TSAN_SUPPRESSIONS;
}
