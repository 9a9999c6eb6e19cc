#pragma once

#include <windows.h>
#include <objidl.h>

#include "unique_handle.h"

// The last Win32 error as an HRESULT: 0 and values that already read as
// failures pass unchanged, any other code becomes 0x8007xxxx.
HRESULT LastErrorAsHresult();

// IStream over a Win32 file handle, the XML writer's output. It owns the
// handle and closes it when the last reference goes.
class FileStream final : public IStream {
public:
    explicit FileStream(HANDLE file);
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* done) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* done) override;

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER distance, DWORD origin,
                                   ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                         DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                           DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override;

private:
    ~FileStream() = default;

    UniqueFileHandle file_;
    LONG references_ = 1;
};

struct HandOffUser;

// Opens the profile hand-off file at path for user (see OpenHandOffFile) and
// wraps it in a new FileStream with one reference. 0 on success; otherwise no
// stream.
HRESULT CreateFileStream(const wchar_t* path, const HandOffUser& user, IStream** stream);
