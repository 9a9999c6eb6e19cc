// An event that exists before the service starts: kept, with the service's
// list, only when its owner is trusted and its list granted nobody more than
// the service's own; and the list and owner the service gives its events.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "access_entries.h"
#include "case_name.h"
#include "contract.h"
#include "global_events.h"

namespace {

// 0x1F0003 is EVENT_ALL_ACCESS, 0x100000 SYNCHRONIZE, 0x20000 READ_CONTROL,
// 0x2 EVENT_MODIFY_STATE.
const wchar_t kServicesList[] = L"D:(A;;0x1f0003;;;SY)(A;;0x1f0003;;;BA)(A;;0x120000;;;WD)";
const wchar_t kOtherUser[] = L"S-1-5-21-1111-2222-3333-4444";

struct EarlierCase {
    const char* name;
    std::wstring sddl; // owner and list of the event found
    bool kept;
};

const EarlierCase kEarlier[] = {
    {"OursAsItIs", std::wstring(L"O:SY") + kServicesList, true},
    {"WaitOnlyFromAnEarlierVersion", L"O:SYD:(A;;0x1F0003;;;SY)(A;;0x100000;;;WD)", true},
    {"MadeByAnAdministrator", std::wstring(L"O:BA") + kServicesList, true},
    {"ByTheServicesDefaultOwner", kServicesList, true},
    {"GenericExecuteIsOnlyWaitAndRead", L"O:SYD:(A;;GX;;;WD)", true},
    {"WaitForOneUserIsWithinEveryones", std::wstring(L"O:SYD:(A;;0x100000;;;") + kOtherUser + L")", true},
    {"DenyingSomebodyNarrows", std::wstring(L"O:SYD:(D;;0x2;;;") + kOtherUser + L")(A;;0x1F0003;;;SY)", true},
    {"EveryoneMaySignal", L"O:SYD:(A;;0x100002;;;WD)", false},
    {"EveryoneMayDoAnything", L"O:SYD:(A;;0x1F0003;;;WD)", false},
    {"EveryoneGenericAll", L"O:SYD:(A;;GA;;;WD)", false},
    {"NoListAtAll", L"O:SY", false},
    {"OneUserMaySignal", std::wstring(L"O:SYD:(A;;0x100002;;;") + kOtherUser + L")", false},
    {"UsersMayChangeTheList", L"O:SYD:(A;;0x140000;;;BU)", false},
    {"OwnedByAnotherUser", std::wstring(L"O:") + kOtherUser + kServicesList, false},
};

class EarlierEventTest : public ::testing::TestWithParam<EarlierCase> {};

// Judged on the descriptor as found: this test cannot open, as LocalSystem
// can, an event whose list shuts it out.
TEST_P(EarlierEventTest, IsKeptOnlyWhenNoHandleCanHoldMoreThanOurList)
{
    const EarlierCase& c = GetParam();
    // No owner in the text: the one this process's events get.
    std::wstring sddl = c.sddl.rfind(L"O:", 0) == 0 ? c.sddl : L"O:" + OwnTokenSid(TokenOwner) + c.sddl;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    UniqueHlocal held(descriptor);
    ExplicitSecurity ours;
    ASSERT_TRUE(BuildGlobalEventSecurity(ours));
    EXPECT_EQ(IsKeepableEvent(descriptor, ours.list()), c.kept);
}

// A kept event gets our list; one we may not keep leaves the name taken.
TEST(GlobalEventSecurityTest, AKeptEventGetsOurListAndARefusedOneSaysTheNameIsTaken)
{
    ExplicitSecurity ours;
    ASSERT_TRUE(BuildGlobalEventSecurity(ours));
    std::wstring kept = L"Tolvek test kept event " + std::to_wstring(GetCurrentProcessId());
    UniqueHandle earlier(CreateEventWithDescriptor(kept.c_str(), L"O:BAD:(A;;0x1f0003;;;SY)(A;;0x1f0003;;;BA)(A;;0x1f0003;;;WD)"));
    ASSERT_TRUE(earlier);
    SetLastError(0);
    EXPECT_FALSE(CreateGlobalEvent(kept.c_str(), ours));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    std::wstring narrow = L"Tolvek test narrow event " + std::to_wstring(GetCurrentProcessId());
    UniqueHandle earlierNarrow(CreateEventWithDescriptor(narrow.c_str(), std::wstring(L"O:BA") + kServicesList));
    ASSERT_TRUE(earlierNarrow);
    UniqueHandle event = CreateGlobalEvent(narrow.c_str(), ours);
    if (!event && GetLastError() == ERROR_ACCESS_DENIED)
        GTEST_SKIP() << "this account may not open an event only LocalSystem and the Administrators may change";
    ASSERT_TRUE(event);
    const std::vector<AccessEntry> expected = {
        {L"S-1-1-0", SYNCHRONIZE | READ_CONTROL}, {L"S-1-5-18", EVENT_ALL_ACCESS}, {L"S-1-5-32-544", EVENT_ALL_ACCESS}};
    EXPECT_EQ(AllowedEntries(event.get(), SE_KERNEL_OBJECT), expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, EarlierEventTest, ::testing::ValuesIn(kEarlier), CaseName());

// A new event is LocalSystem's, not the token's default owner's, which an
// agent could not tell from any user's.
TEST(GlobalEventSecurityTest, NewEventsAreOwnedByLocalSystem)
{
    ExplicitSecurity ours;
    ASSERT_TRUE(BuildGlobalEventSecurity(ours));
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        &ours.descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
    UniqueHlocal held(text);
    EXPECT_STREQ(text, (std::wstring(L"O:SYD:P") + (kServicesList + 2)).c_str());

    std::wstring name = L"Tolvek test new event " + std::to_wstring(GetCurrentProcessId());
    UniqueHandle event = CreateGlobalEvent(name.c_str(), ours);
    ASSERT_TRUE(event);
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(event.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    UniqueHlocal ownerHeld(descriptor);
    EXPECT_TRUE(IsWellKnownSid(owner, WinLocalSystemSid));
}

} // namespace
