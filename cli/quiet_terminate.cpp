// The runtime's default terminate handler prints the active exception's demangled type, and linking it
// pulls the whole C++ name demangler (about 50 KB) into the static Windows build. main() catches every
// exception and says what stopped it, so none reaches terminate; this handler only aborts.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
