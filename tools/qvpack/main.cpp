// qvpack: the publisher's and support engineer's tool for payload archives.
#include "CliSupport.h"
#include "Commands.h"

#include <cstdio>
#include <exception>

namespace qv::qvpack {

namespace {
constexpr const char* kProgram = "qvpack";
constexpr const char* kIntro =
    "qvpack - list, test, extract and create payload archives, make disc images, and build\n"
    "applets.\n\n"
    "usage: qvpack COMMAND [OPTIONS] ARGS...\n\ncommands:\n";
constexpr const char* kVersionLine = "%s %s\n";
constexpr const char* kUnknownCommand = "%s: unknown command '%s' (see %s --help)\n";
constexpr const char* kCommandUsage = "usage: %s %s\n  %s\n";
constexpr const char* kOutro =
    "\n'-' stands for standard input or output. 'qvpack help COMMAND' describes one command;\n"
    "'qvpack --version' prints the version. Exit codes: 0 ok, 1 data error, 2 usage error.\n";

void PrintHelp(std::FILE* to) {
    std::fputs(kIntro, to);
    for (const auto& c : AllCommands())
        std::fprintf(to, "  %s %s\n      %s\n", kProgram, c.usage, c.summary);
    std::fputs(kOutro, to);
}

const Command* FindCommand(const std::string& name) {
    for (const auto& c : AllCommands())
        if (name == c.name) return &c;
    return nullptr;
}

int UnknownCommand(const std::string& name) {
    std::fprintf(stderr, kUnknownCommand, kProgram, name.c_str(), kProgram);
    return kExitUsage;
}

void PrintCommandHelp(const Command& command) {
    std::printf(kCommandUsage, kProgram, command.usage, command.summary);
}

bool WantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}
} // namespace

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"encode", RunEncode, "encode -m non|rle|lzh|lh5 [-k KEY] IN OUT",
         "code one raw stream (no archive header); prints sizes, checksum and time"},
        {"decode", RunDecode, "decode -m non|rle|lzh|lh5 -s ORIGINAL_SIZE [-k KEY] IN OUT",
         "expand one raw stream of ORIGINAL_SIZE bytes"},
        {"l", RunList, "l [--offset N] FILE",
         "list the members of an archive or of an applet's payload"},
        {"t", RunTest, "t [--offset N] [-k KEY] FILE",
         "expand every member to nowhere and check its checksum"},
        {"x", RunExtract, "x [--offset N] [-k KEY] [-C DIR] [--allow-rooted] FILE [NAME...]",
         "extract all or the named members below DIR (default: the current folder)"},
        {"a", RunAdd, "a -m non|rle|lzh|lh5 [-k KEY] [-C DIR] OUT FILE...",
         "write an archive of the files (folders are walked); names are stored relative to DIR"},
        {"applet", RunApplet,
         "applet --stub BARE_APPLET -m lh5|rle -o OUT [-C DIR] [--strict] [--folder DIR]\n"
         "        [--title TEXT] FILE...",
         "write a bare applet (either platform) followed by a new payload of the files; warns\n"
         "        (--strict: refuses) when qvorig.qv, CdRwLib.dll or qvi9cd.qv is missing;\n"
         "        --folder packs the image of DIR as qvi9cd.qv (image's options apply), --title\n"
         "        writes qvorig.qv"},
        {"image", RunImage,
         "image [--volume-id ID] [--date WHEN] [--iso-level 1|2|3] [--allow-oversize] DIR\n"
         "        -o OUT",
         "write the data-disc image of DIR (ISO 9660, Joliet, Rock Ridge; names sorted);\n"
         "        every timestamp is WHEN (or SOURCE_DATE_EPOCH) when given; refuses an image\n"
         "        larger than a 700 MB CD without --allow-oversize (Linux builds only)"},
    };
    return commands;
}

int Main(int argc, char** argv) {
    Args all(argv + 1, argv + argc);
    if (!all.empty() && all[0] == "--version") {
        std::printf(kVersionLine, kProgram, QV_VERSION_TEXT);
        return kExitOk;
    }
    if (all.size() == 2 && all[0] == "help") {
        const Command* command = FindCommand(all[1]);
        if (!command) return UnknownCommand(all[1]);
        PrintCommandHelp(*command);
        return kExitOk;
    }
    if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        PrintHelp(all.empty() ? stderr : stdout);
        return all.empty() ? kExitUsage : kExitOk;
    }
    const Command* command = FindCommand(all[0]);
    if (!command) return UnknownCommand(all[0]);
    const Args rest(all.begin() + 1, all.end());
    if (WantsHelp(rest)) {
        PrintCommandHelp(*command);
        return kExitOk;
    }
    try {
        return command->run(rest);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s %s: %s\nusage: %s %s\n", kProgram, command->name, e.what(),
                     kProgram, command->usage);
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return kExitDataError;
    }
}

} // namespace qv::qvpack

int main(int argc, char** argv) {
    return qv::qvpack::Main(argc, argv);
}
