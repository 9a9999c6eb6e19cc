// Adapter lookup and link state against the Native Wifi stand-in.
#include <gtest/gtest.h>

#include "adapter.h"
#include "case_name.h"
#include "wlan_test_bench.h"

using namespace wlan_test;

namespace {

const GUID kFirst = MakeGuid(1);
const GUID kSecond = MakeGuid(2);
const GUID kThird = MakeGuid(3);

bool AdapterIdIs(const GUID& guid)
{
    return IsEqualGUID(AdapterId, guid);
}

class AdapterTest : public StandInTest {
protected:
    void SetUp() override
    {
        StandInTest::SetUp();
        AdapterId = GUID{};
    }
};

struct Listed {
    const wchar_t* description;
    GUID guid;
    bool present;
};

struct FindCase {
    const char* name;
    std::vector<Listed> interfaces;
    const GUID* expected; // null: not found
};

class FindAdapterTest : public AdapterTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindAdapterTest, TakesTheFirstInterfaceWhoseDescriptionStartsWithTheAdapters)
{
    for (const Listed& listed : GetParam().interfaces)
        AddInterface(listed.description, listed.guid, listed.present);

    FindAdapter();

    const GUID zero{};
    EXPECT_TRUE(AdapterIdIs(GetParam().expected ? *GetParam().expected : zero));
    std::vector<WlanCall> calls = OwnCalls();
    EXPECT_EQ(CountCalls(calls, L"WlanOpenHandle"), 1);
    EXPECT_EQ(CountCalls(calls, L"WlanEnumInterfaces"), 1);
    EXPECT_EQ(CountCalls(calls, L"WlanFreeMemory"), 1);
    EXPECT_EQ(CountCalls(calls, L"WlanCloseHandle"), 1);
    ExpectBalanced(calls);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, FindAdapterTest,
    ::testing::Values(
        FindCase{"Exact", {{L"Tolvek Lark Wireless USB Adapter", kFirst, true}}, &kFirst},
        FindCase{"TwoMatchingFirstWins",
                 {{L"Tolvek Lark Wireless USB Adapter", kFirst, true},
                  {L"Tolvek Lark Wireless USB Adapter 2", kSecond, true}},
                 &kFirst},
        FindCase{"TwoMatchingInEnumerationOrder",
                 {{L"Tolvek Lark Wireless USB Adapter 2", kSecond, true},
                  {L"Tolvek Lark Wireless USB Adapter", kFirst, true}},
                 &kSecond},
        FindCase{"NumberedCopyMatches", {{L"Tolvek Lark Wireless USB Adapter 2", kSecond, true}}, &kSecond},
        FindCase{"OtherAdapterBeforeIt",
                 {{L"Intel(R) Wireless-AC 9260", kFirst, true}, {L"Tolvek Lark Wireless USB Adapter", kSecond, true}},
                 &kSecond},
        FindCase{"CaseDiffers", {{L"tolvek lark wireless usb adapter", kFirst, true}}, nullptr},
        FindCase{"OneCharacterShort", {{L"Tolvek Lark Wireless USB Adapte", kFirst, true}}, nullptr},
        FindCase{"UnpluggedIsNotListed",
                 {{L"Tolvek Lark Wireless USB Adapter", kFirst, false},
                  {L"Tolvek Lark Wireless USB Adapter 2", kSecond, true}},
                 &kSecond},
        FindCase{"NoInterfaces", {}, nullptr}), CaseName());

TEST_F(AdapterTest, NoMatchClearsAnIdentifierFoundBefore)
{
    AdapterId = kThird;
    AddInterface(L"Intel(R) Wireless-AC 9260", kFirst);
    FindAdapter();
    EXPECT_TRUE(AdapterIdIs(GUID{}));
}

TEST_F(AdapterTest, WithoutTheWlanServiceTheIdentifierKeepsItsValue)
{
    AdapterId = kThird;
    SetService(false);
    FindAdapter();
    EXPECT_TRUE(AdapterIdIs(kThird));
    EXPECT_EQ(CountCalls(OwnCalls(), L"WlanEnumInterfaces"), 0);
}

