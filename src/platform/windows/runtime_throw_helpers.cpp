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
//
// The check of a new[] of variable length throws through a helper of the C++
// ABI, which sits in one object with those of dynamic_cast and typeid and
// brings std::bad_cast and std::bad_typeid along; its version is here too.
#include <bits/functexcept.h>
#include <cxxabi.h>

#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }

void __throw_bad_array_new_length() { throw bad_array_new_length(); }

void __throw_length_error(const char*) { throw bad_alloc(); }

}  // namespace std

namespace __cxxabiv1 {

extern "C" void __cxa_throw_bad_array_new_length() { throw std::bad_array_new_length(); }

}  // namespace __cxxabiv1
