#pragma once
// Helpers for the archive tests: archives written from real files in a
// temporary folder, and raw archives put together byte by byte.

#include "payload/archive/ArchiveFormat.h"
#include "payload/archive/Compress.h"
#include "tests/unit/TestSupport.h"
#include "tests/unit/platform/PlatformTempFolder.h"

#include <string>
#include <utility>
#include <vector>

namespace qv::test {

using payload::TCompress;
using payload::TMemoryStream;
using payload::TStringList;

inline std::string AsText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Writes the named files into the folder, then an archive of them (in the
// given order) with TargetPath set to the folder.
inline Bytes ArchiveOf(TCompress& c, const PlatformTempFolder& folder,
                       const std::vector<std::pair<std::string, Bytes>>& files, uint8_t method) {
    TStringList paths;
    for (const auto& [name, data] : files)
        paths.push_back(folder.Write(name, AsText(data)));
    c.SetTargetPath(folder.Path());
    TMemoryStream out;
    c.WriteArchive(&out, paths, method);
    return out.Bytes();
}

struct RawMember {
    std::string name;
    Bytes data;
    payload::archive::RecordFields fields; // NameLength and CompressedSize filled in when 0
};

inline void Append(Bytes& to, const uint8_t* bytes, size_t n) {
    to.insert(to.end(), bytes, bytes + n);
}

inline Bytes RawArchive(const std::string& compressId, int32_t totalSize,
                        std::vector<RawMember> members, uint8_t archiveType = 1) {
    payload::archive::HeaderFields h;
    h.CompressID = compressId;
    h.TotalSize = totalSize;
    h.ArchiveType = archiveType;
    const auto header = payload::archive::EncodeHeader(h);
    Bytes out(header.begin(), header.end());
    for (auto& m : members) {
        if (m.fields.NameLength == 0) m.fields.NameLength = static_cast<int16_t>(m.name.size());
        if (m.fields.CompressedSize == 0)
            m.fields.CompressedSize = static_cast<int32_t>(m.data.size());
        const auto record = payload::archive::EncodeRecord(m.fields);
        Append(out, record.data(), record.size());
        Append(out, reinterpret_cast<const uint8_t*>(m.name.data()), m.name.size());
        Append(out, m.data.data(), m.data.size());
    }
    return out;
}

// A stored ("NON") member of plain bytes with a correct checksum.
inline RawMember StoredMember(const std::string& name, const std::string& text) {
    RawMember m{name, Bytes(text.begin(), text.end()), {}};
    m.fields.OriginalSize = static_cast<int32_t>(text.size());
    for (unsigned char ch : text)
        m.fields.Checksum += ch;
    m.fields.Attributes = 0x20;
    return m;
}

inline TStringList Extract(TCompress& c, const Bytes& archive, const std::string& target,
                           TStringList* selection = nullptr) {
    TMemoryStream in(archive);
    c.SetTargetPath(target);
    c.ExtractMembers(&in, selection);
    return selection ? *selection : TStringList{};
}

} // namespace qv::test
