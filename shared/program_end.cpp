// How each program ends when the C++ runtime gives up (memory exhausted, a
// string too long): at once, as an uncaught exception would end it anyway.
// Nothing in the programs catches, so the exceptions and their handler only
// cost space: the runtime's handler demangles the exception's type for its
// message (44 KiB of demangler), and its throwing helpers bring the exception
// classes with their own string type (another 25 KiB), together a third of
// what a program may take on the device. Linked into each program itself (not
// through the shared library), so that these stand in for the runtime's own.
#include <bits/functexcept.h>

#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_bad_function_call() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
}  // namespace std
