// A stand-in for the Windows burning service, for the tests only (it never
// ships): an in-process COM server registered under the service's program
// identifiers, answering by IDispatch the names the engine calls, raising
// the write's progress through a connection point, and writing to a disc
// file. Its drive and faults come from the small key = value file that
// QV_IMAPI2_STANDIN names, read again at every call:
//   disc = PATH            the disc file (missing or empty: a blank disc)
//   drive = 0              the service lists no recorder
//   inserted = 0           no medium
//   media = cdr            cdr, cdrw, cdrom, dvd or unknown (how the
//                          service may report an empty drive)
//   busy = 1               the drive reports a long operation running
//   write_fail_sector = N  the write fails before sector N
//   time_scale = S         the write takes S times real time at its speed
//   speeds = 75,150,...    the offered write speeds, sectors per second
//   vendor, product        the drive's strings

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <oaidl.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kConfigVariable = "QV_IMAPI2_STANDIN";
constexpr int32_t kCapacitySectors = 359999;
constexpr DISPID kUpdateEvent = 0x200;
constexpr uint32_t kSectorsPerUpdate = 25;
constexpr size_t kSector = 2048;

constexpr HRESULT Code(uint32_t value) {
    return static_cast<HRESULT>(value);
}
constexpr HRESULT kRequestCancelled = Code(0xC0AA0002);
constexpr HRESULT kNoMedia = Code(0xC0AA0202);
constexpr HRESULT kMediaBusy = Code(0xC0AA0207);
constexpr HRESULT kInvalidResponse = Code(0xC0AA02FF);
constexpr HRESULT kNotBlank = Code(0xC0AA0406);

// {5C1D6E3A-9B2F-4E07-A1D4-3F0B8C2E7A10} and the three after it.
constexpr CLSID StandInClass(uint8_t last) {
    return {0x5c1d6e3a, 0x9b2f, 0x4e07, {0xa1, 0xd4, 0x3f, 0x0b, 0x8c, 0x2e, 0x7a, last}};
}
constexpr CLSID kMasterClass = StandInClass(0x10);
constexpr CLSID kRecorderClass = StandInClass(0x11);
constexpr CLSID kDataClass = StandInClass(0x12);
constexpr CLSID kEraseClass = StandInClass(0x13);
// The progress events' interface the connection point names.
constexpr IID kEventsInterface = StandInClass(0x20);

std::atomic<long> gObjects{0};
std::atomic<bool> gEjected{false};

struct Drive {
    std::string disc;
    bool present = true;
    bool inserted = true;
    std::string media = "cdr";
    bool busy = false;
    long failSector = -1;
    double timeScale = 0;
    std::vector<int32_t> speeds{75, 150, 300, 600, 750, 900};
    std::string vendor = "VIRTUAL";
    std::string product = "CD-RW RECORDER";
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Drive ReadDrive() {
    Drive drive;
    const char* path = std::getenv(kConfigVariable);
    std::ifstream in(path != nullptr ? path : "");
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, equals)), value = Trim(line.substr(equals + 1));
        if (key == "disc") drive.disc = value;
        if (key == "drive") drive.present = value != "0";
        if (key == "inserted") drive.inserted = value != "0";
        if (key == "media") drive.media = value;
        if (key == "busy") drive.busy = value == "1";
        if (key == "write_fail_sector") drive.failSector = std::atol(value.c_str());
        if (key == "time_scale") drive.timeScale = std::atof(value.c_str());
        if (key == "vendor") drive.vendor = value;
        if (key == "product") drive.product = value;
        if (key == "speeds") {
            drive.speeds.clear();
            std::istringstream list(value);
            std::string item;
            while (std::getline(list, item, ','))
                drive.speeds.push_back(std::atoi(item.c_str()));
        }
    }
    return drive;
}

