// The DLL's std::terminate handler, in place of libstdc++'s verbose one.
//
// That one prints the type of the escaping exception to stderr, which no one
// reads inside an installer's custom-action process, and needs the C++
// demangler and MinGW's printf to do so: most of the DLL's size. Defined in
// the DLL itself, this one keeps them out of the link.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
