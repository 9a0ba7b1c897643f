#pragma once
// An archive or an applet's payload opened for l, t and x, and what can be
// wrong with it as a whole: no archive where one is expected, an archive cut
// short, or bytes after its end. Each fault is one line of text.

#include "CliSupport.h"
#include "payload/SignatureTable.h"

#include <memory>
#include <string>

namespace qv::qvpack {

struct OpenedArchive {
    std::unique_ptr<payload::TStream> stream; // ends where a signature begins
    int64_t offset = 0;
    payload::TSignatureTable signature;
};

// "-" is read into memory, so a pipe can be measured and searched too.
OpenedArchive OpenArchive(const std::string& path, const ArgList& a);

// Why there is no archive to read at the offset; empty when there is one.
std::string MissingArchiveFault(OpenedArchive& archive);

// What is wrong with the archive's extent, listing `listed` members; empty
// when it ends where its header says and nothing follows it.
std::string ExtentFault(OpenedArchive& archive, const payload::TArchiveExtent& extent,
                        size_t listed);

// "1 byte", "2 bytes".
std::string ByteCount(int64_t n);

} // namespace qv::qvpack
