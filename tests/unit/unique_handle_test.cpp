// Ownership rules of UniqueAny: exactly one close per handle, none for the
// invalid value, none after release.
#include <gtest/gtest.h>

#include <vector>

#include "contract.h"
#include "unique_handle.h"

namespace {

std::vector<int> g_closed;
void RecordClose(int value)
{
    g_closed.push_back(value);
}
using UniqueInt = UniqueAny<int, RecordClose, -1>;

class UniqueAnyTest : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
};

TEST_F(UniqueAnyTest, ClosesOnceWhenDestroyedOrReplaced)
{
    {
        UniqueInt value(3);
        value.reset(4);
        EXPECT_EQ(g_closed, std::vector<int>({3}));
    }
    EXPECT_EQ(g_closed, std::vector<int>({3, 4}));
}

TEST_F(UniqueAnyTest, NeverClosesTheInvalidValue)
{
    {
        UniqueInt none;
        EXPECT_FALSE(none);
        none.reset();
        UniqueInt zero(0); // zero is a real value when -1 means none
        EXPECT_TRUE(zero);
    }
    EXPECT_EQ(g_closed, std::vector<int>({0}));
}

TEST_F(UniqueAnyTest, ReleaseHandsOverWithoutClosing)
{
    UniqueInt value(5);
    EXPECT_EQ(value.release(), 5);
    EXPECT_FALSE(value);
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueAnyTest, PutClosesTheOldValueBeforeItIsOverwritten)
{
    UniqueInt value(6);
    *value.put() = 7;
    EXPECT_EQ(g_closed, std::vector<int>({6}));
    EXPECT_EQ(value.get(), 7);
}

TEST_F(UniqueAnyTest, MoveLeavesOneOwner)
{
    {
        UniqueInt first(8);
        UniqueInt second(std::move(first));
        EXPECT_FALSE(first);
        UniqueInt third(9);
        third = std::move(second);
        EXPECT_EQ(g_closed, std::vector<int>({9}));
    }
    EXPECT_EQ(g_closed, std::vector<int>({9, 8}));
}

TEST(UniqueHandleTest, FileHandleTreatsMinusOneAsNone)
{
    UniqueFileHandle file;
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file);
    UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    EXPECT_TRUE(event);
}

TEST(UniqueHandleTest, FindHandleTreatsMinusOneAsNone)
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle none(FindFirstFileW(L"C:\\no such folder\\*", &found));
    EXPECT_FALSE(none);
}

// Counts its references the way a COM object does.
struct CountedObject {
    ULONG references = 1;
    ULONG AddRef() { return ++references; }
    ULONG Release() { return --references; }
};

TEST(UniqueComTest, EachShareReleasesItsOwnReference)
{
    CountedObject object;
    {
        UniqueCom<CountedObject> first(&object);
        UniqueCom<CountedObject> second = ShareCom(first);
        EXPECT_EQ(object.references, 2u);
    }
    EXPECT_EQ(object.references, 0u);
}

TEST(ScopeExitTest, UndoesUnlessReleased)
{
    int undone = 0;
    {
        ScopeExit undo([&] { ++undone; });
    }
    {
        ScopeExit kept([&] { ++undone; });
        kept.release();
    }
    EXPECT_EQ(undone, 1);
}

TEST(ContractTest, KeyPathsAreComposedWithOneSeparatorEach)
{
    EXPECT_STREQ(kServiceKeyPath, L"System\\CurrentControlSet\\Services\\WLANTolvekService");
    EXPECT_STREQ(kParametersKeyPath, L"System\\CurrentControlSet\\Services\\WLANTolvekService\\Parameters");
    EXPECT_EQ(kParametersKey.back(), L'\0');
}

} // namespace
