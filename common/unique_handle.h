#pragma once

#include <windows.h>
#include <oleauto.h>
#include <userenv.h>
#include <winsvc.h>
#include <wlanapi.h>

#include <atomic>
#include <type_traits>
#include <utility>

// Sole owner of one platform handle: closes it when replaced or destroyed.
// Close is the platform's close function; InvalidValue is the handle value
// that means "none" (0 for most handles, -1 for file handles).
template <typename T, auto Close, INT_PTR InvalidValue = 0>
class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : value_(value) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    static T invalid()
    {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(InvalidValue);
        else
            return static_cast<T>(InvalidValue);
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != invalid(); }

    // For COM interfaces and other owned records: writer->Flush().
    T operator->() const
        requires std::is_pointer_v<T> && std::is_class_v<std::remove_pointer_t<T>>
    {
        return value_;
    }

    // Closes the current handle and hands out its slot for an out parameter.
    T* put()
    {
        reset();
        return &value_;
    }

    void reset(T value = invalid())
    {
        T old = std::exchange(value_, value);
        if (old != invalid())
            Close(old);
    }

    T release() { return std::exchange(value_, invalid()); }

private:
    T value_ = invalid();
};

using UniqueHandle = UniqueAny<HANDLE, ::CloseHandle>;
using UniqueFileHandle = UniqueAny<HANDLE, ::CloseHandle, -1>;
using UniqueHkey = UniqueAny<HKEY, ::RegCloseKey>;
using UniqueScHandle = UniqueAny<SC_HANDLE, ::CloseServiceHandle>;
using UniqueHlocal = UniqueAny<HLOCAL, ::LocalFree>;
using UniqueSid = UniqueAny<PSID, ::FreeSid>;
using UniqueHmodule = UniqueAny<HMODULE, ::FreeLibrary>;
using UniqueFindHandle = UniqueAny<HANDLE, ::FindClose, -1>;
using UniqueIcon = UniqueAny<HICON, ::DestroyIcon>;
using UniqueBstr = UniqueAny<BSTR, ::SysFreeString>;
using UniqueEnvironment = UniqueAny<void*, ::DestroyEnvironmentBlock>;

inline void CloseWlanHandle(HANDLE handle)
{
    WlanCloseHandle(handle, nullptr);
}
using UniqueWlanHandle = UniqueAny<HANDLE, CloseWlanHandle>;
template <typename T>
using UniqueWlanMemory = UniqueAny<T*, ::WlanFreeMemory>;

// One counted COM reference, released when it goes.
template <typename T>
void ReleaseCom(T* object)
{
    object->Release();
}
template <typename T>
using UniqueCom = UniqueAny<T*, ReleaseCom<T>>;

// Another counted reference to what object holds.
template <typename T>
UniqueCom<T> ShareCom(const UniqueCom<T>& object)
{
    object->AddRef();
    return UniqueCom<T>(object.get());
}

// A VARIANT cleared, with whatever it holds, when it goes.
class UniqueVariant {
public:
    UniqueVariant() { VariantInit(&value_); }
    ~UniqueVariant() { VariantClear(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT& get() { return value_; }

private:
    VARIANT value_;
};

// Runs an undo step when the scope ends, unless release() said the work it
// guards went through.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F undo) : undo_(std::move(undo)) {}
    ~ScopeExit()
    {
        if (armed_)
            undo_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

    void release() { armed_ = false; }

private:
    F undo_;
    bool armed_ = true;
};

// A value that threads share without a lock: each reads and writes it whole,
// and none orders anything else by it.
template <typename T>
class Relaxed {
public:
    constexpr Relaxed(T value = T{}) : value_(value) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;

    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T value) { value_.store(value, std::memory_order_relaxed); }
    T exchange(T value) { return value_.exchange(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};
