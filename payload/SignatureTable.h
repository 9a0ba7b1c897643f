#pragma once
// The code signature of a Windows executable: a certificate table that the
// signing tool appends after everything else, so after the payload too. The
// archive region of a signed applet ends where that table begins.

#include "payload/codec/Stream.h"

#include <cstdint>

namespace qv::payload {

struct TSignatureTable {
    int64_t Offset = 0; // first byte of the table; 0 when the file carries none
    int64_t Size = 0;
    // Where the header's entry that names the table lies (-1: not a PE file).
    int64_t DirectoryEntryAt = -1;
    bool Present() const { return Size > 0; }
};

// Reads the PE headers at the stream's start. The table counts only when it
// is sane: a well-formed certificate table, 8-byte aligned, starting at or
// after notBefore (where the archive ends, when known) and reaching exactly
// to the file's end, as a signing tool leaves it. Anything else (an ELF
// file, damaged headers, an entry into the archive) gives none.
TSignatureTable FindSignatureTable(TStream* file, int64_t notBefore = 0);

// Where the archive region of the file ends: the table's start, or the size.
int64_t ArchiveRegionEnd(TStream* file, const TSignatureTable& table);

// Blanks the table's directory entry in a copy of the headers, so the copy is
// unsigned. The image checksum the signing tool wrote stays: Windows checks
// it only for drivers, and the payload appended later changes it anyway.
void ClearSignatureEntry(TStream* copy, const TSignatureTable& table);

} // namespace qv::payload
