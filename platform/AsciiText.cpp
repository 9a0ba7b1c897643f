#include "platform/AsciiText.h"

#include <algorithm>

namespace qv::platform {

namespace {

constexpr const char* kBlanks = " \t";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string TrimControls(const std::string& text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlankOrControl);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameAsciiFolded(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

} // namespace qv::platform
