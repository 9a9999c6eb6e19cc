// The stop's forced end of the indicator thread: never while it is inside
// process creation for the LED tool, whose locks the rest of the stop needs.
#include <gtest/gtest.h>

#include <atomic>

#include "service_state_fixture.h"

namespace {

struct ToolStart {
    UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> finishedStart{false};
};
ToolStart* g_start;

// Stands for the indicator thread caught in CreateProcessW by the stop; it
// leaves the start only when the test releases it, then waits on the tool.
DWORD WINAPI StartingTool(void*)
{
    SetRelaxed(g_service.ToolStarting, true);
    WaitForSingleObject(g_start->release.get(), INFINITE);
    SetRelaxed(g_service.ToolStarting, false);
    g_start->finishedStart = true;
    Sleep(INFINITE);
    return 0;
}

class IndicatorForcedEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetServiceState();
        fake_clock::Reset();
        fake_clock::SetRealWaitMs(0);
        CreateServiceEvents();
        g_start = &start_;
        g_service.IndicatorThread.reset(CreateThread(nullptr, 0, StartingTool, nullptr, 0, nullptr));
        ASSERT_TRUE(g_service.IndicatorThread);
        while (!Relaxed(g_service.ToolStarting))
            Sleep(1);
        thread_.reset(DuplicateOf(g_service.IndicatorThread.get()));
    }
    void TearDown() override
    {
        SetEvent(start_.release.get());
        TerminateThread(thread_.get(), 0);
        fake_clock::Reset();
        ResetServiceState();
    }

    static HANDLE DuplicateOf(HANDLE handle)
    {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return copy;
    }

    ToolStart start_;
    UniqueHandle thread_;
};

int g_sleeps;
void ReleaseOnThirdPause(unsigned long)
{
    if (++g_sleeps == 3) {
        SetEvent(g_start->release.get());
        while (!g_start->finishedStart)
            Sleep(1);
    }
}

TEST_F(IndicatorForcedEndTest, WaitsForAToolStartToFinishBeforeTheForcedEnd)
{
    g_sleeps = 0;
    fake_clock::SetSleepHook(ReleaseOnThirdPause);
    DestroyWorkers();
    EXPECT_TRUE(start_.finishedStart);
    EXPECT_EQ(WaitForSingleObject(thread_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(g_service.IndicatorThread);
    EXPECT_FALSE(g_service.IndicatorEvents[IndicatorStop]);
}

TEST_F(IndicatorForcedEndTest, EndsAThreadStuckInAToolStartAfterASecondMore)
{
    DestroyWorkers();
    EXPECT_FALSE(start_.finishedStart);
    EXPECT_EQ(fake_clock::TotalSleptMs(), 50 * 20);
    EXPECT_EQ(WaitForSingleObject(thread_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(g_service.IndicatorThread);
}

} // namespace
