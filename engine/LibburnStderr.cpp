// Debian's libburn.a is built without position-independent code: it reaches
// the C library's `stderr` directly, which code inside a shared object
// cannot do. The engine defines a `stderr` of its own, hidden, that the
// archive binds to instead, and copies the process's stream into it when
// the engine is loaded, so libburn's messages still reach the error output.
// (No <cstdio> here: its declaration of the same name would clash.)

#include <dlfcn.h>

extern "C" {
__attribute__((visibility("hidden"))) void* stderr = nullptr;
}

namespace {

// Before every other constructor of the engine: the C++ runtime linked in
// builds std::cerr on this stream, and a null one would make its flush at
// unload flush every stream of the process.
__attribute__((constructor(101))) void BindErrorStream() {
    // The hidden definition is not in the dynamic symbol table, so this
    // finds the process's own.
    void* const* processStream = static_cast<void* const*>(dlsym(RTLD_DEFAULT, "stderr"));
    stderr = processStream != nullptr ? *processStream : nullptr;
}

} // namespace
