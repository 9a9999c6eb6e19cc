// What InstallService tells the SCM beyond CreateServiceW: Wine keeps the
// description but can neither read back nor carry out recovery actions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service_shell_internal.h"

namespace {

struct Recorded {
    std::vector<DWORD> levels;
    std::wstring description;
    DWORD resetPeriod = 0;
    std::vector<SC_ACTION> actions;
};
Recorded g_recorded;
SC_HANDLE const kService = reinterpret_cast<SC_HANDLE>(0x5C);

BOOL WINAPI FakeChangeServiceConfig2(SC_HANDLE service, DWORD level, void* info)
{
    EXPECT_EQ(service, kService);
    g_recorded.levels.push_back(level);
    if (level == SERVICE_CONFIG_DESCRIPTION) {
        g_recorded.description = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    } else if (level == SERVICE_CONFIG_FAILURE_ACTIONS) {
        auto* failure = static_cast<SERVICE_FAILURE_ACTIONSW*>(info);
        EXPECT_EQ(failure->lpRebootMsg, nullptr);
        EXPECT_EQ(failure->lpCommand, nullptr);
        g_recorded.resetPeriod = failure->dwResetPeriod;
        g_recorded.actions.assign(failure->lpsaActions, failure->lpsaActions + failure->cActions);
    } else {
        ADD_FAILURE() << "unexpected level " << level;
    }
    return TRUE;
}

TEST(ServiceDescriptionTest, DescribesTheServiceAndRestartsItAfterTheFirstTwoFailuresOnly)
{
    g_recorded = {};
    DescribeService(kService, FakeChangeServiceConfig2);

    EXPECT_EQ(g_recorded.levels, (std::vector<DWORD>{SERVICE_CONFIG_DESCRIPTION, SERVICE_CONFIG_FAILURE_ACTIONS}));
    EXPECT_NE(g_recorded.description.find(L"Tolvek Lark Wireless USB Adapter"), std::wstring::npos);
    EXPECT_EQ(g_recorded.resetPeriod, 24u * 60 * 60);
    // The SCM repeats the last action for every later failure: it must be "none".
    ASSERT_EQ(g_recorded.actions.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g_recorded.actions[i].Type, SC_ACTION_RESTART) << i;
        EXPECT_EQ(g_recorded.actions[i].Delay, 5000u) << i;
    }
    EXPECT_EQ(g_recorded.actions[2].Type, SC_ACTION_NONE);
}

} // namespace
