#include "Imapi2Dispatch.h"

#include <olectl.h>

#include <algorithm>

namespace qv::engine::com {

// ---- Variant ----

Variant::Variant(const Variant& other) {
    VariantInit(&value_);
    VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
    return *this;
}

Variant Variant::Long(int32_t number) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = number;
    return v;
}

Variant Variant::Bool(bool flag) {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::Text(const std::wstring& text) {
    Variant v;
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

Variant Variant::Object(IUnknown* object) {
    Variant v;
    IDispatch* dispatch = nullptr;
    if (object != nullptr &&
        SUCCEEDED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        v.value_.vt = VT_DISPATCH;
        v.value_.pdispVal = dispatch;
    } else if (object != nullptr) {
        object->AddRef();
        v.value_.vt = VT_UNKNOWN;
        v.value_.punkVal = object;
    }
    return v;
}

bool Variant::toLong(int32_t& number) const {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value_), 0, VT_I4)))
        return false;
    number = converted.lVal;
    return true;
}

bool Variant::toBool(bool& flag) const {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value_), 0, VT_BOOL)))
        return false;
    flag = converted.boolVal != VARIANT_FALSE;
    return true;
}

bool Variant::toText(std::string& text) const {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value_), 0, VT_BSTR)))
        return false;
    const BSTR wide = converted.bstrVal;
    const int length = static_cast<int>(SysStringLen(wide));
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    text.assign(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, length, text.data(), bytes, nullptr, nullptr);
    VariantClear(&converted);
    return true;
}

bool Variant::toList(std::vector<Variant>& items) const {
    items.clear();
    if ((value_.vt & VT_ARRAY) == 0) return false;
    SAFEARRAY* array = (value_.vt & VT_BYREF) != 0 ? *value_.pparray : value_.parray;
    if (array == nullptr || SafeArrayGetDim(array) != 1) return false;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    const VARTYPE element = static_cast<VARTYPE>(value_.vt & VT_TYPEMASK);
    for (LONG index = low; index <= high; ++index) {
        Variant item;
        if (element == VT_VARIANT) {
            if (FAILED(SafeArrayGetElement(array, &index, item.get()))) return false;
        } else if (element == VT_BSTR) {
            BSTR text = nullptr;
            if (FAILED(SafeArrayGetElement(array, &index, &text))) return false;
            item.get()->vt = VT_BSTR;
            item.get()->bstrVal = text;
        } else if (element == VT_I4 || element == VT_UI4) {
            LONG number = 0;
            if (FAILED(SafeArrayGetElement(array, &index, &number))) return false;
            item = Long(number);
        } else {
            return false;
        }
        items.push_back(item);
    }
    return true;
}

IDispatch* Variant::dispatch() const {
    if (value_.vt == VT_DISPATCH) return value_.pdispVal;
    if (value_.vt == (VT_DISPATCH | VT_BYREF) && value_.ppdispVal != nullptr)
        return *value_.ppdispVal;
    return nullptr;
}

// ---- Dispatch ----

Dispatch::Dispatch(IDispatch* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
}

Dispatch& Dispatch::operator=(const Dispatch& other) {
    if (other.object_ != nullptr) other.object_->AddRef();
    reset();
    object_ = other.object_;
    return *this;
}

void Dispatch::reset() {
    if (object_ != nullptr) object_->Release();
    object_ = nullptr;
}

HRESULT Dispatch::Create(const wchar_t* programId, Dispatch& out) {
    out.reset();
    CLSID classId;
    HRESULT result = CLSIDFromProgID(programId, &classId);
    if (FAILED(result)) return result;
    IDispatch* object = nullptr;
    result = CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IDispatch,
                              reinterpret_cast<void**>(&object));
    if (FAILED(result)) return result;
    out.object_ = object;
    return S_OK;
}

