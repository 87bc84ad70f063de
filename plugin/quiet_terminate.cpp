// The runtime's default terminate handler prints the active exception's demangled type to stderr, which a
// plug-in inside a GUI host does not have; linking it also pulls the whole C++ name demangler (about 50 KB)
// into the DLL. Defining the handler here keeps the runtime's copy out. Terminate still aborts; no
// exception reaches it anyway, since every entry point catches all of them.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
