# Sourced by the scripts that run the sanitized tests: any report ends its
# test with a failure, and leaks inside system libraries are suppressed by
# tests/support/lsan-suppressions.txt only.
kestrava_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$kestrava_root/tests/support/lsan-suppressions.txt:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
unset kestrava_root
