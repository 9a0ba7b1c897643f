#pragma once
// The dynamic library port: load a library by file name from a folder, find
// its entries by name, release it. The name is used as given on every system
// (the recorder engine is "CdRwLib.dll" on Linux too).

#include <string>

namespace qv::platform {

// Opaque; nullptr when loading failed.
using LibraryHandle = void*;

// Loads folder/name; an empty folder means the system's normal search for a
// bare name on Windows and the current folder elsewhere.
LibraryHandle OpenLibrary(const std::string& folder, const std::string& name);

// The address of an exported entry, or nullptr when the library lacks it.
void* FindLibraryEntry(LibraryHandle library, const char* entryName);

// True when the system released the library.
bool CloseLibrary(LibraryHandle library);

// True when folder/name (same folder rule as OpenLibrary) is a library built
// for another processor than the running program, such as a 32-bit library
// beside a 64-bit program: no system loads that, and a caller can tell it
// from a missing library. Read from the file's own PE or ELF header.
bool LibraryBuiltForOtherMachine(const std::string& folder, const std::string& name);

} // namespace qv::platform
