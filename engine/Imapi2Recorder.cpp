#include "Imapi2Recorder.h"

#include "CdRwLib.h"
#include "DiscVerify.h"
#include "MediaDecision.h"
#include "ScsiAddress.h"
#include "SpeedUnits.h"
#include "TrackStream.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>

namespace qv::engine {

namespace {

using com::Dispatch;
using com::Variant;

// The service's program identifiers.
constexpr const wchar_t* kMasterId = L"IMAPI2.MsftDiscMaster2";
constexpr const wchar_t* kRecorderId = L"IMAPI2.MsftDiscRecorder2";
constexpr const wchar_t* kDataWriterId = L"IMAPI2.MsftDiscFormat2Data";
constexpr const wchar_t* kEraserId = L"IMAPI2.MsftDiscFormat2Erase";

// The name the service shows for the program holding the drive.
constexpr const wchar_t* kClientName = L"CdRwLib";

// Members called by name.
constexpr const wchar_t* kCount = L"Count";
constexpr const wchar_t* kItem = L"Item";
constexpr const wchar_t* kInitialize = L"InitializeDiscRecorder";
constexpr const wchar_t* kVendorId = L"VendorId";
constexpr const wchar_t* kProductId = L"ProductId";
constexpr const wchar_t* kRecorder = L"Recorder";
constexpr const wchar_t* kClientNameProperty = L"ClientName";
constexpr const wchar_t* kMediaType = L"CurrentPhysicalMediaType";
constexpr const wchar_t* kPhysicallyBlank = L"MediaPhysicallyBlank";
constexpr const wchar_t* kFreeSectors = L"FreeSectorsOnMedia";
constexpr const wchar_t* kSupportedSpeeds = L"SupportedWriteSpeeds";
constexpr const wchar_t* kCurrentSpeed = L"CurrentWriteSpeed";
constexpr const wchar_t* kSetSpeed = L"SetWriteSpeed";
constexpr const wchar_t* kIsRecorderSupported = L"IsRecorderSupported";
constexpr const wchar_t* kUnderrunFreeDisabled = L"BufferUnderrunFreeDisabled";
constexpr const wchar_t* kForceClosed = L"ForceMediaToBeClosed";
constexpr const wchar_t* kWrite = L"Write";
constexpr const wchar_t* kCancelWrite = L"CancelWrite";
constexpr const wchar_t* kAcquire = L"AcquireExclusiveAccess";
constexpr const wchar_t* kReleaseAccess = L"ReleaseExclusiveAccess";
constexpr const wchar_t* kDisableMcn = L"DisableMcn";
constexpr const wchar_t* kEnableMcn = L"EnableMcn";
constexpr const wchar_t* kEject = L"EjectMedia";
constexpr const wchar_t* kCloseTray = L"CloseTray";
constexpr const wchar_t* kFullErase = L"FullErase";
constexpr const wchar_t* kEraseMedia = L"EraseMedia";
constexpr const wchar_t* kVolumePaths = L"VolumePathNames";
constexpr const wchar_t* kStartLba = L"StartLba";
constexpr const wchar_t* kLastWrittenLba = L"LastWrittenLba";

// The progress event's member (DDiscFormat2DataEvents::Update).
constexpr DISPID kUpdateEvent = 0x200;

// IMAPI_MEDIA_PHYSICAL_TYPE values: none known, and the two media a CD is
// made on.
constexpr int32_t kMediaUnknown = 0x0;
constexpr int32_t kMediaCdR = 0x2;
constexpr int32_t kMediaCdRw = 0x3;

// The service's error codes that have a status of their own.
constexpr HRESULT Code(uint32_t value) {
    return static_cast<HRESULT>(value);
}
constexpr HRESULT kRequestCancelled = Code(0xC0AA0002);
constexpr HRESULT kNoMedia = Code(0xC0AA0202);
constexpr HRESULT kMediaIncompatible = Code(0xC0AA0203);
constexpr HRESULT kMediaUpsideDown = Code(0xC0AA0204);
constexpr HRESULT kBecomingReady = Code(0xC0AA0205);
constexpr HRESULT kFormatInProgress = Code(0xC0AA0206);
constexpr HRESULT kMediaBusy = Code(0xC0AA0207);
constexpr HRESULT kWriteProtected = Code(0xC0AA0209);
constexpr HRESULT kCommandTimeout = Code(0xC0AA020D);
constexpr HRESULT kRecorderLocked = Code(0xC0AA0210);

constexpr const char* kUnreadableConfig = "CdRwLib: cannot read the configuration ";
constexpr const char* kDefaultsUsed = "; the defaults are used";
constexpr const char* kDefaultSource = "default configuration";
constexpr const char* kServiceFailure = "CdRwLib: the burning service failed with 0x";
constexpr const char* kDuring = " during ";

// The drives the service lists carry no SCSI address the applet's scan could
// name: in the service's order they answer at the scan's addresses, as the
// libburn back end places drives beyond the scan.
constexpr int kBeyondScan = 8;

int32_t StatusOf(HRESULT result) {
    if (SUCCEEDED(result)) return CDRW_SUCCESS;
    switch (result) {
    case kRequestCancelled:
        return CDRW_TERMINATED;
    case kNoMedia:
    case kMediaIncompatible:
    case kMediaUpsideDown:
    case kWriteProtected:
        return CDRW_NO_BLANK_DISC;
    case kBecomingReady:
    case kFormatInProgress:
    case kMediaBusy:
    case kCommandTimeout:
    case kRecorderLocked:
        return CDRW_TIMEOUT;
    case E_OUTOFMEMORY:
        return CDRW_OUT_OF_MEMORY;
    default:
        return CDRW_BAD_RESPONSE;
    }
}

// A failure the service gives no status of its own for is named on the
// error output, so that a report from a real drive can be read.
int32_t Reported(HRESULT result, const char* step) {
    const int32_t status = StatusOf(result);
    if (status == CDRW_BAD_RESPONSE) {
        std::ostringstream code;
        code << std::hex << static_cast<uint32_t>(result);
        std::cerr << kServiceFailure << code.str() << kDuring << step << '\n';
    }
    return status;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    return text.substr(first);
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

uint64_t SectorsOf(uint64_t bytes) {
    return (bytes + CDRW_SECTOR_SIZE - 1) / CDRW_SECTOR_SIZE;
}

// "D:\" is read through its volume device; any other path (a disc file) as is.
std::wstring VolumeDevice(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' && path.size() <= 3)
        return L"\\\\.\\" + Wide(path.substr(0, 2));
    return Wide(path);
}

class VolumeReader {
public:
    explicit VolumeReader(const std::wstring& path) {
        // A freshly closed disc takes the drive a moment to mount again.
        for (int attempt = 0; attempt < kMountAttempts; ++attempt) {
            file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
            if (file_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_NOT_READY) return;
            Sleep(kMountPauseMs);
        }
    }
    ~VolumeReader() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    VolumeReader(const VolumeReader&) = delete;
    VolumeReader& operator=(const VolumeReader&) = delete;

    bool read(uint64_t offset, char* data, size_t size) const {
        if (file_ == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return false;
        DWORD done = 0;
        return ReadFile(file_, data, static_cast<DWORD>(size), &done, nullptr) && done == size;
    }

private:
    static constexpr int kMountAttempts = 60;
    static constexpr DWORD kMountPauseMs = 500;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

} // namespace

template <typename Work> int32_t Imapi2Recorder::onServiceThread(int32_t fallback, Work work) {
    int32_t status = fallback;
    std::exception_ptr failure;
    const bool ran = apartment_.run([&] {
        try {
            status = work();
        } catch (...) {
            failure = std::current_exception(); // raised again on the caller's thread
        }
    });
    if (failure) std::rethrow_exception(failure);
    return ran ? status : fallback;
}

Imapi2Recorder::~Imapi2Recorder() {
    // The library is being unloaded: the objects belong to the service's
    // thread, which ends without running anything more, so they are left
    // to the process's end rather than released here.
    recorder_.abandon();
    format_.abandon();
}

void Imapi2Recorder::release() {
    started_ = false;
    if (!recorder_ && !format_) return;
    apartment_.run([this] { dropDrive(); });
}

void Imapi2Recorder::refreshConfig() {
    const ConfigFile file = ReadConfigFile();
    std::string identity = file.identity();
    if (!configIdentity_.empty() && identity == configIdentity_) return;
    configIdentity_ = std::move(identity);
    if (file.named() && !file.readable) {
        std::cerr << kUnreadableConfig << file.path << kDefaultsUsed << '\n';
        config_ = RecorderConfig{};
    } else if (file.named()) {
        config_ = ParseConfigFile(file, std::cerr);
    } else {
        std::ostringstream quiet;
        config_ = ParseConfig("backend = imapi2", kDefaultSource, {}, quiet);
    }
}

void Imapi2Recorder::dropDrive() {
    format_.reset();
    recorder_.reset();
}

int32_t Imapi2Recorder::openDrive(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    Dispatch master;
    if (FAILED(Dispatch::Create(kMasterId, master))) return CDRW_NOT_PRESENT;
    Variant count;
    int32_t drives = 0;
    if (FAILED(master.get(kCount, count)) || !count.toLong(drives) || drives <= 0)
        return CDRW_NOT_PRESENT;
    std::vector<std::optional<ScsiAddress>> addresses;
    for (int32_t index = 0; index < drives; ++index)
        addresses.push_back(ScsiAddress{kBeyondScan, 0, index, 0});
    const std::optional<size_t> chosen = DriveAtAddress(addresses, hostAdapter, target, lun);
    if (!chosen) return CDRW_NOT_PRESENT;
    Variant uniqueId;
    Dispatch recorder, format;
    if (FAILED(master.get(kItem, uniqueId, {Variant::Long(static_cast<int32_t>(*chosen))})) ||
        FAILED(Dispatch::Create(kRecorderId, recorder)) ||
        FAILED(recorder.call(kInitialize, {uniqueId})) ||
        FAILED(Dispatch::Create(kDataWriterId, format)) ||
        FAILED(format.put(kRecorder, Variant::Object(recorder.raw()))) ||
        FAILED(format.put(kClientNameProperty, Variant::Text(kClientName))))
        return CDRW_NOT_PRESENT;
    // As libburn grabs a drive: a tray left open by an earlier run is closed.
    recorder.call(kCloseTray);
    Variant vendor, product;
    recorder.get(kVendorId, vendor);
    recorder.get(kProductId, product);
    vendor.toText(vendor_);
    product.toText(product_);
    vendor_ = Trimmed(vendor_);
    product_ = Trimmed(product_);
    recorder_ = recorder;
    format_ = format;
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::start(uint8_t hostAdapter, uint8_t target, uint8_t lun) {
    if (erasing_ || writing_) return CDRW_ALREADY_STARTED;
    started_ = false;
    const int32_t status = onServiceThread(CDRW_NOT_PRESENT, [&]() -> int32_t {
        refreshConfig();
        dropDrive();
        writeSpeed_ = 0;
        return openDrive(hostAdapter, target, lun);
    });
    cancelled_ = false;
    ejectAfterWrite_ = false;
    underrunProtection_ = true;
    started_ = status == CDRW_SUCCESS;
    return status;
}

int32_t Imapi2Recorder::mediumType(int32_t& type) {
    Variant value;
    const HRESULT result = format_.get(kMediaType, value);
    if (FAILED(result)) return StatusOf(result);
    if (!value.toLong(type)) return CDRW_BAD_RESPONSE;
    // The service reports an empty drive as an unknown medium, too.
    return type == kMediaUnknown ? CDRW_NO_BLANK_DISC : CDRW_SUCCESS;
}

int32_t Imapi2Recorder::judgeMedium(DiscFlags& flags) {
    int32_t type = 0;
    int32_t status = mediumType(type);
    if (status != CDRW_SUCCESS) return status;
    Variant blankValue;
    bool blank = false;
    const HRESULT result = format_.get(kPhysicallyBlank, blankValue);
    if (FAILED(result)) return Reported(result, "the blank test");
    blankValue.toBool(blank);
    Medium medium;
    medium.profile = type == kMediaCdR ? kProfileCdR : type == kMediaCdRw ? kProfileCdRw : 0;
    medium.state = blank ? DiscState::Blank : DiscState::Full;
    flags.blank = JudgeMedium(medium) == MediumVerdict::Blank;
    flags.rewritable = ReportsRewritable(medium);
    flags.ready = true;
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::isDiscBlank(DiscFlags& flags) {
    flags = DiscFlags{};
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_) return CDRW_SUCCESS; // not ready until the erase has ended
    const int32_t status =
        onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t { return judgeMedium(flags); });
    // A medium seen again after an eject is a disc put in for a new write.
    if (status == CDRW_SUCCESS) cancelled_ = false;
    return status;
}

int32_t Imapi2Recorder::isDeviceReady() {
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_) return CDRW_TIMEOUT;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        int32_t type = 0;
        const int32_t status = mediumType(type);
        return status == CDRW_SUCCESS ? status : CDRW_TIMEOUT;
    });
}

int32_t Imapi2Recorder::sendOpc() {
    // The service calibrates the laser itself at the start of each write.
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_) return CDRW_TIMEOUT;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        int32_t type = 0;
        return mediumType(type) == CDRW_SUCCESS ? CDRW_SUCCESS : CDRW_NO_BLANK_DISC;
    });
}

