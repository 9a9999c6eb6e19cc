// The LED tool stand-in wl.exe and the bench tool's view of it, from the
// test installation.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "bench_leds.h"
#include "bench_support.h"

namespace {

using Commands = std::vector<std::wstring>;

Commands Recorded()
{
    return LedArguments(ReadLedRuns(bench::Records()));
}

class LedStandInTest : public ::testing::Test {
protected:
    void SetUp() override { bench::PrepareInstallDirectory(); }
    void TearDown() override
    {
        // Lets a hung tool go before the next test copies over it.
        WriteLedToolSettings(bench::Records(), {});
        Sleep(200);
    }
};

struct ToolCase {
    const wchar_t* arguments;
    DWORD exitCode;
    const wchar_t* key; // the mode it changes, if any
    int mode;
};

TEST_F(LedStandInTest, StandInRecordsEachRunAndKeepsTheModes)
{
    const ToolCase cases[] = {
        {L"ledbh 2 15", 0, L"led2", 15}, {L"ledbh 3 17", 0, L"led3", 17}, {L"mpc 1", 0, L"mpc", 1},
        {L"ledbh 4 1", 1, nullptr, 0},   {L"blink", 1, nullptr, 0},
    };
    for (const ToolCase& c : cases) {
        auto run = bench::RunInstalled(L"wl.exe", c.arguments);
        ASSERT_TRUE(run.finished) << run.output;
        EXPECT_EQ(run.exitCode, c.exitCode) << ToBytes(c.arguments);
        if (c.key) {
            EXPECT_EQ(ReadLedMode(bench::Records(), c.key), c.mode) << ToBytes(c.arguments);
        }
    }
    EXPECT_EQ(Recorded(), (Commands{L"ledbh 2 15", L"ledbh 3 17", L"mpc 1", L"ledbh 4 1", L"blink"}));

    auto modes = bench::RunInstalled(L"testbed.exe", L"leds modes");
    EXPECT_EQ(modes.exitCode, 0u);
    EXPECT_EQ(modes.output, "LED 2 mode: 15\r\nLED 3 mode: 17\r\nmpc: 1\r\n");
    auto timeline = bench::RunInstalled(L"testbed.exe", L"leds timeline");
    EXPECT_NE(timeline.output.find("+0.000 s  ledbh 2 15"), std::string::npos) << timeline.output;
    EXPECT_NE(timeline.output.find("s  blink"), std::string::npos) << timeline.output;

    EXPECT_EQ(bench::RunInstalled(L"testbed.exe", L"leds clear").exitCode, 0u);
    EXPECT_TRUE(Recorded().empty());
    EXPECT_EQ(bench::RunInstalled(L"testbed.exe", L"leds timeline").output, "no runs of wl.exe recorded\r\n");
}

TEST_F(LedStandInTest, BenchToolSetsHowLongARunTakes)
{
    auto delay = bench::RunInstalled(L"testbed.exe", L"wl delay 400");
    EXPECT_EQ(delay.exitCode, 0u);
    EXPECT_EQ(delay.output, "each run takes 400 ms\r\n");
    DWORD start = GetTickCount();
    EXPECT_EQ(bench::RunInstalled(L"wl.exe", L"up").exitCode, 0u);
    EXPECT_GE(GetTickCount() - start, 390u);

    EXPECT_EQ(bench::RunInstalled(L"testbed.exe", L"wl hang on").output, "each run takes 400 ms, and hangs\r\n");
    auto hung = bench::RunInstalled(L"wl.exe", L"up", 1500);
    EXPECT_FALSE(hung.finished);
    EXPECT_EQ(bench::RunInstalled(L"testbed.exe", L"wl reset").output, "each run takes 0 ms\r\n");
    EXPECT_EQ(bench::RunInstalled(L"testbed.exe", L"wl delay soon").exitCode, 2u);
}

} // namespace
