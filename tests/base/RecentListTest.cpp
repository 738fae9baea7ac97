#include <gtest/gtest.h>

#include <algorithm>

#include "../audio/FileTestUtil.h"
#include "base/AtomicFile.h"
#include "base/MemorySettingsTree.h"
#include "base/RecentList.h"

namespace fim {
namespace {

std::vector<std::string> Paths(const RecentList& l) {
    std::vector<std::string> v;
    for (const auto& e : l.Entries()) v.push_back(e.path);
    return v;
}

TEST(RecentListTest, MenuListShiftsDownAndIgnoresKnownNames) {
    RecentList l(4, RecentList::Policy::KeepExisting);
    for (const char* p : {"a", "b", "c", "d", "e"}) l.Add(p);
    EXPECT_EQ(Paths(l), (std::vector<std::string>{"e", "d", "c", "b"}));
    EXPECT_FALSE(l.Add("c"));
    EXPECT_EQ(Paths(l), (std::vector<std::string>{"e", "d", "c", "b"}));
}

TEST(RecentListTest, OverlayListMovesKnownNamesToTheTopAndKeepsTags) {
    RecentList l(8, RecentList::Policy::MoveToTop);
    for (int i = 0; i < 10; ++i) l.Add("f" + std::to_string(i), i % 2);
    EXPECT_EQ(l.Entries().size(), 8u);
    EXPECT_EQ(l.Entries().back().path, "f2");
    EXPECT_TRUE(l.Add("f5", 1));
    EXPECT_EQ(Paths(l).front(), "f5");
    EXPECT_EQ(l.Entries().size(), 8u);
    const auto paths = Paths(l);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), std::string("f5")), 1);
    EXPECT_EQ(l.Entries()[1].path, "f9");
    EXPECT_EQ(l.Entries()[1].tag, 1);
}

TEST(RecentListTest, StarListsStopAtTheFirstEmptySlotAndNeedTheFirstFile) {
    test::TempDir dir;
    const std::string a = dir.File("a.cal"), b = dir.File("b.cal");
    WriteFileAtomically(a, "x");
    MemorySettingsTree tree;
    RecentList l(8, RecentList::Policy::MoveToTop);
    l.Add(b);
    l.Add(a);
    l.SaveStarList(tree, "Calfile");
    EXPECT_EQ(tree.ReadString("Calfile1"), a);
    EXPECT_EQ(tree.ReadString("Calfile3"), "**");
    EXPECT_EQ(tree.ReadString("Calfile8"), "**");
    tree.WriteString("Calfile4", "after.cal");  // behind a "**": not read

    RecentList r(8, RecentList::Policy::MoveToTop);
    r.LoadStarList(tree, "Calfile", true);
    EXPECT_EQ(Paths(r), (std::vector<std::string>{a, b})) << "a missing later file stays";
    std::filesystem::remove(a);
    r.LoadStarList(tree, "Calfile", true);
    EXPECT_TRUE(r.Entries().empty());
    r.LoadStarList(tree, "Calfile", false);
    EXPECT_EQ(r.Entries().size(), 2u);
}

TEST(RecentListTest, MenuListSlotsAreEmptyStringsAndOneCharacterNamesAreNoEntries) {
    MemorySettingsTree tree;
    tree.WriteString("FILE1", "x.mtf");
    tree.WriteString("FILE2", " ");
    tree.WriteString("FILE3", "y.wav");
    RecentList l(4, RecentList::Policy::KeepExisting);
    l.LoadMenuList(tree, "FILE");
    EXPECT_EQ(Paths(l), (std::vector<std::string>{"x.mtf", "y.wav"}));
    l.SaveMenuList(tree, "FILE");
    EXPECT_EQ(tree.ReadString("FILE2"), "y.wav");
    EXPECT_EQ(tree.ReadString("FILE4"), "");
}

}  // namespace
}  // namespace fim
