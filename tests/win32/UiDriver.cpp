// qvuidriver COMMAND [ARGS] [COMMAND [ARGS] ...]
// Drives the applet's window; prints one line per finding and ends with
// exit code 1 when any check failed or a command was not understood.

#include "UiDriver.h"

#include <cstdio>

namespace {
constexpr const char* kUsage =
    "usage: qvuidriver wait MS | layout | memo | caption left|right | gauge main|left |\n"
    "       click left|right|memo | key KEY[+KEY...] | focus | respond MS | close |\n"
    "       altf4 | alive | progress POS MAX |\n"
    "       autoplay | waittext TEXT MS | shot FILE.bmp | sleep MS | pixel X Y |\n"
    "       count RRGGBB LEFT TOP WIDTH HEIGHT\n";
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    qv::uidriver::Context context;
    while (!words.empty()) {
        if (!qv::uidriver::RunCommand(context, words)) {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    std::fflush(stdout);
    return context.failures == 0 ? 0 : 1;
}
