#pragma once

#include <windows.h>
#include <winsvc.h>

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