HRESULT Dispatch::invoke(const wchar_t* name, WORD flags, const std::vector<Variant>& args,
                         Variant* result, bool namedPut) {
    if (object_ == nullptr) return E_POINTER;
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT status = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
    if (FAILED(status)) return status;
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        reversed.push_back(*it->get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), namedPut ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), namedPut ? 1u : 0u};
    EXCEPINFO exception{};
    UINT badArgument = 0;
    Variant ignored;
    status = object_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             namedPut ? nullptr : (result ? result->get() : ignored.get()),
                             &exception, &badArgument);
    if (status == DISP_E_EXCEPTION) {
        // A dual object's failure travels as an exception; its code is the one
        // the caller maps.
        const HRESULT code = exception.scode != 0 ? exception.scode : E_FAIL;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return code;
    }
    return status;
}

HRESULT Dispatch::get(const wchar_t* name, Variant& result, const std::vector<Variant>& args) {
    return invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, &result, false);
}

HRESULT Dispatch::put(const wchar_t* name, const Variant& value) {
    // Scripts set object properties by value too; an object that only takes
    // them by reference says so.
    const HRESULT result = invoke(name, DISPATCH_PROPERTYPUT, {value}, nullptr, true);
    const bool object = value.get()->vt == VT_DISPATCH || value.get()->vt == VT_UNKNOWN;
    if (result != DISP_E_MEMBERNOTFOUND || !object) return result;
    return invoke(name, DISPATCH_PROPERTYPUTREF, {value}, nullptr, true);
}

HRESULT Dispatch::call(const wchar_t* name, const std::vector<Variant>& args, Variant* result) {
    return invoke(name, DISPATCH_METHOD, args, result, false);
}

// ---- events ----

namespace {

class EventSink final : public IDispatch {
public:
    EventSink(const IID& events, EventHandler handler)
        : events_(events), handler_(std::move(handler)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, events_)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        if (handler_) handler_(member, params);
        return S_OK;
    }

private:
    IID events_;
    EventHandler handler_;
    std::atomic<ULONG> references_{1};
};

} // namespace

HRESULT EventSubscription::begin(const Dispatch& source, EventHandler handler) {
    end();
    if (!source) return E_POINTER;
    IConnectionPointContainer* container = nullptr;
    HRESULT status = source.raw()->QueryInterface(IID_IConnectionPointContainer,
                                                  reinterpret_cast<void**>(&container));
    if (FAILED(status)) return status;
    IEnumConnectionPoints* points = nullptr;
    status = container->EnumConnectionPoints(&points);
    container->Release();
    if (FAILED(status)) return status;
    IConnectionPoint* point = nullptr;
    ULONG fetched = 0;
    status = points->Next(1, &point, &fetched);
    points->Release();
    if (status != S_OK || fetched != 1 || point == nullptr) return CONNECT_E_NOCONNECTION;
    IID events;
    status = point->GetConnectionInterface(&events);
    if (FAILED(status)) {
        point->Release();
        return status;
    }
    EventSink* sink = new EventSink(events, std::move(handler));
    status = point->Advise(sink, &cookie_);
    sink->Release(); // the point holds it while advised
    if (FAILED(status)) {
        point->Release();
        cookie_ = 0;
        return status;
    }
    point_ = point;
    return S_OK;
}

void EventSubscription::end() {
    if (point_ == nullptr) return;
    point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
    cookie_ = 0;
}

// ---- the track as a stream ----

