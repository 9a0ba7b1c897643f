#include "ContentTitle.h"

#include "platform/AsciiText.h"
#include "platform/Files.h"

#include <fstream>
#include <iterator>

namespace qv::app {

namespace {

using platform::SameAsciiFolded;
using platform::TrimBlanks;

std::string WithoutQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::string IniValue(const std::string& text, const std::string& section, const std::string& key) {
    const std::string wantedSection = TrimBlanks(section);
    const std::string wantedKey = TrimBlanks(key);
    bool inSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        SameAsciiFolded(TrimBlanks(line.substr(1, close - 1)), wantedSection);
            continue;
        }
        if (!inSection) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos ||
            !SameAsciiFolded(TrimBlanks(line.substr(0, equals)), wantedKey))
            continue;
        return WithoutQuotes(TrimBlanks(line.substr(equals + 1)));
    }
    return {};
}

std::string ReadContentTitle(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string title = IniValue(text, kTitleSection, kTitleKeyWithBlank);
    if (title.empty()) title = IniValue(text, kTitleSection, kTitleKey);
    // The profile reader works on C strings: a NUL ends the value.
    return title.substr(0, title.find('\0'));
}

} // namespace qv::app
