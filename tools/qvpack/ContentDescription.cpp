// The content description a publisher without one gets from --title.
#include "ArchiveSupport.h"
#include "ImageFiles.h"

#include <fstream>

namespace qv::qvpack {

namespace {
// The applet reads the title from this section and key; the key keeps its
// trailing blank, as the publishers' own files write it.
constexpr const char* kTitleSection = "[TITLE]";
constexpr const char* kTitleKey = "Title ";
// Quoted, so a title's own blanks or quotes at its ends survive the reader,
// which takes off surrounding blanks and one pair of quotes.
constexpr const char* kQuote = "\"";
constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTitleOnOneLine = "--title must be one line of text";
constexpr const char* kCannotWrite = ": cannot be written";
} // namespace

void WriteContentDescription(const std::string& title, const std::string& path) {
    if (title.find_first_of("\r\n") != std::string::npos) throw UsageError(kTitleOnOneLine);
    std::ofstream out(path, std::ios::binary);
    out << kTitleSection << kLineEnd << kTitleKey << '=' << kQuote << title << kQuote << kLineEnd;
    out.close();
    if (!out) throw DataError(path + kCannotWrite);
}

} // namespace qv::qvpack
