#pragma once

// The service as the agent's unit tests see it: the control codes it is sent
// (SendServiceControl linked in place of the SCM's) and its Parameters key,
// made for the test and put back as it was afterwards.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace fake_service {

void Reset();
std::vector<DWORD> SentCodes();
// Runs inside SendServiceControl, on the sender's thread, before it answers.
void OnSend(std::function<void(DWORD code)> action);

} // namespace fake_service

class ParametersKeyScope {
public:
    ParametersKeyScope();
    ~ParametersKeyScope();
    ParametersKeyScope(const ParametersKeyScope&) = delete;
    ParametersKeyScope& operator=(const ParametersKeyScope&) = delete;

    void SetExitCode(DWORD value);
    void SetExitCodeRaw(DWORD type, const void* data, DWORD size);
    void DeleteExitCode();
    void DeletePath();
    void DeleteKey();
    // False when there is no Path; size is its byte count as stored.
    bool ReadPath(std::wstring& text, DWORD& type, DWORD& size);

private:
    struct Saved {
        bool present = false;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    static Saved Save(const wchar_t* name);
    static void Restore(const wchar_t* name, const Saved& saved);

    bool createdServiceKey_ = false;
    bool createdKey_ = false;
    Saved path_;
    Saved exitCode_;
};
