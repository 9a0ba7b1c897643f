#include "platform/posix/IniText.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <sstream>
#include <string_view>

namespace qv::platform {

namespace {

constexpr const char* kUtf8Mark = "\xEF\xBB\xBF";
constexpr const char* kHexDigits = "0123456789ABCDEF";
// Characters escaped in each part; blanks at either end are escaped as well.
constexpr const char* kSectionSpecial = "%\r\n]";
constexpr const char* kNameSpecial = "%\r\n=[;#";
constexpr const char* kValueSpecial = "%\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Escape(const std::string& text, const char* special) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool atEnd = i == 0 || i + 1 == text.size();
        if (std::string_view(special).find(static_cast<char>(c)) != std::string_view::npos ||
            (atEnd && IsBlank(static_cast<char>(c)))) {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

IniSection& SectionFor(IniDocument& document, const std::string& keyPath) {
    for (IniSection& section : document)
        if (SameAsciiFolded(section.keyPath, keyPath)) return section;
    document.push_back(IniSection{keyPath, {}});
    return document.back();
}

} // namespace

IniDocument ParseIni(const std::string& text) {
    std::istringstream lines(text.rfind(kUtf8Mark, 0) == 0 ? text.substr(3) : text);
    IniDocument document;
    std::optional<std::string> currentPath;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
        if (trimmed.find('\0') != std::string::npos) continue;
        if (trimmed[0] == '[') {
            const size_t end = trimmed.back() == ']' ? trimmed.size() - 1 : trimmed.size();
            // Entries under a section whose name cannot be read belong nowhere.
            currentPath = Unescape(trimmed.substr(1, end - 1));
            if (currentPath) SectionFor(document, *currentPath);
            continue;
        }
        const size_t equals = trimmed.find('=');
        if (equals == std::string::npos || !currentPath) continue;
        const auto name = Unescape(TrimBlanks(trimmed.substr(0, equals)));
        const auto value = Unescape(TrimBlanks(trimmed.substr(equals + 1)));
        if (name && value) SetEntry(document, *currentPath, *name, *value);
    }
    return document;
}

std::string FormatIni(const IniDocument& document) {
    std::string text;
    for (const IniSection& section : document) {
        if (!text.empty()) text += '\n';
        text += '[' + Escape(section.keyPath, kSectionSpecial) + "]\n";
        for (const IniEntry& entry : section.entries)
            text +=
                Escape(entry.name, kNameSpecial) + '=' + Escape(entry.value, kValueSpecial) + '\n';
    }
    return text;
}

const IniEntry* FindEntry(const IniDocument& document, const std::string& keyPath,
                          const std::string& name) {
    for (const IniSection& section : document) {
        if (!SameAsciiFolded(section.keyPath, keyPath)) continue;
        for (const IniEntry& entry : section.entries)
            if (SameAsciiFolded(entry.name, name)) return &entry;
    }
    return nullptr;
}

void SetEntry(IniDocument& document, const std::string& keyPath, const std::string& name,
              const std::string& value) {
    IniSection& section = SectionFor(document, keyPath);
    for (IniEntry& entry : section.entries) {
        if (SameAsciiFolded(entry.name, name)) {
            entry.value = value;
            return;
        }
    }
    section.entries.push_back(IniEntry{name, value});
}

} // namespace qv::platform