int32_t Imapi2Recorder::eraseNow(bool full) {
    Dispatch eraser;
    HRESULT result = Dispatch::Create(kEraserId, eraser);
    if (SUCCEEDED(result)) result = eraser.put(kRecorder, Variant::Object(recorder_.raw()));
    if (SUCCEEDED(result)) result = eraser.put(kClientNameProperty, Variant::Text(kClientName));
    if (SUCCEEDED(result)) result = eraser.put(kFullErase, Variant::Bool(full));
    if (SUCCEEDED(result)) result = eraser.call(kEraseMedia);
    return Reported(result, "the erase");
}

int32_t Imapi2Recorder::blankDisc(int32_t mode) {
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_ || writing_) return CDRW_TIMEOUT;
    const int32_t status = onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        DiscFlags flags;
        const int32_t judged = judgeMedium(flags);
        if (judged != CDRW_SUCCESS) return judged;
        // Only a CD-RW holding data is erased.
        return flags.rewritable && !flags.blank ? CDRW_SUCCESS : CDRW_FEATURE_NOT_SUPPORTED;
    });
    if (status != CDRW_SUCCESS) return status;
    // The erase runs on the service's thread while the entry returns: the
    // window keeps answering and IsDiscBlank reports "not ready" meanwhile.
    erasing_ = true;
    if (!apartment_.post([this, mode] {
            eraseNow(mode == 1);
            erasing_ = false;
        })) {
        erasing_ = false;
        return CDRW_GENERAL_FAILURE;
    }
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::offeredSpeeds(std::vector<int32_t>& sectorsPerSecond) {
    sectorsPerSecond.clear();
    Variant list;
    const HRESULT result = format_.get(kSupportedSpeeds, list);
    if (FAILED(result)) return Reported(result, "the speed list");
    std::vector<Variant> items;
    list.toList(items);
    for (const Variant& item : items) {
        int32_t speed = 0;
        if (item.toLong(speed) && speed > 0) sectorsPerSecond.push_back(speed);
    }
    std::sort(sectorsPerSecond.begin(), sectorsPerSecond.end());
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::getSpeeds(SpeedReport& speeds) {
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_) return CDRW_TIMEOUT;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        std::vector<int32_t> offered;
        const int32_t status = offeredSpeeds(offered);
        if (status != CDRW_SUCCESS) return status;
        Variant current;
        int32_t currentSpeed = 0;
        if (SUCCEEDED(format_.get(kCurrentSpeed, current))) current.toLong(currentSpeed);
        const int32_t highest = offered.empty() ? currentSpeed : offered.back();
        // The service has no read speed: the drive reads as fast as it can.
        speeds.read = 0;
        speeds.highestRead = 0;
        speeds.currentWrite = ServiceSpeedToApplet(currentSpeed > 0 ? currentSpeed : highest);
        speeds.highestWrite = ServiceSpeedToApplet(highest);
        return CDRW_SUCCESS;
    });
}