struct LinkCase {
    const char* name;
    DWORD state;
    bool secure;
    bool expected;
};

class LinkStateTest : public AdapterTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkStateTest, IsTrueOnlyWhenConnectedWithSecurity)
{
    AddInterface(AdapterDescription, kFirst);
    SetConnection(kFirst, GetParam().state, GetParam().secure);

    EXPECT_EQ(QueryLinkState(), GetParam().expected);
    EXPECT_TRUE(AdapterIdIs(kFirst));
    std::vector<WlanCall> calls = OwnCalls();
    EXPECT_EQ(CountCalls(calls, L"WlanQueryInterface"), 1);
    ExpectBalanced(calls);
}

INSTANTIATE_TEST_SUITE_P(
    Connections, LinkStateTest,
    ::testing::Values(LinkCase{"ConnectedSecured", wlan_interface_state_connected, true, true},
                      LinkCase{"ConnectedOpenNetwork", wlan_interface_state_connected, false, false},
                      LinkCase{"Associating", wlan_interface_state_associating, true, false},
                      LinkCase{"Authenticating", wlan_interface_state_authenticating, true, false},
                      LinkCase{"Disconnected", wlan_interface_state_disconnected, false, false}), CaseName());

TEST_F(AdapterTest, WithoutAdapterEveryCallLooksAgain)
{
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_FALSE(QueryLinkState());
    EXPECT_EQ(CountCalls(OwnCalls(), L"WlanEnumInterfaces"), 3);
    EXPECT_EQ(CountCalls(OwnCalls(), L"WlanQueryInterface"), 0);

    AddInterface(AdapterDescription, kFirst);
    SetConnection(kFirst, wlan_interface_state_connected, true);
    EXPECT_TRUE(QueryLinkState());
    ExpectBalanced(OwnCalls());
}

TEST_F(AdapterTest, WithoutTheWlanServiceEveryCallTriesAgain)
{
    AddInterface(AdapterDescription, kFirst);
    SetConnection(kFirst, wlan_interface_state_connected, true);
    SetService(false);
    for (int pass = 0; pass < 3; ++pass)
        EXPECT_FALSE(QueryLinkState());
    EXPECT_EQ(CountCalls(OwnCalls(), L"WlanOpenHandle"), 3);
    EXPECT_TRUE(AdapterIdIs(GUID{}));

    SetService(true);
    EXPECT_TRUE(QueryLinkState());
}

TEST_F(AdapterTest, UnpluggedAdapterIsDownWithoutANewLookupUntilItReturns)
{
    AddInterface(AdapterDescription, kFirst);
    SetConnection(kFirst, wlan_interface_state_connected, true);
    ASSERT_TRUE(QueryLinkState());
    ClearWlanBench();
    AddInterface(AdapterDescription, kFirst, false);
    AddInterface(L"Tolvek Lark Wireless USB Adapter 2", kSecond);
    SetConnection(kSecond, wlan_interface_state_connected, true);

    EXPECT_FALSE(QueryLinkState());
    EXPECT_FALSE(QueryLinkState());
    EXPECT_TRUE(AdapterIdIs(kFirst));
    std::vector<WlanCall> calls = OwnCalls();
    EXPECT_EQ(CountCalls(calls, L"WlanEnumInterfaces"), 0);
    ASSERT_EQ(CountCalls(calls, L"WlanQueryInterface"), 2);
    for (const WlanCall& call : calls) {
        if (call.function == L"WlanQueryInterface") {
            EXPECT_EQ(call.result, static_cast<DWORD>(ERROR_NOT_FOUND));
        }
    }

    SetPresent(kFirst, true);
    SetConnection(kFirst, wlan_interface_state_connected, true);
    EXPECT_TRUE(QueryLinkState());
    ExpectBalanced(OwnCalls());
}

} // namespace