uint64_t DiscBytes(const Drive& drive) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(drive.disc.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The medium's state as the service would report it: no medium or busy first.
HRESULT MediumCheck(const Drive& drive) {
    if (!drive.inserted || gEjected) return kNoMedia;
    if (drive.busy) return kMediaBusy;
    return S_OK;
}

int32_t MediaType(const Drive& drive) {
    if (drive.media == "cdrw") return 0x3;
    if (drive.media == "cdrom") return 0x1;
    if (drive.media == "dvd") return 0x6;
    if (drive.media == "unknown") return 0x0;
    return 0x2;
}

void SetLong(VARIANT* out, int32_t value) {
    if (out == nullptr) return;
    out->vt = VT_I4;
    out->lVal = value;
}

void SetBool(VARIANT* out, bool value) {
    if (out == nullptr) return;
    out->vt = VT_BOOL;
    out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetText(VARIANT* out, const std::string& text) {
    if (out == nullptr) return;
    const std::wstring wide(text.begin(), text.end());
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocString(wide.c_str());
}

void SetList(VARIANT* out, const std::vector<VARIANT>& items) {
    if (out == nullptr) return;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i)
        SafeArrayPutElement(array, &i, const_cast<VARIANT*>(&items[static_cast<size_t>(i)]));
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
}

// The index-th argument in call order.
VARIANT* Argument(DISPPARAMS* params, UINT index) {
    if (params == nullptr || index >= params->cArgs) return nullptr;
    return &params->rgvarg[params->cArgs - 1 - index];
}

int32_t LongArgument(DISPPARAMS* params, UINT index) {
    VARIANT converted;
    VariantInit(&converted);
    VARIANT* arg = Argument(params, index);
    if (arg == nullptr || FAILED(VariantChangeType(&converted, arg, 0, VT_I4))) return 0;
    return converted.lVal;
}

struct Member {
    const wchar_t* name;
    DISPID id;
};

// IDispatch by a table of names; derived objects answer the calls.
class NamedObject : public IDispatch {
public:
    NamedObject() { ++gObjects; }
    virtual ~NamedObject() { --gObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
            *out = static_cast<IDispatch*>(this);
        else
            *out = other(iid);
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        for (const Member* member = members(); member->name != nullptr; ++member)
            if (_wcsicmp(member->name, names[0]) == 0) {
                ids[0] = member->id;
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        return invoke(id, (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0, params,
                      result);
    }

protected:
    virtual const Member* members() const = 0;
    virtual HRESULT invoke(DISPID id, bool put, DISPPARAMS* params, VARIANT* result) = 0;
    virtual void* other(REFIID) { return nullptr; }

private:
    std::atomic<ULONG> references_{1};
};

class Master final : public NamedObject {
    enum : DISPID { kCount = 1, kItem };
    const Member* members() const override {
        static const Member table[] = {{L"Count", kCount}, {L"Item", kItem}, {nullptr, 0}};
        return table;
    }
    HRESULT invoke(DISPID id, bool, DISPPARAMS* params, VARIANT* result) override {
        const bool present = ReadDrive().present;
        if (id == kCount) SetLong(result, present ? 1 : 0);
        if (id == kItem) {
            if (!present || LongArgument(params, 0) != 0) return E_INVALIDARG;
            SetText(result, "stand-in drive 0");
        }
        return S_OK;
    }
};

class Recorder final : public NamedObject {
    enum : DISPID {
        kInit = 1,
        kVendor,
        kProduct,
        kPaths,
        kAcquire,
        kRelease,
        kMcnOff,
        kMcnOn,
        kEject,
        kClose
    };
    const Member* members() const override {
        static const Member table[] = {{L"InitializeDiscRecorder", kInit},
                                       {L"VendorId", kVendor},
                                       {L"ProductId", kProduct},
                                       {L"VolumePathNames", kPaths},
                                       {L"AcquireExclusiveAccess", kAcquire},
                                       {L"ReleaseExclusiveAccess", kRelease},
                                       {L"DisableMcn", kMcnOff},
                                       {L"EnableMcn", kMcnOn},
                                       {L"EjectMedia", kEject},
                                       {L"CloseTray", kClose},
                                       {nullptr, 0}};
        return table;
    }
    HRESULT invoke(DISPID id, bool, DISPPARAMS*, VARIANT* result) override {
        const Drive drive = ReadDrive();
        switch (id) {
        case kVendor:
            SetText(result, drive.vendor);
            break;
        case kProduct:
            SetText(result, drive.product);
            break;
        case kPaths: {
            VARIANT path;
            VariantInit(&path);
            SetText(&path, drive.disc);
            SetList(result, {path});
            VariantClear(&path);
            break;
        }
        case kAcquire:
            return drive.busy ? kMediaBusy : S_OK;
        case kEject:
            gEjected = true;
            break;
        case kClose:
            gEjected = false;
            break;
        default:
            break;
        }
        return S_OK;
    }
};

// The write's progress, as the events hand it over.
class Progress final : public NamedObject {
public:
    Progress(int32_t written, int32_t total) : written_(written), total_(total) {}

private:
    enum : DISPID { kStart = 1, kLast, kCount };
    const Member* members() const override {
        static const Member table[] = {{L"StartLba", kStart},
                                       {L"LastWrittenLba", kLast},
                                       {L"SectorCount", kCount},
                                       {nullptr, 0}};
        return table;
    }
    HRESULT invoke(DISPID id, bool, DISPPARAMS*, VARIANT* result) override {
        SetLong(result, id == kStart ? 0 : id == kLast ? written_ - 1 : total_);
        return S_OK;
    }
    int32_t written_, total_;
};

class DataWriter;

class EventPoint final : public IConnectionPoint, public IEnumConnectionPoints {
public:
    explicit EventPoint(IConnectionPointContainer* owner) : owner_(owner) {}
    ~EventPoint() {
        if (sink_ != nullptr) sink_->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint))
            *out = static_cast<IConnectionPoint*>(this);
        else if (IsEqualIID(iid, IID_IEnumConnectionPoints))
            *out = static_cast<IEnumConnectionPoints*>(this);
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // Lives as long as its writer, which counts for it.
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = kEventsInterface;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** out) override {
        owner_->AddRef();
        *out = owner_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink_ != nullptr) return CONNECT_E_ADVISELIMIT;
        if (FAILED(sink->QueryInterface(kEventsInterface, reinterpret_cast<void**>(&sink_))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override {
        if (sink_ != nullptr) sink_->Release();
        sink_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // The container's enumeration of its one point.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        const ULONG given = count > 0 && !enumerated_ ? 1 : 0;
        if (given == 1) {
            AddRef();
            points[0] = this;
            enumerated_ = true;
        }
        if (fetched != nullptr) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override {
        enumerated_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

    void raise(IDispatch* writer, int32_t written, int32_t total) {
        if (sink_ == nullptr) return;
        Progress* progress = new Progress(written, total);
        VARIANT args[2];
        args[0].vt = VT_DISPATCH; // last first: the progress, then the writer
        args[0].pdispVal = progress;
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = writer;
        DISPPARAMS params{args, nullptr, 2, 0};
        sink_->Invoke(kUpdateEvent, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                      nullptr);
        progress->Release();
    }

private:
    IConnectionPointContainer* owner_;
    IDispatch* sink_ = nullptr;
    bool enumerated_ = false;
};

class DataWriter final : public NamedObject, public IConnectionPointContainer {
public:
    DataWriter() : point_(this) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return NamedObject::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return NamedObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return NamedObject::Release(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        point_.Reset();
        point_.AddRef();
        *out = &point_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!IsEqualIID(iid, kEventsInterface)) return CONNECT_E_NOCONNECTION;
        point_.AddRef();
        *out = &point_;
        return S_OK;
    }

private:
    enum : DISPID {
        kRecorder = 1,
        kClient,
        kType,
        kBlank,
        kFree,
        kSpeeds,
        kCurrent,
        kSetSpeed,
        kSupported,
        kUnderrun,
        kClosed,
        kWrite,
        kCancel
    };
    const Member* members() const override {
        static const Member table[] = {{L"Recorder", kRecorder},
                                       {L"ClientName", kClient},
                                       {L"CurrentPhysicalMediaType", kType},
                                       {L"MediaPhysicallyBlank", kBlank},
                                       {L"FreeSectorsOnMedia", kFree},
                                       {L"SupportedWriteSpeeds", kSpeeds},
                                       {L"CurrentWriteSpeed", kCurrent},
                                       {L"SetWriteSpeed", kSetSpeed},
                                       {L"IsRecorderSupported", kSupported},
                                       {L"BufferUnderrunFreeDisabled", kUnderrun},
                                       {L"ForceMediaToBeClosed", kClosed},
                                       {L"Write", kWrite},
                                       {L"CancelWrite", kCancel},
                                       {nullptr, 0}};
        return table;
    }
    void* other(REFIID iid) override {
        return IsEqualIID(iid, IID_IConnectionPointContainer)
                   ? static_cast<IConnectionPointContainer*>(this)
                   : nullptr;
    }
    HRESULT invoke(DISPID id, bool put, DISPPARAMS* params, VARIANT* result) override {
        const Drive drive = ReadDrive();
        if (put || id == kRecorder || id == kClient || id == kSupported) {
            if (id == kSupported) SetBool(result, true);
            return S_OK;
        }
        if (id == kCancel) {
            cancelled_ = true;
            return S_OK;
        }
        const HRESULT medium = MediumCheck(drive);
        if (FAILED(medium)) return medium;
        const int32_t highest = drive.speeds.empty() ? 0 : drive.speeds.back();
        switch (id) {
        case kType:
            SetLong(result, MediaType(drive));
            return S_OK;
        case kBlank:
            SetBool(result, DiscBytes(drive) == 0);
            return S_OK;
        case kFree:
            SetLong(result, kCapacitySectors - static_cast<int32_t>(DiscBytes(drive) / kSector));
            return S_OK;
        case kSpeeds: {
            std::vector<VARIANT> items(drive.speeds.size());
            for (size_t i = 0; i < items.size(); ++i)
                SetLong(&items[i], drive.speeds[i]);
            SetList(result, items);
            return S_OK;
        }
        case kCurrent:
            SetLong(result, speed_ > 0 ? speed_ : highest);
            return S_OK;
        case kSetSpeed:
            speed_ = LongArgument(params, 0);
            return S_OK;
        case kWrite:
            return write(drive, Argument(params, 0));
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    HRESULT write(const Drive& drive, VARIANT* data) {
        if (DiscBytes(drive) != 0) return kNotBlank;
        IStream* stream = nullptr;
        IUnknown* given = data == nullptr           ? nullptr
                          : data->vt == VT_UNKNOWN  ? data->punkVal
                          : data->vt == VT_DISPATCH ? data->pdispVal
                                                    : nullptr;
        if (given == nullptr ||
            FAILED(given->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream))))
            return E_INVALIDARG;
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        const int32_t total = static_cast<int32_t>(stat.cbSize.QuadPart / kSector);
        cancelled_ = false;
        const HRESULT result = copy(drive, stream, total);
        stream->Release();
        return result;
    }

    HRESULT copy(const Drive& drive, IStream* stream, int32_t total) {
        std::ofstream disc(drive.disc, std::ios::binary | std::ios::trunc);
        if (!disc) return E_ACCESSDENIED;
        const int32_t speed = speed_ > 0 ? speed_ : drive.speeds.empty() ? 75 : drive.speeds.back();
        const DWORD startedAt = GetTickCount();
        std::vector<char> sector(kSector);
        point_.raise(this, 0, total);
        for (int32_t written = 0; written < total;) {
            if (cancelled_) return kRequestCancelled;
            if (written == drive.failSector) return kInvalidResponse;
            ULONG got = 0;
            if (FAILED(stream->Read(sector.data(), kSector, &got)) || got != kSector) return E_FAIL;
            disc.write(sector.data(), kSector);
            ++written;
            if (written % kSectorsPerUpdate == 0 || written == total) {
                disc.flush();
                point_.raise(this, written, total);
            }
            const double due = drive.timeScale * 1000.0 * written / speed;
            const DWORD elapsed = GetTickCount() - startedAt;
            if (due > elapsed) Sleep(static_cast<DWORD>(due - elapsed));
        }
        return disc.flush() ? S_OK : E_FAIL;
    }

    EventPoint point_;
    int32_t speed_ = 0;
    bool cancelled_ = false;
};

class Eraser final : public NamedObject {
    enum : DISPID { kRecorder = 1, kClient, kFull, kErase };
    const Member* members() const override {
        static const Member table[] = {{L"Recorder", kRecorder},
                                       {L"ClientName", kClient},
                                       {L"FullErase", kFull},
                                       {L"EraseMedia", kErase},
                                       {nullptr, 0}};
        return table;
    }
    HRESULT invoke(DISPID id, bool, DISPPARAMS*, VARIANT*) override {
        if (id != kErase) return S_OK;
        const Drive drive = ReadDrive();
        const HRESULT medium = MediumCheck(drive);
        if (FAILED(medium)) return medium;
        if (MediaType(drive) != 0x3) return kInvalidResponse;
        std::ofstream disc(drive.disc, std::ios::binary | std::ios::trunc);
        return disc ? S_OK : E_ACCESSDENIED;
    }
};

template <typename Object> class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        Object* object = new Object();
        const HRESULT result = object->QueryInterface(iid, out);
        object->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory<Master> gMasterFactory;
Factory<Recorder> gRecorderFactory;
Factory<DataWriter> gDataFactory;
Factory<Eraser> gEraseFactory;

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    IClassFactory* factory = nullptr;
    if (IsEqualCLSID(classId, kMasterClass)) factory = &gMasterFactory;
    if (IsEqualCLSID(classId, kRecorderClass)) factory = &gRecorderFactory;
    if (IsEqualCLSID(classId, kDataClass)) factory = &gDataFactory;
    if (IsEqualCLSID(classId, kEraseClass)) factory = &gEraseFactory;
    if (factory == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return gObjects == 0 ? S_OK : S_FALSE;
}
