#pragma once
// Late-bound COM for the Windows burning service: objects made from their
// program identifiers and driven by name through IDispatch, the way scripts
// drive them, so that no interface table of the service is declared here;
// progress events through the connection point the object itself offers; and
// the one thread (a single-threaded apartment) every such object lives on.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <oaidl.h>
#include <objbase.h>
#include <ocidl.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qv::engine::com {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);

    static Variant Long(int32_t number);
    static Variant Bool(bool flag);
    static Variant Text(const std::wstring& text);
    static Variant Object(IUnknown* object); // adds a reference

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }

    // Conversions; false when the value cannot be taken as asked.
    bool toLong(int32_t& number) const;
    bool toBool(bool& flag) const;
    bool toText(std::string& text) const;
    // The elements of a one-dimensional SAFEARRAY (of VARIANTs or of BSTRs).
    bool toList(std::vector<Variant>& items) const;
    IDispatch* dispatch() const; // not referenced; null when not an object

private:
    VARIANT value_;
};

// An IDispatch reference that releases itself; every call keeps its HRESULT.
class Dispatch {
public:
    Dispatch() = default;
    explicit Dispatch(IDispatch* object); // takes a reference of its own
    ~Dispatch() { reset(); }
    Dispatch(const Dispatch& other) : Dispatch(other.object_) {}
    Dispatch& operator=(const Dispatch& other);

    // CLSIDFromProgID, then CoCreateInstance for IDispatch.
    static HRESULT Create(const wchar_t* programId, Dispatch& out);

    HRESULT get(const wchar_t* name, Variant& result, const std::vector<Variant>& args = {});
    HRESULT put(const wchar_t* name, const Variant& value);
    HRESULT call(const wchar_t* name, const std::vector<Variant>& args = {},
                 Variant* result = nullptr);

    IDispatch* raw() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset();
    // Forgets the object without releasing it (its apartment is gone).
    void abandon() { object_ = nullptr; }

private:
    HRESULT invoke(const wchar_t* name, WORD flags, const std::vector<Variant>& args,
                   Variant* result, bool namedPut);

    IDispatch* object_ = nullptr;
};

// Receives an object's events by IDispatch: answers as the event interface
// the connection point names and hands each call's DISPID and arguments on.
using EventHandler = std::function<void(DISPID member, DISPPARAMS* params)>;

class EventSubscription {
public:
    EventSubscription() = default;
    ~EventSubscription() { end(); }
    EventSubscription(const EventSubscription&) = delete;
    EventSubscription& operator=(const EventSubscription&) = delete;

    // Advises a sink on the source's first connection point; the event
    // interface is the one that point reports.
    HRESULT begin(const Dispatch& source, EventHandler handler);
    void end();

private:
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
};

// A read-only IStream of size bytes, read from the start by read (which
// fills up to size bytes, fewer only at the end; false on a failure);
// rewind starts it over, so that a reader may seek back to the start.
using StreamRead = std::function<bool(char* data, size_t size, size_t& filled)>;
IStream* NewReadStream(uint64_t size, StreamRead read, std::function<void()> rewind);

// One thread with COM initialised once (apartment-threaded), where every
// object of the service is made, called and released. The entries hand it
// their work and wait; it pumps window messages meanwhile, as an apartment
// must for objects that call back into it.
class Apartment {
public:
    Apartment() = default;
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

    // Runs the work on the apartment's thread and returns once it is done.
    // False when COM cannot be initialised there (the work is not run).
    bool run(const std::function<void()>& work);
    // Queues the work and returns at once (an erase that takes minutes).
    bool post(const std::function<void()>& work);

private:
    struct Job {
        std::function<void()> work;
        HANDLE done = nullptr;
    };

    bool startThread();
    bool enqueue(const std::function<void()>& work, HANDLE done);
    static DWORD WINAPI ThreadMain(void* self);
    [[noreturn]] void serve();
    bool takeJob(Job& job);

    std::mutex mutex_;
    std::deque<Job> jobs_;
    HANDLE thread_ = nullptr;
    HANDLE wake_ = nullptr;  // auto-reset: a job was queued
    HANDLE idle_ = nullptr;  // set as the thread goes to sleep with no job left
    HANDLE ready_ = nullptr; // COM is initialised there (or failed to be)
    std::atomic<bool> comReady_{false};
};

} // namespace qv::engine::com
