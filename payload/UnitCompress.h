#pragma once
// TCompressDataModule: everything that touches the payload archive appended
// to the applet's own executable. It extracts payload files into the working
// folder, runs the maintenance modes chosen by the five switches (packing in
// three variants, spawn, empty) and writes and starts the replace batch.
//
// What it needs of the rest of the applet (the command line, the working
// folder, the main window's gauge and file deletion) comes through
// TPayloadHost, so the module stands on the archive and the platform alone.

#include "SignatureTable.h"
#include "payload/archive/Compress.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::payload {

// The start of every applet made from another: the first bareSize bytes of
// the source (its bare executable; any payload after them is dropped), with
// the copy's code-signature entry cleared, since the copy is a new, unsigned
// executable the publisher signs again. Returns the bytes copied, fewer
// when the source ends early.
int64_t CopyBareApplet(TStream& source, TStream& target, int64_t bareSize,
                       const TSignatureTable& signature);

struct TPayloadHost {
    std::string selfPath;      // the running executable
    std::string folder;        // the working folder, trailing separator included
    int64_t payloadOffset = 0; // where the payload begins in the executable
    bool ntFamily = true;
    std::function<bool(const std::string& switchText)> hasSwitch;
    // The working folder's path of a bare name.
    std::function<std::string(const std::string& name)> workingFolderPath;
    // The main window's "delete working file" (attribute steps, then delete).
    std::function<bool(const std::string& name)> deleteWorkingFile;
    std::function<void()> processMessages;
    // The main window's left gauge; empty while there is no window.
    std::function<void(int32_t percent)> showLeftProgress;
    std::function<void()> terminateApplication;
    // Starts a batch hidden and detached (platform::StartBatchDetached).
    std::function<bool(const std::string& batchPath, bool ntFamily)> startBatch;
};

// A run file that could not be extracted, and why.
struct TDamagedMember {
    enum class Kind { Damaged, DiskFull, NotWritable };
    std::string name;
    std::string message;
    Kind kind = Kind::Damaged;
};

class TCompressDataModule {
public:
    explicit TCompressDataModule(TPayloadHost host);
    ~TCompressDataModule();
    TCompressDataModule(const TCompressDataModule&) = delete;
    TCompressDataModule& operator=(const TCompressDataModule&) = delete;

    // Opens SelfStream on the executable (shared with everyone); it ends
    // where a code signature begins, so every mode sees the archive alone.
    void DataModuleCreate();
    // Releases SelfStream when it is still open.
    void DataModuleDestroy();

    // True when any of the five switches is present; when one is, runs its mode.
    bool RunPayloadMode();
    // Whether a mode RunPayloadMode tried ran to its end; a publisher's
    // script must not take a failed packing for a new applet.
    bool ModeCompleted() const { return modeCompleted_; }

    bool PayloadContains(const std::string& name);
    // Writes the member into the working folder when the payload lists it;
    // true when this call wrote it (whole and checked). A member that fails
    // while it is expanded leaves no file behind (a part of a disc image or
    // an engine must never be taken for the whole); the archive's exception
    // is passed on. A listed member that cannot be written raises
    // ECannotCreateFile, a full volume EInsufficientDiskSpace.
    bool ExtractMember(const std::string& name);
    // The run's base files, each on its own, so one damaged member does not
    // keep the others back; true when "qvorig.qv" exists afterwards.
    bool ExtractRunFiles();
    // The members that failed in the last ExtractRunFiles, with the archive's
    // message for each, in extraction order.
    const std::vector<TDamagedMember>& DamagedRunFiles() const { return damagedRunFiles_; }
    static TDamagedMember::Kind FailureKind(const std::exception& error);
    void ShowSpawnProgress(int32_t& PercentageDone);
    void LaunchReplaceBatch();

    // Progress of the archive component shown on the left gauge, or not.
    void AttachSpawnProgress(bool attached);
    bool SelfStreamOpen() const { return SelfStream != nullptr; }

    TCompress Compress;

private:
    std::optional<std::string> StoredMemberName(const std::string& name,
                                                TArchiveExtent* extent = nullptr);

    std::vector<TDamagedMember> damagedRunFiles_;

    // Each mode returns whether it completed; failures raise.
    bool PackingMode();
    void SpawnMode();
    bool EmptyMode();

    TStringList PackingCandidates();
    // The new applet: the bare executable (any old payload left behind) and
    // an archive of the files; the list then holds the stored names.
    void WriteNewApplet(const std::string& target, TStringList& files, uint8_t method);
    // Reads the new applet back: the same members, each expanding cleanly.
    bool NewAppletReadsBack(const std::string& target, const TStringList& stored);
    void DeletePackedSources(const TStringList& stored);
    void CopyBareExecutable(TStream& target, int64_t count);
    int64_t SelfSize();
    void PositionAtPayload();
    bool AnyPackingSwitch() const;

    TPayloadHost host_;
    std::unique_ptr<TStream> SelfStream;
    TSignatureTable signature_;
    bool modeCompleted_ = false;
};

} // namespace qv::payload
