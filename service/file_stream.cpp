#include "file_stream.h"

#include <new>

#include "handoff_file.h"

HRESULT LastErrorAsHresult()
{
    LONG error = static_cast<LONG>(GetLastError());
    if (error <= 0)
        return error;
    return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(error) & 0xFFFF));
}

FileStream::FileStream(HANDLE file) : file_(file) {}

HRESULT STDMETHODCALLTYPE FileStream::QueryInterface(REFIID iid, void** object)
{
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IStream) || iid == __uuidof(ISequentialStream)) {
        AddRef();
        *object = static_cast<IStream*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FileStream::AddRef()
{
    return InterlockedIncrement(&references_);
}

ULONG STDMETHODCALLTYPE FileStream::Release()
{
    LONG count = InterlockedDecrement(&references_);
    if (count == 0)
        delete this;
    return count;
}

// A stream's caller may pass no count pointer; ReadFile and WriteFile without
// overlapped I/O need one.
HRESULT STDMETHODCALLTYPE FileStream::Read(void* buffer, ULONG size, ULONG* done)
{
    ULONG ignored = 0;
    if (!ReadFile(file_.get(), buffer, size, done ? done : &ignored, nullptr))
        return LastErrorAsHresult();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FileStream::Write(const void* buffer, ULONG size, ULONG* done)
{
    ULONG ignored = 0;
    if (!WriteFile(file_.get(), buffer, size, done ? done : &ignored, nullptr))
        return LastErrorAsHresult();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FileStream::Seek(LARGE_INTEGER distance, DWORD origin,
                                           ULARGE_INTEGER* position)
{
    DWORD method;
    switch (origin) {
    case STREAM_SEEK_SET:
        method = FILE_BEGIN;
        break;
    case STREAM_SEEK_CUR:
        method = FILE_CURRENT;
        break;
    case STREAM_SEEK_END:
        method = FILE_END;
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    LARGE_INTEGER moved{};
    if (!SetFilePointerEx(file_.get(), distance, &moved, method))
        return LastErrorAsHresult();
    if (position)
        position->QuadPart = static_cast<ULONGLONG>(moved.QuadPart);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FileStream::SetSize(ULARGE_INTEGER)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                             ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::Commit(DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::Revert()
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileStream::Stat(STATSTG* stat, DWORD)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size))
        return LastErrorAsHresult();
    // No name, whatever the flag asks: a caller then has nothing to free.
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FileStream::Clone(IStream**)
{
    return E_NOTIMPL;
}

HRESULT CreateFileStream(const wchar_t* path, const HandOffUser& user, IStream** stream)
{
    *stream = nullptr;
    UniqueFileHandle file = OpenHandOffFile(path, user);
    if (!file)
        return LastErrorAsHresult();
    FileStream* created = new (std::nothrow) FileStream(file.get());
    if (!created)
        return E_OUTOFMEMORY;
    file.release();
    *stream = created;
    return S_OK;
}