namespace {

class ReadStream final : public IStream {
public:
    ReadStream(uint64_t size, StreamRead read, std::function<void()> rewind)
        : size_(size), read_(std::move(read)), rewind_(std::move(rewind)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) ||
            IsEqualIID(iid, IID_ISequentialStream)) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* done) override {
        size_t filled = 0;
        if (!read_(static_cast<char*>(data), size, filled)) return STG_E_READFAULT;
        position_ += filled;
        if (done != nullptr) *done = static_cast<ULONG>(filled);
        return filled == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
        int64_t target = move.QuadPart;
        if (origin == STREAM_SEEK_CUR) target += static_cast<int64_t>(position_);
        if (origin == STREAM_SEEK_END) target += static_cast<int64_t>(size_);
        if (target < 0 || static_cast<uint64_t>(target) > size_) return STG_E_INVALIDFUNCTION;
        if (static_cast<uint64_t>(target) < position_) {
            rewind_();
            position_ = 0;
        }
        if (!skipTo(static_cast<uint64_t>(target))) return STG_E_READFAULT;
        if (now != nullptr) now->QuadPart = position_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (stat == nullptr) return E_POINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = size_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    bool skipTo(uint64_t target) {
        char buffer[4096];
        while (position_ < target) {
            const size_t want =
                static_cast<size_t>(std::min<uint64_t>(sizeof buffer, target - position_));
            size_t filled = 0;
            if (!read_(buffer, want, filled) || filled == 0) return false;
            position_ += filled;
        }
        return true;
    }

    uint64_t size_;
    uint64_t position_ = 0;
    StreamRead read_;
    std::function<void()> rewind_;
    std::atomic<ULONG> references_{1};
};

} // namespace

IStream* NewReadStream(uint64_t size, StreamRead read, std::function<void()> rewind) {
    return new ReadStream(size, std::move(read), std::move(rewind));
}

// ---- the apartment ----

Apartment::~Apartment() {
    if (thread_ == nullptr) return;
    // The library is being unloaded, with the loader's lock held: the thread
    // can neither leave COM (that frees libraries) nor end while we wait. So
    // once it sleeps with no job left, an APC ends it right inside its wait,
    // in the system's code, and nothing of this library runs on it again. At
    // a process exit it is already gone. Its handles are left to the process.
    HANDLE ends[] = {idle_, thread_};
    if (WaitForMultipleObjects(2, ends, FALSE, INFINITE) != WAIT_OBJECT_0) return;
    const auto exitThread = reinterpret_cast<PAPCFUNC>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitThread")));
    if (exitThread != nullptr) QueueUserAPC(exitThread, thread_, 0);
}

bool Apartment::startThread() {
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    idle_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (wake_ == nullptr || idle_ == nullptr || ready_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return thread_ != nullptr;
}

bool Apartment::enqueue(const std::function<void()>& work, HANDLE done) {
    {
        std::lock_guard lock(mutex_);
        if (thread_ == nullptr && !startThread()) return false;
    }
    WaitForSingleObject(ready_, INFINITE);
    if (!comReady_) return false;
    std::lock_guard lock(mutex_);
    jobs_.push_back(Job{work, done});
    SetEvent(wake_);
    return true;
}

bool Apartment::run(const std::function<void()>& work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) return false;
    if (!enqueue(work, done)) {
        CloseHandle(done);
        return false;
    }
    // A thread that is gone (the process is ending) never answers.
    HANDLE ends[] = {done, thread_};
    const DWORD woken = WaitForMultipleObjects(2, ends, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) CloseHandle(done);
    return woken == WAIT_OBJECT_0;
}

bool Apartment::post(const std::function<void()>& work) {
    return enqueue(work, nullptr);
}

bool Apartment::takeJob(Job& job) {
    std::lock_guard lock(mutex_);
    if (jobs_.empty()) return false;
    job = std::move(jobs_.front());
    jobs_.pop_front();
    return true;
}

DWORD WINAPI Apartment::ThreadMain(void* self) {
    static_cast<Apartment*>(self)->serve();
}

void Apartment::serve() {
    comReady_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    SetEvent(ready_);
    for (;;) {
        Job job;
        while (takeJob(job)) {
            if (job.work) job.work();
            if (job.done != nullptr) SetEvent(job.done);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        {
            // No wake-up is left over once the queue is seen empty, so the
            // thread reports "idle" only when it really goes to sleep.
            std::lock_guard lock(mutex_);
            if (!jobs_.empty()) continue;
            ResetEvent(wake_);
        }
        // "Idle" and asleep in one step, alertable for the unload's APC.
        SignalObjectAndWait(idle_, wake_, INFINITE, TRUE);
        ResetEvent(idle_);
    }
}

} // namespace qv::engine::com