int32_t Imapi2Recorder::setSpeeds(uint16_t, uint16_t write) {
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_ || writing_) return CDRW_TIMEOUT;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        std::vector<int32_t> offered;
        const int32_t status = offeredSpeeds(offered);
        if (status != CDRW_SUCCESS) return status;
        // The fastest offered speed not above the request, the slowest when
        // all are above it; 0 asks for the highest.
        int32_t chosen = AppletSpeedToService(write);
        if (!offered.empty()) {
            const int32_t requested = write == 0 ? offered.back() : chosen;
            chosen = offered.front();
            for (int32_t speed : offered)
                if (speed <= requested) chosen = speed;
        }
        const HRESULT result =
            format_.call(kSetSpeed, {Variant::Long(chosen), Variant::Bool(false)});
        if (FAILED(result)) return Reported(result, "setting the speed");
        writeSpeed_ = chosen;
        return CDRW_SUCCESS;
    });
}

int32_t Imapi2Recorder::unload() {
    if (!started_) return CDRW_NOT_STARTED;
    if (writing_) {
        // The write is cancelled from its own progress event, which the
        // service expects; the tray opens once it has stopped.
        cancelled_ = true;
        ejectAfterWrite_ = true;
        return CDRW_SUCCESS;
    }
    if (erasing_) {
        // An erase cannot be cancelled: the eject follows its end.
        apartment_.post([this] { recorder_.call(kEject); });
        return CDRW_SUCCESS;
    }
    cancelled_ = true; // a write called now is one the user cancelled
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        return Reported(recorder_.call(kEject), "the eject");
    });
}

