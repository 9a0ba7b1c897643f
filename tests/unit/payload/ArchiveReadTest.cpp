// Reading archives: header checks, the short-region rules, the TotalSize
// stop, checksum and key rules, selection lists, destinations that cannot be
// written, and hostile records.
#include "tests/unit/payload/ArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace qv::test {
namespace {

using payload::kMethodLH5;
using payload::kMethodNON;
using payload::kMethodRLE;
using payload::TMemberList;

Bytes OneMemberArchive() {
    return RawArchive("NON", 3, {StoredMember("a.txt", "abc")});
}

size_t FilesIn(const PlatformTempFolder& folder) {
    size_t n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder.Path()))
        n += e.is_regular_file() ? 1 : 0;
    return n;
}

struct HeaderCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::function<void(TCompress&)> setup;
    std::string message; // empty: reads without error
};

class ArchiveHeaderCheck : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ArchiveHeaderCheck, ListAndExtractAgree) {
    const HeaderCase& hc = GetParam();
    Bytes archive = OneMemberArchive();
    hc.damage(archive);
    PlatformTempFolder target;
    TCompress c;
    if (hc.setup) hc.setup(c);
    TMemoryStream in(archive);
    TMemberList list;
    if (hc.message.empty()) {
        c.ListMembers(&in, list);
        EXPECT_EQ(list.size(), 1u);
        Extract(c, archive, target.Path());
        EXPECT_EQ(FilesIn(target), 1u);
        return;
    }
    try {
        c.ListMembers(&in, list);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), hc.message);
    }
    try {
        Extract(c, archive, target.Path());
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), hc.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveCases, ArchiveHeaderCheck,
    ::testing::Values(
        HeaderCase{"Intact", [](Bytes&) {}, nullptr, ""},
        HeaderCase{"SignatureEnd1B", [](Bytes& b) { b[4] = 0x1B; }, nullptr,
                   "Can't recognize compressed file header"},
        HeaderCase{"SignatureLetter", [](Bytes& b) { b[0] = 'k'; }, nullptr,
                   "Can't recognize compressed file header"},
        HeaderCase{"ArchiveType0", [](Bytes& b) { b[12] = 0; }, nullptr,
                   "Archive type must be caMulti"},
        HeaderCase{"ArchiveType2", [](Bytes& b) { b[12] = 2; }, nullptr,
                   "Archive type must be caMulti"},
        HeaderCase{"LowerCaseId", [](Bytes& b) { b[5] = 'n', b[6] = 'o', b[7] = 'n'; }, nullptr,
                   "Unrecognized compression method: \"non\" in header"},
        HeaderCase{
            "LowerCaseIdRefused", [](Bytes& b) { b[5] = 'n', b[6] = 'o', b[7] = 'n'; },
            [](TCompress& c) { c.OnRecognize = [](const std::string&, bool& r) { r = false; }; },
            "Unrecognized compression method: \"non\" in header"},
        HeaderCase{"LowerCaseIdAccepted", [](Bytes& b) { b[5] = 'n', b[6] = 'o', b[7] = 'n'; },
                   [](TCompress& c) {
                       c.OnRecognize = [](const std::string& id, bool& r) { r = id == "non"; };
                   },
                   ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ArchiveRead, RecognizeMethodUsesTheTableThenTheHost) {
    TCompress c;
    EXPECT_EQ(c.RecognizeMethod("LH5"), 4);
    EXPECT_EQ(c.RecognizeMethod("CUS"), 3);
    EXPECT_THROW(c.RecognizeMethod("lh5"), payload::EUnrecognizedCompressionMethod);
    c.OnRecognize = [](const std::string&, bool& r) { r = true; };
    EXPECT_EQ(c.RecognizeMethod("lh5"), 3);
}

TEST(ArchiveRead, ShortRegionsReadAsEmpty) {
    const Bytes garbage(45, 0xEE);
    for (size_t size : {0u, 20u, 21u, 45u}) {
        TCompress c;
        TMemoryStream in(Bytes(garbage.begin(), garbage.begin() + static_cast<long>(size)));
        TMemberList list;
        c.ListMembers(&in, list); // below 46 bytes the header is not even read
        EXPECT_TRUE(list.empty()) << size;
        PlatformTempFolder target;
        if (size < 21) {
            Extract(c, in.Bytes(), target.Path());
            EXPECT_EQ(FilesIn(target), 0u);
        } else {
            EXPECT_THROW(Extract(c, in.Bytes(), target.Path()), payload::EInvalidHeader) << size;
        }
    }
}

TEST(ArchiveRead, ExpansionStopsAtTotalSize) {
    Bytes first = RawArchive("NON", 3, {StoredMember("one.txt", "abc")});
    const Bytes second = RawArchive("NON", 3, {StoredMember("two.txt", "def")});
    first.insert(first.end(), second.begin(), second.end());
    PlatformTempFolder target;
    TCompress c;
    Extract(c, first, target.Path());
    EXPECT_TRUE(platform::FileExists(target.File("one.txt")));
    EXPECT_FALSE(platform::FileExists(target.File("two.txt")));
}

struct ChecksumCase {
    const char* name;
    uint8_t method;
    uint32_t checksum;
    bool accepted;
};

class ArchiveChecksum : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ArchiveChecksum, AcceptanceRule) {
    const ChecksumCase& cc = GetParam();
    RawMember m = StoredMember("c.txt", "abc");
    m.fields.Method = cc.method;
    m.fields.Checksum = cc.checksum;
    const Bytes archive = RawArchive("NON", 3, {m});
    PlatformTempFolder target;
    TCompress c;
    if (cc.accepted) {
        Extract(c, archive, target.Path());
        EXPECT_EQ(PlatformTempFolder::Read(target.File("c.txt")), "abc");
    } else {
        EXPECT_THROW(Extract(c, archive, target.Path()), payload::EBadChecksum);
        EXPECT_TRUE(platform::FileExists(target.File("c.txt"))); // the partial file stays
    }
}

