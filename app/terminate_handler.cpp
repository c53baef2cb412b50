// GNU's C++ library ends an uncaught exception through a handler that prints the exception's
// demangled type to the standard error stream before it aborts. A GUI program has no such
// stream, and that handler links the whole demangler in (about 50 KB of the program). This
// one ends the program the same way without the message.
#include <cstdlib>

#ifdef __GLIBCXX__
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
#endif