int32_t Imapi2Recorder::load() {
    if (!started_) return CDRW_NOT_STARTED;
    if (erasing_ || writing_) return CDRW_TIMEOUT;
    cancelled_ = false;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        return Reported(recorder_.call(kCloseTray), "closing the tray");
    });
}

int32_t Imapi2Recorder::burnProofControl(int32_t request) {
    // The service writes with buffer-underrun protection wherever the drive
    // has it and says nothing of drives without: asked for, it is there.
    if (!started_) return CDRW_NOT_STARTED;
    if (request != CDRW_BURNPROOF_QUERY) underrunProtection_ = request == CDRW_BURNPROOF_ON;
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::vendorProduct(std::string& vendor, std::string& product) {
    if (!started_) return CDRW_NOT_STARTED;
    vendor = vendor_;
    product = product_;
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::writeModes(WriteModeFlags& modes) {
    if (!started_) return CDRW_NOT_STARTED;
    return onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        // The data writer writes one track at once; session- and disc-at-once
        // are another writer's (raw CD images), which the engine does not use.
        Variant supported;
        bool yes = false;
        const HRESULT result =
            format_.call(kIsRecorderSupported, {Variant::Object(recorder_.raw())}, &supported);
        if (FAILED(result)) return Reported(result, "the write mode test");
        supported.toBool(yes);
        modes = WriteModeFlags{yes, false, false};
        return CDRW_SUCCESS;
    });
}

