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

namespace {

std::atomic<bool> g_busy{false};
std::atomic<bool> g_quit{false};
std::atomic<long> g_progress{0};
int g_pausesUntilFree;
int g_pauses;

DWORD WINAPI Spinning(void*)
{
    while (!g_quit)
        ++g_progress;
    return 0;
}

void FreeAfterSomePauses(unsigned long)
{
    if (++g_pauses == g_pausesUntilFree)
        g_busy = false;
}

struct SuspendCase {
    const char* name;
    bool busy;
    int pausesUntilFree; // 0: stays busy
    DWORD limitMs;
    bool heldOutside;
    int pauses;
};

class SuspendOutsideTest : public ::testing::TestWithParam<SuspendCase> {};

TEST_P(SuspendOutsideTest, HoldsTheThreadOutsideItsBusyStretchWithinTheLimit)
{
    const SuspendCase& c = GetParam();
    fake_clock::Reset();
    g_busy = c.busy;
    g_pauses = 0;
    g_pausesUntilFree = c.pausesUntilFree;
    fake_clock::SetSleepHook(FreeAfterSomePauses);
    g_quit = false;
    g_progress = 0;
    UniqueHandle thread(CreateThread(nullptr, 0, Spinning, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    // Held while still starting up, the thread would keep the loader lock
    // and the test process could never exit: hold it only once it spins.
    while (g_progress == 0)
        Sleep(1);

    EXPECT_EQ(SuspendOutside(thread.get(), g_busy, c.limitMs), c.heldOutside) << c.name;
    EXPECT_EQ(g_pauses, c.pauses) << c.name;
    long before = g_progress;
    Sleep(50);
    EXPECT_EQ(g_progress, before) << c.name << ": the thread is held either way";

    g_quit = true;
    ResumeThread(thread.get());
    EXPECT_EQ(WaitForSingleObject(thread.get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    fake_clock::Reset();
}

INSTANTIATE_TEST_SUITE_P(Cases, SuspendOutsideTest,
                         ::testing::Values(SuspendCase{"idle", false, 0, 300, true, 0},
                                           SuspendCase{"busy a while", true, 3, 300, true, 3},
                                           SuspendCase{"busy until the limit", true, 15, 300, true, 15},
                                           SuspendCase{"busy for good", true, 0, 300, false, 15}));

} // namespace
