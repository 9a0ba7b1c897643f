#include "platform/DynamicLibrary.h"

#include <windows.h>

namespace qv::platform {

LibraryHandle OpenLibrary(const std::string& folder, const std::string& name) {
    if (folder.empty()) return LoadLibraryA(name.c_str());
    const char last = folder.back();
    const std::string separator = (last == '\\' || last == '/') ? "" : "\\";
    return LoadLibraryA((folder + separator + name).c_str());
}

void* FindLibraryEntry(LibraryHandle library, const char* entryName) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), entryName));
}

bool CloseLibrary(LibraryHandle library) {
    return library != nullptr && FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

} // namespace qv::platform