// "abc" is also its own run-length form, so the same bytes serve both methods.
INSTANTIATE_TEST_SUITE_P(ArchiveCases, ArchiveChecksum,
                         ::testing::Values(ChecksumCase{"NonRight", kMethodNON, 0x126, true},
                                           ChecksumCase{"NonZero", kMethodNON, 0, true},
                                           ChecksumCase{"NonWrong", kMethodNON, 0x127, false},
                                           ChecksumCase{"RleZero", kMethodRLE, 0, false},
                                           ChecksumCase{"RleRight", kMethodRLE, 0x126, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ArchiveRead, DataOfTheWrongLengthFailsLikeABadChecksum) {
    // 0x00 then "0x94 n": n - 1 more zeros. The sum is 0 whatever n is.
    for (const uint8_t count : {5, 6, 4}) {
        RawMember m{"zeros.bin", Bytes{0x00, 0x94, count}, {}};
        m.fields.Method = kMethodRLE;
        m.fields.OriginalSize = 5;
        const Bytes archive = RawArchive("RLE", 5, {m});
        PlatformTempFolder target;
        TCompress c;
        if (count == 5) {
            Extract(c, archive, target.Path());
            EXPECT_EQ(PlatformTempFolder::Read(target.File("zeros.bin")), std::string(5, '\0'));
        } else {
            EXPECT_THROW(Extract(c, archive, target.Path()), payload::EBadChecksum) << int{count};
        }
    }
}

TEST(ArchiveRead, SelectionListsNameWhatWasWritten) {
    const Bytes archive =
        RawArchive("NON", 6, {StoredMember("one.txt", "abc"), StoredMember("sub\\two.txt", "def")});
    PlatformTempFolder target;
    TCompress c;
    c.MakeDirectories = true;
    TStringList selection = {"SUB\\TWO.TXT"};
    Extract(c, archive, target.Path(), &selection);
    ASSERT_EQ(selection.size(), 1u);
    EXPECT_EQ(selection[0], c.TargetPath() + platform::NativePath("sub\\two.txt"));
    EXPECT_EQ(FilesIn(target), 1u);
    EXPECT_EQ(PlatformTempFolder::Read(selection[0]), "def");

    TStringList missing = {"three.txt"};
    Extract(c, archive, target.Path(), &missing);
    EXPECT_TRUE(missing.empty());
}

struct KeyCase {
    const char* name;
    uint8_t method;
    int32_t readKey;
    bool accepted;
};

class ArchiveLockedMember : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ArchiveLockedMember, KeyDecides) {
    const KeyCase& kc = GetParam();
    PlatformTempFolder source;
    TCompress writer;
    writer.Key = 0x1234567;
    const Bytes data = TextLike(4000);
    const Bytes archive = ArchiveOf(writer, source, {{"locked.txt", data}}, kc.method);
    PlatformTempFolder target;
    TCompress reader;
    reader.Key = kc.readKey;
    if (kc.accepted) {
        Extract(reader, archive, target.Path());
        EXPECT_EQ(PlatformTempFolder::Read(target.File("locked.txt")), AsText(data));
    } else {
        EXPECT_THROW(Extract(reader, archive, target.Path()), payload::EInvalidKey);
        EXPECT_FALSE(platform::FileExists(target.File("locked.txt")));
    }
}

INSTANTIATE_TEST_SUITE_P(ArchiveCases, ArchiveLockedMember,
                         ::testing::Values(KeyCase{"NoKeyNon", kMethodNON, 0, false},
                                           KeyCase{"NoKeyLh5", kMethodLH5, 0, false},
                                           KeyCase{"WrongKeyNon", kMethodNON, 0x7654321, false},
                                           KeyCase{"WrongKeyLh5", kMethodLH5, 0x7654321, false},
                                           KeyCase{"RightKeyRle", kMethodRLE, 0x1234567, true},
                                           KeyCase{"RightKeyLh5", kMethodLH5, 0x1234567, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ArchiveRead, DestinationThatCannotBeCreated) {
    const Bytes archive =
        RawArchive("NON", 6, {StoredMember("blocked", "abc"), StoredMember("next.txt", "def")});
    PlatformTempFolder target;
    std::filesystem::create_directory(target.File("blocked")); // a folder where the file goes
    TCompress c;
    Extract(c, archive, target.Path());
    EXPECT_EQ(PlatformTempFolder::Read(target.File("next.txt")), "def");

    c.ExceptionOnFileError = true;
    EXPECT_THROW(Extract(c, archive, target.Path()), payload::EFileStreamError);
}

TEST(ArchiveRead, OnCheckFileSkipsRenamesAndStops) {
    const Bytes archive = RawArchive(
        "NON", 9,
        {StoredMember("a.txt", "abc"), StoredMember("b.txt", "def"), StoredMember("c.txt", "ghi")});
    PlatformTempFolder target;
    TCompress c;
    c.OnCheckFile = [&](std::string& dest, payload::TCProcessMode mode) {
        EXPECT_EQ(mode, payload::pmExpand);
        if (dest == c.TargetPath() + "a.txt")
            dest.clear();
        else if (dest == c.TargetPath() + "b.txt")
            dest = c.TargetPath() + "renamed.txt";
        else
            dest = "*";
    };
    Extract(c, archive, target.Path());
    EXPECT_EQ(FilesIn(target), 1u);
    EXPECT_EQ(PlatformTempFolder::Read(target.File("renamed.txt")), "def");
}

TEST(ArchiveRead, NamesThatClimbOutOfTheTargetAreNotWritten) {
    PlatformTempFolder outer;
    std::filesystem::create_directory(outer.File("target"));
    const std::string target = outer.File("target");
    for (const std::string name : {"..\\escaped.txt", "sub\\..\\..\\escaped.txt", "../escaped.txt",
                                   "sub\\. .\\..\\escaped.txt"}) {
        const Bytes archive = RawArchive(
            "NON", 6, {StoredMember(name, "bad"), StoredMember("sub\\..\\fine.txt", "ok!")});
        TCompress c;
        c.MakeDirectories = true;
        Extract(c, archive, target);
        EXPECT_FALSE(platform::FileExists(outer.File("escaped.txt"))) << name;
        EXPECT_EQ(PlatformTempFolder::Read(target + "/fine.txt"), "ok!") << name;
        c.ExceptionOnFileError = true;
        EXPECT_THROW(Extract(c, archive, target), payload::EFileStreamError) << name;
    }
}

struct HostileCase {
    const char* name;
    std::function<void(RawMember&)> damage;
};

class ArchiveHostileRecord : public ::testing::TestWithParam<HostileCase> {};

// Such records end the walk with EInvalidHeader instead of seeking backwards,
// looping or reading past the end.
TEST_P(ArchiveHostileRecord, EndsWithInvalidHeader) {
    RawMember bad = StoredMember("bad.txt", "abc");
    GetParam().damage(bad);
    const Bytes archive = RawArchive("NON", 0x7FFFFFFF, {StoredMember("first.txt", "xyz"), bad});
    TCompress c;
    TMemoryStream in(archive);
    TMemberList list;
    EXPECT_THROW(c.ListMembers(&in, list), payload::EInvalidHeader);
    EXPECT_EQ(list.size(), 1u);
    PlatformTempFolder target;
    EXPECT_THROW(Extract(c, archive, target.Path()), payload::EInvalidHeader);
    EXPECT_TRUE(platform::FileExists(target.File("first.txt")));
    in.Seek(0, payload::SeekOrigin::Begin);
    EXPECT_THROW(c.TestMembers(&in), payload::EInvalidHeader);
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveCases, ArchiveHostileRecord,
    ::testing::Values(
        HostileCase{"NegativeNameLength", [](RawMember& m) { m.fields.NameLength = -25; }},
        HostileCase{"NegativeOriginalSize", [](RawMember& m) { m.fields.OriginalSize = -3; }},
        HostileCase{"NegativeCompressedSize", [](RawMember& m) { m.fields.CompressedSize = -28; }}),
    [](const auto& p) { return std::string(p.param.name); });

// Two members "first.txt" (record at 21, data at 55..58) and "second.txt"
// (record at 58, data at 93..96), cut or followed by other bytes: the listing
// keeps the whole members, and its extent tells what is wrong.
TEST(ArchiveRead, CutAndTrailingRegionsKeepTheWholeMembers) {
    const Bytes whole =
        RawArchive("NON", 6, {StoredMember("first.txt", "xyz"), StoredMember("second.txt", "abc")});
    ASSERT_EQ(whole.size(), 96u);
    struct Case {
        const char* name;
        size_t cutAt;    // the region's size
        size_t trailing; // bytes appended after the whole archive
        size_t listed;
        bool complete;
        int64_t missing;
        int64_t end;
    };
    const Case cases[] = {
        {"whole", 96, 0, 2, true, 0, 96},
        {"trailing bytes", 96, 4096, 2, true, 0, 96},
        {"inside the first record", 40, 0, 0, false, 0, 40},
        {"between members", 58, 0, 1, false, 0, 58},
        {"inside a record", 70, 0, 1, false, 0, 58},
        {"inside a name", 88, 0, 1, false, 0, 58},
        {"inside the data", 94, 0, 1, false, 2, 58},
    };
    for (const Case& c : cases) {
        Bytes region(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.cutAt));
        for (size_t i = 0; i < c.trailing; ++i)
            region.push_back(static_cast<uint8_t>(i * 37 + 11));
        TCompress compress;
        TMemoryStream in(region);
        TMemberList list;
        const payload::TArchiveExtent extent = compress.ListMembers(&in, list);
        EXPECT_EQ(list.size(), c.listed) << c.name;
        EXPECT_EQ(extent.Complete, c.complete) << c.name;
        EXPECT_EQ(extent.MissingBytes, c.missing) << c.name;
        EXPECT_EQ(extent.End, c.end) << c.name;
        in.Seek(0, payload::SeekOrigin::Begin);
        const auto tested = compress.TestMembers(&in);
        EXPECT_EQ(tested.size(), c.listed) << c.name;
    }
}

TEST(ArchiveRead, TestMembersReportsEachDamagedMember) {
    PlatformTempFolder source;
    TCompress c;
    Bytes archive = ArchiveOf(c, source,
                              {{"one.txt", TextLike(5000, 1)},
                               {"two.txt", TextLike(5000, 2)},
                               {"three.txt", TextLike(5000, 3)}},
                              kMethodRLE);
    TMemberList list;
    TMemoryStream listing(archive);
    c.ListMembers(&listing, list);
    ASSERT_EQ(list.size(), 3u);
    archive[static_cast<size_t>(list[1].Info.Position) + 25 + 7 + 100] ^= 0x01;
    TMemoryStream in(archive);
    const auto results = c.TestMembers(&in);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].Error, "");
    EXPECT_EQ(results[1].Error, payload::messages::kBadChecksum);
    EXPECT_EQ(results[2].Error, "");
}

TEST(ArchiveRead, ProgressRunsPerMember) {
    const Bytes archive =
        RawArchive("NON", 6, {StoredMember("one.txt", "abc"), StoredMember("two.txt", "def")});
    PlatformTempFolder target;
    TCompress c;
    std::vector<int32_t> seen;
    c.OnShowProgress = [&](int32_t& percent) { seen.push_back(percent); };
    Extract(c, archive, target.Path());
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 100, 100, 0, 100, 100}));
}

} // namespace
} // namespace qv::test
