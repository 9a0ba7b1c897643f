#include "UnitCompress.h"

#include "RegionStream.h"
#include "ReplaceBatch.h"
#include "WorkingFiles.h"
#include "payload/archive/ArchivePaths.h"

#include "platform/Files.h"

#include <algorithm>
#include <vector>

namespace qv::payload {

namespace {

constexpr int32_t kCopyBlock = 64 * 1024;
constexpr uint16_t kHiddenOnly = platform::kAttrHidden;

// The packing candidates in their order; the disc image is last so "/Now"
// can leave it out.
constexpr const char* kPackedFiles[] = {kCarriedAspiFile, kContentFile, kEngineFile};
constexpr const char* kCannotCreatePrefix = "Cannot create file ";

// A source the publisher keeps read-only is packed, so it goes as well.
void DeleteSource(const std::string& path) {
    const int32_t word = platform::FileAttributes(path);
    if (word >= 0 && (word & platform::kAttrReadOnly) != 0)
        platform::SetFileAttributes(path, static_cast<uint16_t>(word & ~platform::kAttrReadOnly));
    platform::DeleteFile(path);
}

} // namespace

TCompressDataModule::TCompressDataModule(TPayloadHost host) : host_(std::move(host)) {
    Compress.MakeDirectories = false;
    Compress.ExceptionOnFileError = false;
    Compress.Key = 0;
    Compress.CheckSpaceBeforeExpand = false;
    AttachSpawnProgress(true);
    DataModuleCreate();
}

TCompressDataModule::~TCompressDataModule() {
    DataModuleDestroy();
}

void TCompressDataModule::DataModuleCreate() {
    auto file = std::make_unique<TFileStream>(host_.selfPath, TFileStream::Mode::OpenRead);
    // A table that would start inside the bare applet is no signature.
    signature_ = FindSignatureTable(file.get(), host_.payloadOffset);
    const int64_t end = ArchiveRegionEnd(file.get(), signature_);
    SelfStream = std::make_unique<TRegionStream>(std::move(file), end);
}

void TCompressDataModule::DataModuleDestroy() {
    SelfStream.reset();
}

void TCompressDataModule::AttachSpawnProgress(bool attached) {
    if (attached)
        Compress.OnShowProgress = [this](int32_t& percent) { ShowSpawnProgress(percent); };
    else
        Compress.OnShowProgress = nullptr;
}

bool TCompressDataModule::AnyPackingSwitch() const {
    return host_.hasSwitch(kSwitchPackRle) || host_.hasSwitch(kSwitchPackLh5) ||
           host_.hasSwitch(kSwitchPackWithoutImage);
}

// Each mode runs inside its own guard: a failure is dropped and the next
// mode test follows, as the maintenance switches promise no message.
bool TCompressDataModule::RunPayloadMode() {
    const bool packing = AnyPackingSwitch();
    const bool spawn = host_.hasSwitch(kSwitchSpawn);
    const bool empty = host_.hasSwitch(kSwitchEmpty);
    const bool result = packing || spawn || empty;
    if (packing) {
        try {
            if (PackingMode()) {
                modeCompleted_ = true;
                host_.terminateApplication();
                return result;
            }
        } catch (const std::exception&) {
            // Nothing was deleted; the spawn and empty tests follow.
        }
    }
    if (spawn) {
        try {
            SpawnMode();
            modeCompleted_ = true;
            host_.terminateApplication();
            return result;
        } catch (const std::exception&) {
            // As above: the empty test follows.
        }
    }
    if (empty) {
        try {
            if (EmptyMode()) {
                modeCompleted_ = true;
                host_.terminateApplication();
            }
        } catch (const std::exception&) {
            // Nothing is left to try.
        }
    }
    return result;
}

int64_t TCompressDataModule::SelfSize() {
    if (!SelfStream) throw EFileStreamError("Payload stream closed");
    return SelfStream->Size();
}

void TCompressDataModule::PositionAtPayload() {
    if (!SelfStream) throw EFileStreamError("Payload stream closed");
    SelfStream->Seek(host_.payloadOffset, SeekOrigin::Begin);
}

// The new applet starts from the bare executable, so whatever payload the
// running copy carries is dropped and every present file is packed afresh
// (the rule "not yet in the own payload" has nothing to compare with).
TStringList TCompressDataModule::PackingCandidates() {
    std::vector<std::string> names(std::begin(kPackedFiles), std::end(kPackedFiles));
    if (!host_.hasSwitch(kSwitchPackWithoutImage)) names.emplace_back(kDiscImageFile);
    TStringList files;
    for (const std::string& name : names) {
        const std::string path = host_.workingFolderPath(name);
        if (!platform::FileExists(path)) continue;
        TFileStream probe(path, TFileStream::Mode::OpenRead); // unreadable: nothing is written
        files.push_back(path);
    }
    return files;
}

bool TCompressDataModule::PackingMode() {
    TStringList files = PackingCandidates();
    const std::string target = host_.workingFolderPath(kNewAppletFile);
    const uint8_t method = host_.hasSwitch(kSwitchPackRle) ? kMethodRLE : kMethodLH5;
    try {
        WriteNewApplet(target, files, method);
    } catch (const std::exception&) {
        platform::DeleteFile(target); // no half-written applet stays behind
        throw;
    }
    if (!NewAppletReadsBack(target, files)) {
        platform::DeleteFile(target);
        return false;
    }
    DeletePackedSources(files);
    LaunchReplaceBatch();
    return true;
}

int64_t CopyBareApplet(TStream& source, TStream& target, int64_t bareSize,
                       const TSignatureTable& signature) {
    source.Seek(0, SeekOrigin::Begin);
    std::vector<uint8_t> block(kCopyBlock);
    int64_t copied = 0;
    while (copied < bareSize) {
        const int32_t wanted =
            static_cast<int32_t>(std::min<int64_t>(bareSize - copied, kCopyBlock));
        const int32_t got = source.Read(block.data(), wanted);
        if (got <= 0) break;
        target.Write(block.data(), got);
        copied += got;
    }
    ClearSignatureEntry(&target, signature);
    return copied;
}

void TCompressDataModule::CopyBareExecutable(TStream& target, int64_t count) {
    CopyBareApplet(*SelfStream, target, count, signature_);
}

void TCompressDataModule::WriteNewApplet(const std::string& target, TStringList& files,
                                         uint8_t method) {
    const int64_t bare = std::min(SelfSize(), host_.payloadOffset);
    TFileStream applet(target, TFileStream::Mode::Create);
    CopyBareExecutable(applet, bare);
    applet.Seek(0, SeekOrigin::End);
    Compress.SetTargetPath(host_.folder);
    Compress.WriteArchive(&applet, files, method);
    applet.Flush();
}

bool TCompressDataModule::NewAppletReadsBack(const std::string& target, const TStringList& stored) {
    TFileStream applet(target, TFileStream::Mode::OpenRead);
    if (applet.Size() < host_.payloadOffset) return false;
    applet.Seek(host_.payloadOffset, SeekOrigin::Begin);
    TMemberList members;
    Compress.ListMembers(&applet, members);
    if (members.size() != stored.size()) return false;
    for (size_t i = 0; i < stored.size(); ++i)
        if (members[i].Name != stored[i]) return false;
    applet.Seek(host_.payloadOffset, SeekOrigin::Begin);
    const std::vector<TMemberTestResult> tested = Compress.TestMembers(&applet);
    if (tested.size() != stored.size()) return false;
    return std::all_of(tested.begin(), tested.end(),
                       [](const TMemberTestResult& member) { return member.Error.empty(); });
}

void TCompressDataModule::DeletePackedSources(const TStringList& stored) {
    // All entries but the last two go through the window's deletion first
    // (its attribute steps clear read-only); failures there are ignored.
    for (size_t i = 0; i + 2 < stored.size(); ++i)
        host_.deleteWorkingFile(stored[i]);
    std::vector<std::string> names(std::begin(kPackedFiles), std::end(kPackedFiles));
    if (!host_.hasSwitch(kSwitchPackWithoutImage)) names.emplace_back(kDiscImageFile);
    for (const std::string& name : names) {
        const bool packed =
            std::any_of(stored.begin(), stored.end(),
                        [&name](const std::string& s) { return paths::EqualNoCase(s, name); });
        if (packed) DeleteSource(host_.workingFolderPath(name));
    }
}

void TCompressDataModule::SpawnMode() {
    try {
        PositionAtPayload();
        Compress.SetTargetPath(host_.folder);
        Compress.ExtractMembers(SelfStream.get());
    } catch (const std::exception&) {
        // The files written so far stay; the stream is released all the same.
    }
    SelfStream.reset();
}

bool TCompressDataModule::EmptyMode() {
    const int64_t size = SelfSize();
    if (size <= host_.payloadOffset) return true; // already bare: nothing to write
    const std::string target = host_.workingFolderPath(kNewAppletFile);
    {
        TFileStream applet(target, TFileStream::Mode::Create);
        CopyBareExecutable(applet, host_.payloadOffset);
        applet.Flush();
    }
    if (platform::FileSize(target) != host_.payloadOffset) {
        platform::DeleteFile(target);
        return false;
    }
    LaunchReplaceBatch();
    return true;
}

std::optional<std::string> TCompressDataModule::StoredMemberName(const std::string& name,
                                                                 TArchiveExtent* extent) {
    PositionAtPayload();
    TMemberList members;
    const TArchiveExtent reached = Compress.ListMembers(SelfStream.get(), members);
    if (extent != nullptr) *extent = reached;
    const auto member =
        std::find_if(members.begin(), members.end(), [&name](const TMemberEntry& entry) {
            return paths::EqualNoCase(entry.Name, name);
        });
    if (member == members.end()) return std::nullopt;
    return member->Name;
}

bool TCompressDataModule::PayloadContains(const std::string& name) {
    return StoredMemberName(name).has_value();
}

bool TCompressDataModule::ExtractMember(const std::string& name) {
    TArchiveExtent extent;
    const std::optional<std::string> stored = StoredMemberName(name, &extent);
    // A payload cut short may have lost this very member with its record:
    // that is damage, not a member the publisher left out.
    if (!stored && !extent.Complete) throw EInvalidHeader();
    if (!stored) return false;
    PositionAtPayload();
    Compress.SetTargetPath(host_.folder);
    TStringList selection{name};
    const std::string target = host_.folder + platform::NativePath(*stored);
    try {
        Compress.ExtractMembers(SelfStream.get(), &selection);
    } catch (const std::exception&) {
        // A member written whole and checked is kept when a later record
        // fails. Otherwise what lies there is our own partial output (the
        // component makes a new file), read-only or not, and goes.
        if (selection.empty()) {
            platform::RemoveEntry(target);
            throw;
        }
    }
    // The component skips a file it cannot make; for the run that is a
    // failure, never a reason to use what lies there already.
    if (selection.empty()) throw ECannotCreateFile(kCannotCreatePrefix + target);
    // A member stored as "QVORIG.QV" is the run's "qvorig.qv"; where file
    // names keep their case, it is given the spelling the run looks for.
    const std::string wanted = host_.workingFolderPath(name);
    for (const std::string& written : selection)
        if (written != wanted && !platform::FileExists(wanted))
            platform::MoveFile(written, wanted, false);
    return true;
}

TDamagedMember::Kind TCompressDataModule::FailureKind(const std::exception& error) {
    if (dynamic_cast<const EInsufficientDiskSpace*>(&error) != nullptr)
        return TDamagedMember::Kind::DiskFull;
    if (dynamic_cast<const ECannotCreateFile*>(&error) != nullptr)
        return TDamagedMember::Kind::NotWritable;
    return TDamagedMember::Kind::Damaged;
}

bool TCompressDataModule::ExtractRunFiles() {
    damagedRunFiles_.clear();
    try {
        if (SelfSize() <= host_.payloadOffset) return false;
        platform::DeleteFile(host_.workingFolderPath(kContentFile));
    } catch (const std::exception&) {
        return false; // the content-file check reports what is missing
    }
    for (const char* name : {kContentFile, kEngineFile, kCarriedAspiFile}) {
        try {
            ExtractMember(name);
        } catch (const std::exception& error) {
            // The checks report the missing file; the message says why.
            damagedRunFiles_.push_back(TDamagedMember{name, error.what(), FailureKind(error)});
        }
    }
    platform::SetFileAttributes(host_.workingFolderPath(kEngineFile), kHiddenOnly);
    platform::SetFileAttributes(host_.workingFolderPath(kCarriedAspiFile), kHiddenOnly);
    return platform::FileExists(host_.workingFolderPath(kContentFile));
}

void TCompressDataModule::ShowSpawnProgress(int32_t& PercentageDone) {
    if (AnyPackingSwitch()) return;
    if (host_.processMessages) host_.processMessages();
    if (host_.showLeftProgress) host_.showLeftProgress(PercentageDone);
}

void TCompressDataModule::LaunchReplaceBatch() {
    ReplaceBatchPaths paths;
    paths.folder = host_.folder;
    paths.self = host_.selfPath;
    paths.copy = host_.workingFolderPath(kNewAppletFile);
    paths.batch = host_.workingFolderPath(kBatchFile);
    const std::string text = ReplaceBatchText(paths);
    {
        platform::RemoveEntry(paths.batch); // a new file: a link there is not written through
        TFileStream batch(paths.batch, TFileStream::Mode::CreateExclusive);
        batch.Write(text.data(), static_cast<int32_t>(text.size()));
        batch.Flush();
    }
    host_.startBatch(paths.batch, host_.ntFamily);
}

} // namespace qv::payload