int32_t Imapi2Recorder::writeAudio(const WriteRequest&) {
    return started_ ? CDRW_UNSUPPORTED_WRITE_MODE : CDRW_NOT_STARTED;
}

int32_t Imapi2Recorder::writeData(const WriteRequest& request) {
    if (!started_) return CDRW_NOT_STARTED;
    // The service has no simulated write.
    if (request.testOnly) return CDRW_FEATURE_NOT_SUPPORTED;
    if (erasing_ || writing_.exchange(true)) return CDRW_TIMEOUT;
    if (cancelled_) {
        writing_ = false;
        return CDRW_TERMINATED; // Unload came just before the write
    }
    const int32_t status = onServiceThread(CDRW_GENERAL_FAILURE, [&]() -> int32_t {
        refreshConfig();
        int32_t written = burn(request);
        if (ejectAfterWrite_) recorder_.call(kEject);
        if (written == CDRW_SUCCESS && cancelled_) written = CDRW_TERMINATED;
        if (written == CDRW_SUCCESS && config_.verify) written = verify(request);
        return written;
    });
    writing_ = false;
    return status;
}

int32_t Imapi2Recorder::burn(const WriteRequest& request) {
    DiscFlags flags;
    int32_t status = judgeMedium(flags);
    if (status != CDRW_SUCCESS) return status;
    if (!flags.blank) return CDRW_NO_BLANK_DISC;
    uint64_t sectors = 0;
    for (const Track& track : request.tracks)
        sectors += SectorsOf(track.size);
    Variant free;
    int32_t freeSectors = 0;
    if (SUCCEEDED(format_.get(kFreeSectors, free)) && free.toLong(freeSectors) &&
        static_cast<uint64_t>(freeSectors) < sectors)
        return CDRW_DISC_TOO_SMALL;
    // The drive is the engine's alone meanwhile, and media-change
    // notification is off so that AutoPlay does not open the new disc.
    HRESULT result = recorder_.call(kAcquire, {Variant::Bool(false), Variant::Text(kClientName)});
    if (FAILED(result)) return Reported(result, "taking the drive");
    recorder_.call(kDisableMcn);
    status = burnHeld(request, sectors);
    recorder_.call(kEnableMcn);
    recorder_.call(kReleaseAccess);
    return status;
}

