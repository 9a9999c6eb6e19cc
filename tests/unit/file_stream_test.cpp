// The COM stream over a file handle that the XML writer writes through.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <functional>
#include <string>

#include "case_name.h"
#include "file_stream.h"
#include "handoff_file.h"
#include "profile_writer.h"
#include "profile_test_support.h"
#include "service_state.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = MakeScratchFolder();
        path_ = folder_ + L"\\stream.bin";
        Open(GENERIC_READ | GENERIC_WRITE);
    }
    void TearDown() override
    {
        if (stream_)
            stream_->Release();
        RemoveTree(folder_);
    }
    void Open(DWORD access)
    {
        HANDLE file = CreateFileW(path_.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        stream_ = new FileStream(file);
    }
    ULONGLONG Position()
    {
        ULARGE_INTEGER position{};
        EXPECT_EQ(stream_->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position), S_OK);
        return position.QuadPart;
    }
    void Seek(LONGLONG distance, DWORD origin)
    {
        LARGE_INTEGER move;
        move.QuadPart = distance;
        ASSERT_EQ(stream_->Seek(move, origin, nullptr), S_OK);
    }

    std::wstring folder_;
    std::wstring path_;
    IStream* stream_ = nullptr;
};

TEST_F(FileStreamTest, ReadsBackWhatItWroteAndStatsItsSizeWithNoNameToFree)
{
    ULONG done = 0;
    ASSERT_EQ(stream_->Write("0123456789", 10, &done), S_OK);
    EXPECT_EQ(done, 10u);
    Seek(2, STREAM_SEEK_SET);
    char buffer[8] = {};
    ASSERT_EQ(stream_->Read(buffer, 4, &done), S_OK);
    EXPECT_EQ(std::string(buffer, done), "2345");

    STATSTG stat;
    memset(&stat, 0xA5, sizeof(stat));
    ASSERT_EQ(stream_->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 10u);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.pwcsName, nullptr);
}

struct SeekCase {
    const char* name;
    LONGLONG distance;
    DWORD origin;
    ULONGLONG expected;
};

class FileStreamSeekTest : public FileStreamTest, public ::testing::WithParamInterface<SeekCase> {};

// From a position of 4 in a file of 10 bytes.
TEST_P(FileStreamSeekTest, MovesByTheOrigin)
{
    ASSERT_EQ(stream_->Write("0123456789", 10, nullptr), S_OK);
    Seek(4, STREAM_SEEK_SET);
    LARGE_INTEGER move;
    move.QuadPart = GetParam().distance;
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream_->Seek(move, GetParam().origin, &position), S_OK);
    EXPECT_EQ(position.QuadPart, GetParam().expected);
    EXPECT_EQ(Position(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Origins, FileStreamSeekTest,
                         ::testing::Values(SeekCase{"FromStart", 3, STREAM_SEEK_SET, 3},
                                           SeekCase{"FromCurrent", 2, STREAM_SEEK_CUR, 6},
                                           SeekCase{"BackFromCurrent", -3, STREAM_SEEK_CUR, 1},
                                           SeekCase{"FromEnd", -1, STREAM_SEEK_END, 9},
                                           SeekCase{"Past4GiB", 0x140000003LL, STREAM_SEEK_SET, 0x140000003ULL}),
                         CaseName());

TEST_F(FileStreamTest, RefusesAnUnknownOriginWithoutMoving)
{
    Seek(5, STREAM_SEEK_SET);
    ULARGE_INTEGER position;
    position.QuadPart = 77;
    LARGE_INTEGER move{};
    EXPECT_EQ(stream_->Seek(move, 3, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(position.QuadPart, 77u);
    EXPECT_EQ(Position(), 5u);
}

TEST_F(FileStreamTest, ReportsWin32FailuresAsHresults)
{
    LARGE_INTEGER before;
    before.QuadPart = -1;
    EXPECT_EQ(stream_->Seek(before, STREAM_SEEK_SET, nullptr), HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK));

    stream_->Release();
    stream_ = nullptr;
    Open(GENERIC_WRITE);
    char buffer[4];
    ULONG done = 0;
    EXPECT_EQ(stream_->Read(buffer, sizeof(buffer), &done), E_ACCESSDENIED);
}

TEST_F(FileStreamTest, LeavesTheRestOfTheStreamInterfaceUnimplemented)
{
    ULARGE_INTEGER size{};
    IStream* copy = nullptr;
    const std::function<HRESULT()> calls[] = {
        [&] { return stream_->SetSize(size); },
        [&] { return stream_->CopyTo(nullptr, size, nullptr, nullptr); },
        [&] { return stream_->Commit(STGC_DEFAULT); },
        [&] { return stream_->Revert(); },
        [&] { return stream_->LockRegion(size, size, LOCK_WRITE); },
        [&] { return stream_->UnlockRegion(size, size, LOCK_WRITE); },
        [&] { return stream_->Clone(&copy); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(call(), E_NOTIMPL);
    EXPECT_EQ(copy, nullptr);
}

TEST_F(FileStreamTest, HandsOutItsOwnInterfacesOnly)
{
    const IID known[] = {__uuidof(IUnknown), __uuidof(ISequentialStream), __uuidof(IStream)};
    for (const IID& iid : known) {
        void* object = nullptr;
        ASSERT_EQ(stream_->QueryInterface(iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<void*>(stream_));
        EXPECT_EQ(stream_->Release(), 1u);
    }
    const IID unknown[] = {__uuidof(IStorage), __uuidof(IPersist)};
    for (const IID& iid : unknown) {
        void* object = &folder_;
        EXPECT_EQ(stream_->QueryInterface(iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
}

TEST_F(FileStreamTest, ClosesTheFileOnTheLastRelease)
{
    auto openExclusive = [&] {
        UniqueFileHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return static_cast<bool>(file);
    };
    EXPECT_EQ(stream_->AddRef(), 2u);
    EXPECT_EQ(stream_->Release(), 1u);
    EXPECT_FALSE(openExclusive());
    EXPECT_EQ(stream_->Release(), 0u);
    stream_ = nullptr;
    EXPECT_TRUE(openExclusive());
}

// The document is written whole or reported failed: a stream that takes no
// bytes fails at the writer's flush, and a missing one before it starts.
TEST_F(FileStreamTest, TheProfileDocumentFailsWithItsStream)
{
    g_service.Credential = WpsCredential{};
    memcpy(g_service.Credential.Ssid, "HomeNet", 7);
    ASSERT_TRUE(BuildProfileRecord());
    stream_->Release();
    stream_ = nullptr;
    Open(GENERIC_READ);
    EXPECT_TRUE(FAILED(WriteProfileDocument(stream_)));
    EXPECT_TRUE(FAILED(WriteProfileDocument(nullptr)));
}

TEST(CreateFileStreamTest, GivesNoStreamForAFolderThatIsMissing)
{
    std::wstring folder = MakeScratchFolder();
    ASSERT_TRUE(SignInWithTempFolder(folder + L"\\missing"));
    IStream* stream = reinterpret_cast<IStream*>(&folder);
    EXPECT_EQ(CreateFileStream((folder + L"\\missing\\wps_profile.xml").c_str(), g_service.HandOff, &stream),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(stream, nullptr);
    RemoveTree(folder);
}

} // namespace
