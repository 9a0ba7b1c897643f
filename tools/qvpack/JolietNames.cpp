#include "JolietNames.h"

#include <cstdint>
#include <optional>

namespace qv::qvpack {

namespace {
// The longest leaf name the image writer gives Joliet when asked to: longer
// ones it would cut short, and two names could then meet.
constexpr size_t kJolietNameLimit = 103;
constexpr const char* kNotUtf8 = "the name is not UTF-8 text, which Joliet needs";
constexpr const char* kTooLong = "the name is longer than the 103 characters Joliet holds";
constexpr std::u16string_view kForbidden = u"*/:;?\\";

// UTF-8 to UTF-16; nothing for bytes that are not UTF-8.
std::optional<std::u16string> Utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80         ? 0
                          : lead >> 5 == 0x06 ? 1
                          : lead >> 4 == 0x0E ? 2
                          : lead >> 3 == 0x1E ? 3
                                              : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) return std::nullopt;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if (next >> 6 != 2) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        i += static_cast<size_t>(extra) + 1;
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}
} // namespace

std::string JolietNameFault(const std::string& utf8Name) {
    const auto name = Utf16(utf8Name);
    if (!name) return kNotUtf8;
    if (name->size() > kJolietNameLimit) return kTooLong;
    return {};
}

size_t JolietPathLength(const std::string& utf8Path) {
    const auto path = Utf16(utf8Path);
    return path ? path->size() : utf8Path.size();
}

std::u16string JolietKey(const std::string& utf8Name) {
    std::u16string key = Utf16(utf8Name).value_or(u"");
    for (auto& c : key) {
        if (c < 0x20 || kForbidden.find(c) != std::u16string_view::npos) c = u'_';
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return key;
}

} // namespace qv::qvpack
