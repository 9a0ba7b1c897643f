#include "platform/posix/SpawnDetached.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::platform {

namespace {

constexpr const char* kShell = "/bin/sh";
// "$@" is the command; the trailing & leaves it to init once the shell ends.
constexpr const char* kBackgroundScript = "\"$@\" </dev/null >/dev/null 2>&1 &";

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare() {
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGCHLD);
        return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                          POSIX_SPAWN_SETSIGDEF) == 0 &&
               posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
               posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, 0, kNullDevice, O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, 1, kNullDevice, O_WRONLY, 0) == 0 &&
               posix_spawn_file_actions_addopen(&actions_, 2, kNullDevice, O_WRONLY, 0) == 0 &&
               CloseInheritedDescriptors();
    }

    const posix_spawn_file_actions_t* Actions() const { return &actions_; }
    const posix_spawnattr_t* Attributes() const { return &attributes_; }

private:
    // Windows starts the batch without inherited handles; do the same.
    bool CloseInheritedDescriptors() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        return posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#else
        return true;
#endif
    }

    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

bool ReapShortLivedShell(pid_t shell) {
    int status = 0;
    for (;;) {
        if (::waitpid(shell, &status, 0) == shell)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (errno != EINTR) return errno == ECHILD; // SIGCHLD ignored: reaped already
    }
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& command) {
    if (command.empty()) return false;
    SpawnSetup setup;
    if (!setup.Prepare()) return false;
    std::vector<std::string> args = {"sh", "-c", kBackgroundScript, "sh"};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t shell = 0;
    if (::posix_spawn(&shell, kShell, setup.Actions(), setup.Attributes(), argv.data(), environ) !=
        0)
        return false;
    return ReapShortLivedShell(shell);
}

} // namespace qv::platform
