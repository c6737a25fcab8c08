// The DLL's versions of the libstdc++ helpers through which the standard
// containers throw, in place of libstdc++'s own.
//
// Those sit in one object with every other such helper, which drags in the
// std::logic_error family and with it two complete std::string
// implementations. The containers here only ever report that memory cannot
// be had: a size beyond max_size() is a request no allocator meets, so it is
// reported as std::bad_alloc too, which the exports turn into a failure
// instead of a crash of the installer.
//
// Should the engine come to need another helper, libstdc++'s object returns
// and the link fails on these being defined twice; the new one belongs here.
#include <bits/functexcept.h>

#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }

void __throw_bad_array_new_length() { throw bad_array_new_length(); }

void __throw_length_error(const char*) { throw bad_alloc(); }

}  // namespace std
