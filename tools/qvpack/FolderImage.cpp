// The folder's image through libisofs: the tree is built from the scanned
// entries (never from libisofs's own walk, which would skip what it cannot
// carry), and every value that would change from run to run is fixed.
#include "FolderImage.h"

#include "ArchiveSupport.h"
#include "FolderScan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#define LIBISOFS_WITHOUT_LIBBURN
#include <libisofs/libisofs.h>

namespace qv::qvpack {

namespace {
constexpr const char* kLibraryFailed = "the image library failed: %s";
constexpr const char* kEntryFailed = "%s: the image library refused it: %s";
constexpr const char* kOversize =
    "the image is %lld bytes (%lld sectors), more than a 700 MB CD holds (%lld sectors of "
    "%lld bytes); --allow-oversize makes it anyway";
constexpr const char* kImageLoses =
    "the image would leave out or cut short what the lines above name";
constexpr const char* kImageShort = "the image ended after %lld of %lld bytes";
constexpr const char* kLibraryMessage = "qvpack: image: %s: %s\n";
constexpr const char* kLinksNote =
    "qvpack: image: %zu symbolic link(s), %s the first, are in the Rock Ridge names only: "
    "Joliet (what Windows shows) has no links\n";
// Messages from this level on fail the image: a file lost or cut short.
constexpr const char* kFailSeverity = "SORRY";
constexpr const char* kShowSeverity = "WARNING";
// Folders deeper than ISO 9660's eight levels move to the root of the plain
// tree; Rock Ridge links them back and Joliet keeps the real tree.
constexpr const char* kRelocationFolder = "";
constexpr int kRelocationHidden = 0;
constexpr int kIgnoreAclAndXattr = 3;
constexpr int kReplaceWithDefault = 2;
constexpr int kKeepNodeValue = 0;

std::string Message(const char* format, const std::string& a, const std::string& b = {}) {
    char text[2048];
    std::snprintf(text, sizeof text, format, a.c_str(), b.c_str());
    return text;
}

void Check(int result, const std::string& what) {
    if (result >= 0) return;
    if (what.empty()) throw DataError(Message(kLibraryFailed, iso_error_to_msg(result)));
    throw DataError(Message(kEntryFailed, what, iso_error_to_msg(result)));
}

void StartLibrary() {
    static const bool started = [] {
        // bit0: names are taken as UTF-8 below, whatever the locale says.
        Check(iso_init_with_flag(1), {});
        iso_set_local_charset(const_cast<char*>("UTF-8"), 0);
        iso_set_msgs_severities(const_cast<char*>(kShowSeverity), const_cast<char*>("NEVER"),
                                const_cast<char*>("qvpack"));
        iso_set_abort_severity(const_cast<char*>(kFailSeverity));
        return true;
    }();
    (void)started;
}

// Shows the library's warnings; true when one of them lost data.
bool DrainMessages() {
    int failLevel = 0;
    iso_text_to_sev(const_cast<char*>(kFailSeverity), &failLevel);
    bool failed = false;
    int code = 0, imageId = 0;
    std::vector<char> text(ISO_MSGS_MESSAGE_LEN);
    char severity[80];
    while (iso_obtain_msgs(const_cast<char*>(kShowSeverity), &code, &imageId, text.data(),
                           severity) == 1) {
        std::fprintf(stderr, kLibraryMessage, severity, text.data());
        int level = 0;
        iso_text_to_sev(severity, &level);
        // A file left out of one of the trees is only a warning to the
        // library; here it fails the image.
        failed = failed || level >= failLevel ||
                 code == iso_error_get_code(static_cast<int>(ISO_FILE_IMGPATH_WRONG));
    }
    return failed;
}

void SetTimes(IsoNode* node, int64_t when) {
    const auto t = static_cast<time_t>(when);
    iso_node_set_mtime(node, t);
    iso_node_set_atime(node, t);
    iso_node_set_ctime(node, t);
}

int64_t NewestTime(const std::vector<FolderEntry>& entries) {
    int64_t newest = 0;
    for (const auto& e : entries)
        newest = std::max(newest, e.mtime);
    return newest;
}
} // namespace

struct FolderImage::Impl {
    IsoImage* image = nullptr;
    burn_source* source = nullptr;
    int64_t size = 0;
    int64_t delivered = 0;

    ~Impl() {
        if (source) {
            if (delivered < size) source->cancel(source);
            source->free_data(source);
            std::free(source);
        }
        if (image) iso_image_unref(image);
    }

    // The entry's node below its folder's; a folder's node is kept in
    // `folders` for the entries inside it.
    IsoNode* AddNode(const FolderEntry& e, size_t index, std::vector<IsoDir*>& folders,
                     int& weight) {
        IsoDir* parent = folders[e.parent];
        IsoNode* node = nullptr;
        if (e.kind == FolderEntry::Kind::Folder) {
            Check(iso_tree_add_new_dir(parent, e.name.c_str(), &folders[index]), e.path);
            return reinterpret_cast<IsoNode*>(folders[index]);
        }
        if (e.kind == FolderEntry::Kind::File) {
            Check(iso_tree_add_new_node(image, parent, e.name.c_str(), e.source.c_str(), &node),
                  e.path);
            // One weight per file: the content goes in walk order, not in
            // the order of the files' inode numbers on this disk.
            iso_node_set_sort_weight(node, weight--);
            return node;
        }
        IsoSymlink* link = nullptr;
        Check(iso_tree_add_new_symlink(parent, e.name.c_str(), e.linkTarget.c_str(), &link),
              e.path);
        node = reinterpret_cast<IsoNode*>(link);
        // Joliet cannot hold it; one note says so for all links.
        iso_node_set_hidden(node, LIBISO_HIDE_ON_JOLIET);
        return node;
    }

