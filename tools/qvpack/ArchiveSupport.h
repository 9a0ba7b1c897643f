#pragma once
// What the archive commands share: finding the archive inside a file (a bare
// archive or an applet's payload), gathering the files to pack, per-member
// and the listing's formats.

#include "CliSupport.h"
#include "payload/archive/Compress.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace qv::qvpack {

// Raised for input that is not what the command needs; exit code 1.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The archive's offset in the file: --offset when given, 0 for a file that
// starts with the archive signature, else the applet's stamped payload offset.
int64_t LocateArchive(payload::TStream* file, const std::string& path,
                      const std::optional<std::string>& offsetOption);

// The stamped size of a bare applet (its payload offset); raises DataError
// when the file has no single stamped slot.
int64_t StampedBareSize(payload::TStream* file, const std::string& path);

// Absolute path of the folder (the current one when empty).
std::string AbsoluteFolder(const std::string& folder);
// The name a file is stored under: its path below the base folder, or, for
// a file outside it, its bare name (a rooted name would be refused by x and
// written outside the folder by anything that takes it).
std::string StoredName(const std::string& file, const std::string& baseFolder);

// The files named (folders walked in name order), as absolute paths; a name
// that is neither a file nor a folder raises DataError.
payload::TStringList CollectFiles(const std::string& baseFolder,
                                  const std::vector<std::string>& names);

// Sizes to expect per member name, so OnCheckFile can start a member's share
// of the progress bar.
using SizeByName = std::map<std::string, int64_t>;

std::string FormatDosDate(uint32_t dosDateTime);
std::string FormatAttributes(uint16_t attributes);
// Stored size as a percentage of the original (100 for empty members).
double RatioPercent(int64_t original, int64_t stored);

} // namespace qv::qvpack