int32_t Imapi2Recorder::burnHeld(const WriteRequest& request, uint64_t sectors) {
    if (writeSpeed_ > 0)
        format_.call(kSetSpeed, {Variant::Long(writeSpeed_), Variant::Bool(false)});
    format_.put(kForceClosed, Variant::Bool(true));
    format_.put(kUnderrunFreeDisabled, Variant::Bool(!underrunProtection_));

    uint64_t signalled = 0; // progress signals given, one per interval sectors
    const uint64_t interval = request.interval;
    const auto signalUpTo = [&](uint64_t done) {
        while ((signalled + 1) * interval <= done) {
            request.signal.raise();
            ++signalled;
        }
    };
    com::EventSubscription progress;
    progress.begin(format_, [&](DISPID member, DISPPARAMS* params) {
        if (member != kUpdateEvent || params == nullptr || params->cArgs < 1) return;
        if (cancelled_) format_.call(kCancelWrite);
        // The arguments arrive last first: the progress object is the first.
        Variant args;
        VariantCopy(args.get(), &params->rgvarg[0]);
        Dispatch event(args.dispatch());
        Variant start, last;
        int32_t startLba = 0, lastLba = -1;
        if (SUCCEEDED(event.get(kStartLba, start)) && SUCCEEDED(event.get(kLastWrittenLba, last)) &&
            start.toLong(startLba) && last.toLong(lastLba) && lastLba >= startLba)
            signalUpTo(std::min<uint64_t>(static_cast<uint64_t>(lastLba - startLba) + 1, sectors));
    });

    std::optional<TrackStream> source(std::in_place, request.tracks);
    IStream* stream = com::NewReadStream(
        sectors * CDRW_SECTOR_SIZE,
        [&](char* data, size_t size, size_t& filled) { return source->read(data, size, filled); },
        [&] { source.emplace(request.tracks); });
    Variant streamArg = Variant::Object(stream);
    stream->Release();
    const HRESULT result = format_.call(kWrite, {streamArg});
    progress.end();
    if (FAILED(result)) return cancelled_ ? CDRW_TERMINATED : Reported(result, "the write");
    signalUpTo(sectors);
    return CDRW_SUCCESS;
}

int32_t Imapi2Recorder::verify(const WriteRequest& request) {
    Variant paths;
    std::vector<Variant> names;
    std::string path;
    if (FAILED(recorder_.get(kVolumePaths, paths)) || !paths.toList(names) || names.empty() ||
        !names.front().toText(path))
        return VerifyWrittenTrack(request.tracks, [](uint64_t, char*, size_t) { return false; });
    const VolumeReader volume(VolumeDevice(path));
    return VerifyWrittenTrack(request.tracks, [&](uint64_t offset, char* data, size_t size) {
        return volume.read(offset, data, size);
    });
}

} // namespace qv::engine
