#pragma once
// What every qvpack command shares: exit codes, option parsing, opening
// files or standard streams, and whether standard error is a terminal.

#include "payload/archive/Compress.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::qvpack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDataError = 1;
inline constexpr int kExitUsage = 2;

// A usage error: the message is printed with a pointer to --help.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options of the form "-x VALUE" or "--name VALUE" and flags, in any order
// before or between the positional arguments.
class ArgList {
public:
    ArgList(std::vector<std::string> args, std::vector<std::string> valueOptions,
            std::vector<std::string> flags);
    std::optional<std::string> Value(const std::string& option) const;
    bool Flag(const std::string& flag) const;
    const std::vector<std::string>& Positional() const { return positional_; }

private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::vector<std::string> flags_;
    std::vector<std::string> positional_;
};

// "non", "rle", "lzh", "lh5" (any case) to the method number.
uint8_t ParseMethod(const std::string& name, const std::vector<uint8_t>& allowed);
int32_t ParseInt32(const std::string& text, const std::string& what);

// "-" is standard input or output.
std::unique_ptr<payload::TStream> OpenInput(const std::string& path);
std::unique_ptr<payload::TStream> OpenOutput(const std::string& path);
// Removes the half-written output of a failed command. Only a regular file
// goes: an output such as /dev/null or a symbolic link stays where it is.
void RemovePartialOutput(const std::string& path);
// Standard input has no size: it is read into memory first.
std::unique_ptr<payload::TStream> OpenSizedInput(const std::string& path, int64_t& size);

// A file written beside its destination and renamed over it only once whole,
// so a failed command leaves no half-written file and an input that is also
// the output is read in full before it is replaced. A destination that is a
// link is replaced at the link's target; one that is no regular file (a
// device such as /dev/null) is written in place.
class ReplacingOutput {
public:
    explicit ReplacingOutput(const std::string& destination);
    ~ReplacingOutput(); // removes the sibling unless committed
    ReplacingOutput(const ReplacingOutput&) = delete;
    ReplacingOutput& operator=(const ReplacingOutput&) = delete;
    const std::string& WritePath() const { return write_; }
    // Call once the written file is closed; `executable` adds the execute
    // bits wherever the read bits are, as for a program the build links.
    void Commit(bool executable);

private:
    std::string final_;
    std::string write_;
    bool committed_ = false;
};

bool StderrIsTerminal();

uint32_t MillisecondsSince(uint64_t startTicks);
uint64_t NowTicks();

} // namespace qv::qvpack
