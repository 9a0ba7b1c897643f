#pragma once
// The publisher's folder as the disc will hold it: every entry in name
// order, checked first against what a CD image can carry, so that nothing
// is dropped or renamed behind the publisher's back.

#include <cstdint>
#include <string>
#include <vector>

namespace qv::qvpack {

struct FolderEntry {
    enum class Kind { Folder, File, Link };
    Kind kind = Kind::File;
    std::string path;   // below the folder, '/' between the parts
    std::string source; // the file on disk
    size_t parent = 0;  // index of the folder holding it; 0 is the folder itself
    std::string name;
    int64_t size = 0;
    uint32_t mode = 0; // the permission bits
    int64_t mtime = 0;
    std::string linkTarget;
};

struct ScanLimits {
    bool largeFiles = false; // ISO level 3 splits files of 4 GiB and more
};

// Entry 0 is the folder itself; a folder's entries follow it, sorted by
// name bytes. Every problem found is named in one DataError.
std::vector<FolderEntry> ScanFolder(const std::string& folder, const ScanLimits& limits);

} // namespace qv::qvpack
