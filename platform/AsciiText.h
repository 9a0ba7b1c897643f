#pragma once
// The text rules the applet's readers share: trimming, and the A-to-Z case
// folding of names the system compares without regard to case (switches,
// profile sections and keys, settings names, track files). Only ASCII
// letters fold: other bytes compare as they are, whatever the locale.

#include <string>

namespace qv::platform {

// Without blanks and tabs at either end.
std::string TrimBlanks(const std::string& text);
// Without blanks and control characters (everything up to ' ') at either end.
std::string TrimControls(const std::string& text);

// a-z become A-Z; every other character stays.
char UpperAscii(char c);
// A-Z become a-z; every other character stays.
std::string LowerAscii(std::string text);
// Same length, and the same characters once A-Z are folded.
bool SameAsciiFolded(const std::string& a, const std::string& b);

} // namespace qv::platform
