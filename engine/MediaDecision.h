#pragma once
// Which medium the applet may write: the one table every real-drive back end
// decides blankness from. Only a blank CD-R or CD-RW is blank (a pseudo-drive
// counts as a CD-R, blank while its file is an empty regular file); a CD-RW
// holding data may be erased; every other medium, overwritable DVDs and BDs
// with or without data included, is not blank.

#include <cstdint>

namespace qv::engine {

// The drive's view of the medium, whatever the back end calls it.
enum class DiscState { Unknown, Blank, Empty, Appendable, Full, Unsuitable };

// MMC profile numbers of the two media a CD is made on.
inline constexpr int kProfileCdR = 0x09;
inline constexpr int kProfileCdRw = 0x0a;

struct Medium {
    bool pseudoDrive = false;
    int profile = 0; // MMC profile; ignored for a pseudo-drive
    DiscState state = DiscState::Unknown;
    bool emptyRegularFile = false; // a pseudo-drive's file: missing or empty
};

enum class MediumVerdict { Blank, UsedRewritable, NotBlank };

MediumVerdict JudgeMedium(const Medium& medium);

// The flag IsDiscBlank reports as "rewritable": set for a blank or used
// CD-RW only, so that the erase question is never asked about another medium.
bool ReportsRewritable(const Medium& medium);

} // namespace qv::engine
