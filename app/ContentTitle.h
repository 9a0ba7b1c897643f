#pragma once
// The title of the carried content, from the content description file, an
// INI-style text read the way the system's profile reader reads it.

#include <string>

namespace qv::app {

inline constexpr const char* kTitleSection = "TITLE";
// The publisher's files write the key with a blank before the "=".
inline constexpr const char* kTitleKeyWithBlank = "Title ";
inline constexpr const char* kTitleKey = "Title";

// The value of the key in the section of INI text; section and key names
// compare without regard to case and surrounding blanks, the value loses
// its surrounding blanks and one pair of enclosing quotes. Empty when the
// section or the key is missing.
std::string IniValue(const std::string& text, const std::string& section, const std::string& key);

// The title in the file: key "Title " of section "TITLE", else key "Title";
// empty for a missing, unreadable or title-less file.
std::string ReadContentTitle(const std::string& path);

} // namespace qv::app
