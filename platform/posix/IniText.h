#pragma once
// The text form of the Linux settings file: one "[key path]" section per key,
// "name=value" lines below it. Characters that would break the form (line
// breaks, "%", "=" and brackets in names, blanks at either end) are written
// as "%" and two hex digits; everything else is kept as it is, so the file
// stays easy to read and to edit by hand.

#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

struct IniEntry {
    std::string name;
    std::string value;
};

struct IniSection {
    std::string keyPath;
    std::vector<IniEntry> entries;
};

using IniDocument = std::vector<IniSection>;

// A damaged line costs that line only: a line that is neither blank, a
// comment (";" or "#"), a section nor an entry, an entry before the first
// section, a broken "%" escape or a NUL byte drops the line and keeps the
// rest. A section line that lost its closing bracket still names its section.
IniDocument ParseIni(const std::string& text);
std::string FormatIni(const IniDocument& document);

// Key paths and value names match without regard to the case of A to Z, as
// in the registry.
const IniEntry* FindEntry(const IniDocument& document, const std::string& keyPath,
                          const std::string& name);
void SetEntry(IniDocument& document, const std::string& keyPath, const std::string& name,
              const std::string& value);

} // namespace qv::platform
