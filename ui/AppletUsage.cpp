#include "AppletUsage.h"

#include <algorithm>

namespace qv::ui {

namespace {
// "#13/#10" is typed as seven ordinary characters.
constexpr const char* kUsage =
    "\n"
    "Switches (for the publisher and support; the end user gives none):\n"
    "  /max#13/#10        pack the folder's qvorig.qv, CdRwLib.dll, mqv2k.qv and qvi9cd.qv\n"
    "                     into Applet.exe, coded with LH5 (the packed files leave the folder)\n"
    "  /#13/#10           the same, with RLE\n"
    "  /Now#13/#10        pack without the disc image\n"
    "  /spawnqv00#13/#10  write the payload's files into the folder\n"
    "  /emptyqv00#13/#10  replace the applet by a copy without its payload\n"
    "  /show              end at once\n"
    "  /testqv00          make the CD with the recorder's test write (nothing is burnt)\n"
    "\n"
    "Exit codes of a run:\n"
    "  0 CD completed            1 cancelled by the user    2 content description missing\n"
    "  3 not enough disk space   4 no ASPI layer            5 no blank disc\n"
    "  6 no usable write mode    7 recording failed         8 recorder not found\n"
    "  11 no administrative rights                          76 the recorder did not become "
    "ready\n"
    "A copy without a payload ends at once with 0.\n";
} // namespace

bool AsksForVersion(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), kVersionArgument) != arguments.end();
}

const char* AppletUsage() {
    return kUsage;
}

} // namespace qv::ui
