#include "CliSupport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qv::qvpack {

namespace {

void MakeBinary(std::FILE* f) {
#ifdef _WIN32
    _setmode(_fileno(f), _O_BINARY);
#else
    (void)f;
#endif
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}
} // namespace

ArgList::ArgList(std::vector<std::string> args, std::vector<std::string> valueOptions,
                 std::vector<std::string> flags) {
    const auto has = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && has(valueOptions, a)) {
            if (i + 1 >= args.size()) throw UsageError("option " + a + " needs a value");
            values_.emplace_back(a, args[++i]);
        } else if (!optionsEnded && has(flags, a)) {
            flags_.push_back(a);
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else {
            positional_.push_back(a);
        }
    }
}

std::optional<std::string> ArgList::Value(const std::string& option) const {
    std::optional<std::string> found;
    for (const auto& [name, value] : values_)
        if (name == option) found = value;
    return found;
}

bool ArgList::Flag(const std::string& flag) const {
    return std::find(flags_.begin(), flags_.end(), flag) != flags_.end();
}

uint8_t ParseMethod(const std::string& name, const std::vector<uint8_t>& allowed) {
    const std::string wanted = Lower(name);
    for (uint8_t m : allowed)
        if (Lower(std::string(payload::kMethodIds[m])) == wanted) return m;
    std::string list;
    for (uint8_t m : allowed) {
        if (!list.empty()) list.push_back('|');
        list.append(Lower(std::string(payload::kMethodIds[m])));
    }
    throw UsageError("unknown method '" + name + "' (use " + list + ")");
}

int32_t ParseInt32(const std::string& text, const std::string& what) {
    try {
        size_t used = 0;
        const long long v = std::stoll(text, &used, 0);
        if (used != text.size() || v < INT32_MIN || v > UINT32_MAX) throw std::out_of_range(what);
        return static_cast<int32_t>(static_cast<uint32_t>(v));
    } catch (const std::logic_error&) {
        throw UsageError("bad " + what + ": '" + text + "'");
    }
}

std::unique_ptr<payload::TStream> OpenInput(const std::string& path) {
    if (path == "-") {
        MakeBinary(stdin);
        return std::make_unique<payload::TFileStream>(stdin);
    }
    return std::make_unique<payload::TFileStream>(path, payload::TFileStream::Mode::OpenRead);
}

std::unique_ptr<payload::TStream> OpenOutput(const std::string& path) {
    if (path == "-") {
        MakeBinary(stdout);
        return std::make_unique<payload::TFileStream>(stdout);
    }
    return std::make_unique<payload::TFileStream>(path, payload::TFileStream::Mode::Create);
}

std::unique_ptr<payload::TStream> OpenSizedInput(const std::string& path, int64_t& size) {
    if (path != "-") {
        auto s = OpenInput(path);
        size = s->Size();
        return s;
    }
    MakeBinary(stdin);
    std::vector<uint8_t> all;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0)
        all.insert(all.end(), buf, buf + n);
    size = static_cast<int64_t>(all.size());
    return std::make_unique<payload::TMemoryStream>(std::move(all));
}

void RemovePartialOutput(const std::string& path) {
    if (path == "-") return;
    std::error_code error;
    if (std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::regular)
        std::filesystem::remove(path, error);
}

namespace {
constexpr const char* kSiblingInfix = ".partial-";

std::string RandomSuffix() {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

void AddExecuteWhereReadable(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::perms p = fs::status(path).permissions();
    fs::perms add = fs::perms::none;
    if ((p & fs::perms::owner_read) != fs::perms::none) add |= fs::perms::owner_exec;
    if ((p & fs::perms::group_read) != fs::perms::none) add |= fs::perms::group_exec;
    if ((p & fs::perms::others_read) != fs::perms::none) add |= fs::perms::others_exec;
    fs::permissions(path, add, fs::perm_options::add);
}
} // namespace

ReplacingOutput::ReplacingOutput(const std::string& destination) : final_(destination) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_symlink(destination, error)) {
        const fs::path target = fs::weakly_canonical(destination, error);
        if (!error) final_ = target.string();
    }
    const fs::file_status status = fs::status(final_, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        write_ = final_;
        committed_ = true; // nothing to rename or remove
        return;
    }
    write_ = final_ + kSiblingInfix + RandomSuffix();
}

ReplacingOutput::~ReplacingOutput() {
    if (committed_) return;
    std::error_code error;
    std::filesystem::remove(write_, error);
}

void ReplacingOutput::Commit(bool executable) {
    if (committed_) return;
    if (executable) AddExecuteWhereReadable(write_);
    std::filesystem::rename(write_, final_);
    committed_ = true;
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

uint64_t NowTicks() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint32_t MillisecondsSince(uint64_t startTicks) {
    return static_cast<uint32_t>((NowTicks() - startTicks) / 1000);
}

} // namespace qv::qvpack
