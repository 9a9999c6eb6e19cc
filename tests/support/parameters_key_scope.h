#pragma once

// ParametersKey for one test: created when missing and then removed again
// (with the service's whole key if that was created too); otherwise its Path
// and ExitCode are put back as they were. Path and ExitCode are set through
// the programs' own writers; the raw setters are for values they never write.

#include <windows.h>

#include <string>
#include <vector>

#include "contract.h"

// One value of ParametersKey as stored: its type and bytes.
struct ParameterValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
ParameterValue ReadParameterValue(const wchar_t* name);

class ParametersKeyScope {
public:
    ParametersKeyScope();
    ~ParametersKeyScope();
    ParametersKeyScope(const ParametersKeyScope&) = delete;
    ParametersKeyScope& operator=(const ParametersKeyScope&) = delete;

    bool CreatedKey() const { return createdKey_; }
    void SetPath(const std::wstring& path);
    void SetExitCode(DWORD value);
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size);
    void Delete(const wchar_t* name);
    // ExitCode as stored, or kNoExitCode when there is no DWORD value.
    static constexpr DWORD kNoExitCode = 0xFFFFFFFF;
    DWORD ExitCode() const;
    void DeleteKey();

private:
    void Restore(const wchar_t* name, const ParameterValue& saved);

    bool createdServiceKey_ = false;
    bool createdKey_ = false;
    ParameterValue path_;
    ParameterValue exitCode_;
};
