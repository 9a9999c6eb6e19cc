// The service's creation waits out an earlier service of its name that is
// only marked for deletion, for a bounded time, and for nothing else.
#include <gtest/gtest.h>

#include "case_name.h"
#include "fake_clock.h"
#include "service_shell_internal.h"

namespace {

SC_HANDLE const kManager = reinterpret_cast<SC_HANDLE>(0x3A);
SC_HANDLE const kService = reinterpret_cast<SC_HANDLE>(0x5C);

// How the SCM answers, attempt by attempt: refusals with one error until the
// given time (milliseconds of the fake clock), then success or another error.
struct Scm {
    DWORD refusal;
    int64_t refusedUntilMs;
    DWORD lastError;  // 0: created
};
Scm g_scm;

SC_HANDLE FakeCreate(SC_HANDLE manager, const wchar_t*)
{
    EXPECT_EQ(manager, kManager);
    DWORD error = fake_clock::TotalSleptMs() < g_scm.refusedUntilMs ? g_scm.refusal : g_scm.lastError;
    SetLastError(error);
    return error == 0 ? kService : nullptr;
}

struct CreateCase {
    const char* name;
    Scm scm;
    bool created;
    DWORD error;
    int64_t minSleptMs;
    int64_t maxSleptMs;
};

const CreateCase kCases[] = {
    {"CreatedAtOnce", {0, 0, 0}, true, 0, 0, 0},
    {"MarkedForDeletionForFiveSeconds", {ERROR_SERVICE_MARKED_FOR_DELETE, 5000, 0}, true, 0, 5000, 5250},
    {"StillMarkedAfterFifteenSeconds",
     {ERROR_SERVICE_MARKED_FOR_DELETE, 1'000'000, 0}, false, ERROR_SERVICE_MARKED_FOR_DELETE, 15000, 15000},
    {"AlreadyInstalledIsNotWaitedOn", {ERROR_SERVICE_EXISTS, 1'000'000, 0}, false, ERROR_SERVICE_EXISTS, 0, 0},
    {"MarkedThenExistsStopsWaiting",
     {ERROR_SERVICE_MARKED_FOR_DELETE, 1000, ERROR_SERVICE_EXISTS}, false, ERROR_SERVICE_EXISTS, 1000, 1250},
};

class ServiceCreateTest : public ::testing::TestWithParam<CreateCase> {};

TEST_P(ServiceCreateTest, WaitsOnlyWhileMarkedForDeletionAndAtMostFifteenSeconds)
{
    const CreateCase& c = GetParam();
    fake_clock::Reset();
    g_scm = c.scm;

    SC_HANDLE service = CreateServiceWaitingOutDeletion(kManager, L"\"C:\\saddrin.exe\"", FakeCreate);
    DWORD error = GetLastError();

    EXPECT_EQ(service != nullptr, c.created);
    if (!c.created) {
        EXPECT_EQ(error, c.error);
    }
    EXPECT_GE(fake_clock::TotalSleptMs(), c.minSleptMs);
    EXPECT_LE(fake_clock::TotalSleptMs(), c.maxSleptMs);
}

INSTANTIATE_TEST_SUITE_P(Cases, ServiceCreateTest, ::testing::ValuesIn(kCases), CaseName());

} // namespace
