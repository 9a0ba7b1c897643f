#pragma once
// The qvpack commands. Each takes the arguments after its name and returns
// the process exit code; usage errors are thrown as UsageError.

#include <string>
#include <vector>

namespace qv::qvpack {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    int (*run)(const Args& args);
    const char* usage;
    const char* summary;
};

int RunEncode(const Args& args);
int RunDecode(const Args& args);
int RunList(const Args& args);
int RunTest(const Args& args);
int RunExtract(const Args& args);
int RunAdd(const Args& args);
int RunApplet(const Args& args);
int RunImage(const Args& args);

// Every command qvpack knows, in the order --help lists them.
const std::vector<Command>& AllCommands();

} // namespace qv::qvpack
