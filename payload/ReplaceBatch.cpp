#include "ReplaceBatch.h"

#include "WorkingFiles.h"

namespace qv::payload {

namespace {

constexpr const char* kLineEnd = "\r\n";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Single quotes keep every character literal; a quote itself is closed,
// escaped and reopened.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// The folder without its trailing separator, as "cd" wants it; the root stays.
std::string WithoutTrailingSeparator(const std::string& folder) {
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        return folder.substr(0, folder.size() - 1);
    return folder;
}

} // namespace

std::string WindowsReplaceBatch(const ReplaceBatchPaths& paths) {
    const std::string lines[] = {
        "@echo off",
        "cd " + Quoted(paths.folder),
        ":try1",
        "del " + Quoted(paths.self),
        "if exist " + Quoted(paths.self) + " goto try1",
        ":try2",
        "move " + Quoted(paths.copy) + " " + Quoted(kAppletResultFile),
        "if exist " + Quoted(paths.copy) + " goto try2",
        ":try3",
        "del " + Quoted(paths.batch),
        "if exist " + Quoted(paths.batch) + " goto try3",
        "exit",
    };
    std::string text;
    for (const std::string& line : lines)
        text += line + kLineEnd;
    return text;
}

std::string PosixReplaceScript(const ReplaceBatchPaths& paths) {
    const std::string self = ShellQuoted(paths.self);
    const std::string copy = ShellQuoted(paths.copy);
    const std::string batch = ShellQuoted(paths.batch);
    const std::string result = ShellQuoted(kAppletResultFile);
    // Same steps as the Windows batch; each loop waits a little between tries
    // and gives up after a few minutes rather than spinning for ever.
    return "#!/bin/sh\n"
           "cd " +
           ShellQuoted(WithoutTrailingSeparator(paths.folder)) +
           " || exit 1\n"
           "tries=0\n"
           "while [ -e " +
           self +
           " ] && [ $tries -lt 300 ]; do\n"
           "  rm -f " +
           self +
           "\n"
           "  [ -e " +
           self +
           " ] && sleep 1\n"
           "  tries=$((tries + 1))\n"
           "done\n"
           "tries=0\n"
           "while [ -e " +
           copy +
           " ] && [ $tries -lt 300 ]; do\n"
           "  mv -f " +
           copy + " " + result +
           " || sleep 1\n"
           "  tries=$((tries + 1))\n"
           "done\n"
           "chmod +x " +
           result +
           "\n"
           "tries=0\n"
           "while [ -e " +
           batch +
           " ] && [ $tries -lt 300 ]; do\n"
           "  rm -f " +
           batch +
           "\n"
           "  [ -e " +
           batch +
           " ] && sleep 1\n"
           "  tries=$((tries + 1))\n"
           "done\n"
           "exit 0\n";
}

std::string ReplaceBatchText(const ReplaceBatchPaths& paths) {
#ifdef _WIN32
    return WindowsReplaceBatch(paths);
#else
    return PosixReplaceScript(paths);
#endif
}

} // namespace qv::payload