    // Returns how many symbolic links there are and names the first.
    size_t AddEntries(const std::vector<FolderEntry>& entries, int64_t linkTime,
                      const std::optional<int64_t>& date, std::string& firstLink) {
        size_t links = 0;
        std::vector<IsoDir*> folders(entries.size(), nullptr);
        folders[0] = iso_image_get_root(image);
        int weight = static_cast<int>(entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const FolderEntry& e = entries[i];
            IsoNode* node =
                i == 0 ? reinterpret_cast<IsoNode*>(folders[0]) : AddNode(e, i, folders, weight);
            const bool isLink = e.kind == FolderEntry::Kind::Link;
            if (isLink && links++ == 0) firstLink = e.path;
            iso_node_set_permissions(node, static_cast<mode_t>(e.mode));
            iso_node_set_uid(node, 0);
            iso_node_set_gid(node, 0);
            SetTimes(node, date.value_or(isLink ? linkTime : e.mtime));
        }
        return links;
    }

    IsoWriteOpts* Options(const ImageOptions& options, int64_t volumeTime) const {
        IsoWriteOpts* opts = nullptr;
        Check(iso_write_opts_new(&opts, 0), {});
        iso_write_opts_set_iso_level(opts, options.isoLevel);
        iso_write_opts_set_rockridge(opts, 1);
        iso_write_opts_set_joliet(opts, 1);
        iso_write_opts_set_joliet_long_names(opts, 1);
        iso_write_opts_set_joliet_utf16(opts, 1);
        // The library counts Joliet's 240 in bytes (120 characters); the scan
        // holds paths to 240 characters, which Windows reads.
        iso_write_opts_set_joliet_longer_paths(opts, 1);
        // Rock Ridge 1.10 records no file serial numbers, which the library
        // would number in the order of this disk's inodes.
        iso_write_opts_set_rrip_version_1_10(opts, 1);
        iso_write_opts_set_aaip(opts, 0);
        iso_write_opts_set_sort_files(opts, 1);
        iso_write_opts_set_rr_reloc(opts, const_cast<char*>(kRelocationFolder), kRelocationHidden);
        iso_write_opts_set_replace_mode(opts, kKeepNodeValue, kKeepNodeValue, kReplaceWithDefault,
                                        kReplaceWithDefault);
        iso_write_opts_set_default_uid(opts, 0);
        iso_write_opts_set_default_gid(opts, 0);
        iso_write_opts_set_replace_timestamps(opts, kKeepNodeValue);
        iso_write_opts_set_always_gmt(opts, 1);
        iso_write_opts_set_output_charset(opts, "UTF-8");
        // The volume's dates as digits, so no time zone reaches the image.
        char digits[32];
        const auto t = static_cast<time_t>(volumeTime);
        std::tm utc{};
        gmtime_r(&t, &utc);
        std::strftime(digits, sizeof digits, "%Y%m%d%H%M%S00", &utc);
        iso_write_opts_set_pvd_times(opts, t, t, 0, t, digits);
        return opts;
    }
};

FolderImage::FolderImage(const std::string& folder, const ImageOptions& options)
    : impl_(std::make_unique<Impl>()) {
    StartLibrary();
    ScanLimits limits;
    limits.largeFiles = options.isoLevel >= 3;
    const std::vector<FolderEntry> entries = ScanFolder(folder, limits);
    const int64_t newest = NewestTime(entries);
    Check(iso_image_new(options.volumeId.c_str(), &impl_->image), {});
    iso_image_set_ignore_aclea(impl_->image, kIgnoreAclAndXattr);
    std::string firstLink;
    if (const size_t links = impl_->AddEntries(entries, newest, options.date, firstLink))
        std::fprintf(stderr, kLinksNote, links, firstLink.c_str());
    IsoWriteOpts* opts = impl_->Options(options, options.date.value_or(newest));
    const int made = iso_image_create_burn_source(impl_->image, opts, &impl_->source);
    iso_write_opts_free(opts);
    const bool lost = DrainMessages();
    Check(made, {});
    if (lost) throw DataError(kImageLoses);
    impl_->size = impl_->source->get_size(impl_->source);
    if (impl_->size > kCdSectors * kSectorBytes && !options.allowOversize) {
        char text[512];
        std::snprintf(text, sizeof text, kOversize, static_cast<long long>(impl_->size),
                      static_cast<long long>(impl_->size / kSectorBytes),
                      static_cast<long long>(kCdSectors), static_cast<long long>(kSectorBytes));
        throw DataError(text);
    }
}

FolderImage::~FolderImage() = default;

int64_t FolderImage::Size() const {
    return impl_->size;
}

size_t FolderImage::Read(uint8_t* buffer, size_t count) {
    const int64_t left = impl_->size - impl_->delivered;
    if (left <= 0) return 0;
    // The library hands out whole sectors.
    count = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(count)));
    count -= count % kSectorBytes;
    if (count == 0) count = static_cast<size_t>(std::min<int64_t>(left, kSectorBytes));
    const int n = impl_->source->read_xt(impl_->source, buffer, static_cast<int>(count));
    const bool failed = DrainMessages();
    if (n <= 0 || failed) {
        char text[256];
        std::snprintf(text, sizeof text, kImageShort, static_cast<long long>(impl_->delivered),
                      static_cast<long long>(impl_->size));
        throw DataError(text);
    }
    impl_->delivered += n;
    return static_cast<size_t>(n);
}

} // namespace qv::qvpack
