#pragma once

// Scratch folders, the Path value and reading a written profile back.

#include <windows.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "bench_text.h"
#include "documented_contract.h"
#include "parameters_key_scope.h"
#include "service_state_fixture.h"

// The console user, with folder as TMP, recorded as the service records them
// when it accepts a request; false when the service refused the folder.
bool SignInWithTempFolder(const std::wstring& folder);
using bench::MakeScratchFolder;
using bench::RemoveTree;
using bench::IsPresent;
using bench::WriteBytes;

// A scratch folder as the console user's temporary folder, with Path naming
// wps_profile.xml in it.
class ProfileFolderTest : public ServiceStateTest {
protected:
    void SetUp() override
    {
        ServiceStateTest::SetUp();
        folder_ = MakeScratchFolder();
        path_ = folder_ + L"\\wps_profile.xml";
        key_.SetPath(path_);
        ASSERT_TRUE(SignInWithTempFolder(folder_));
    }
    void TearDown() override
    {
        RemoveTree(folder_);
        ServiceStateTest::TearDown();
    }

    ParametersKeyScope key_;
    std::wstring folder_;
    std::wstring path_;
};

using documented::ProfileElement;

struct ProfileAttribute {
    std::wstring element;
    std::wstring name;
    std::wstring value;
    bool operator==(const ProfileAttribute&) const = default;
};

struct ParsedProfile {
    bool ok = false;
    std::vector<ProfileElement> elements;
    std::vector<ProfileAttribute> attributes;
    bool anyEmptyTag = false;
};

// Reads a UTF-8 document with XmlLite's reader.
ParsedProfile ParseProfile(const std::string& bytes);

namespace documented {
void PrintTo(const ProfileElement& element, std::ostream* os);
} // namespace documented
void PrintTo(const ProfileAttribute& attribute, std::ostream* os);
