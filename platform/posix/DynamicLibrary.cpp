#include "platform/DynamicLibrary.h"
#include "platform/posix/ElfWholeness.h"

#include <dlfcn.h>

namespace qv::platform {

LibraryHandle OpenLibrary(const std::string& folder, const std::string& name) {
    // dlopen searches the system folders for a bare name, never the working
    // folder, so the path always carries a folder.
    const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + name;
    // A cut library fails here like a missing one instead of killing the run.
    if (!ElfImageIsWhole(path)) return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindLibraryEntry(LibraryHandle library, const char* entryName) {
    if (library == nullptr) return nullptr;
    return dlsym(library, entryName);
}

bool CloseLibrary(LibraryHandle library) {
    return library != nullptr && dlclose(library) == 0;
}

} // namespace qv::platform
