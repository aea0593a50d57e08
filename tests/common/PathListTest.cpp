#include "common/Exceptions.h"
#include "common/PathList.h"

#include <gtest/gtest.h>

TEST(PathList, KeepsInsertionOrder)
{
    PathList list;
    EXPECT_TRUE(list.IsEmpty());
    list.Append(String("S:\\b"));
    list.Append(String("S:\\a"));
    list.Append(String("S:\\c"));
    ASSERT_EQ(3u, list.Count());
    EXPECT_STREQ("S:\\b", list[0].c_str());
    EXPECT_STREQ("S:\\a", list[1].c_str());
    EXPECT_STREQ("S:\\c", list[2].c_str());
}

TEST(PathList, CopyIsElementByElementAndIndependent)
{
    PathList list;
    list.Append(String("one"));
    list.Append(String("two"));
    PathList copy(list);
    ASSERT_EQ(2u, copy.Count());
    EXPECT_EQ(list[0].c_str(), copy[0].c_str()) << "elements are shared strings after a copy";
    copy[0] += "!";
    copy.Append(String("three"));
    EXPECT_STREQ("one", list[0].c_str());
    EXPECT_EQ(2u, list.Count());
    EXPECT_STREQ("one!", copy[0].c_str());

    PathList assigned;
    assigned.Append(String("old"));
    assigned = list;
    ASSERT_EQ(2u, assigned.Count());
    EXPECT_STREQ("two", assigned[1].c_str());
}

TEST(PathList, AppendingAListToItselfDoublesIt)
{
    PathList list;
    list.Append(String("x"));
    list.Append(String("y"));
    list.Append(list);
    ASSERT_EQ(4u, list.Count());
    EXPECT_STREQ("x", list[2].c_str());
    EXPECT_STREQ("y", list[3].c_str());
}

TEST(PathList, IndexOutsideTheCountRaisesInvalidArgument)
{
    PathList list;
    EXPECT_THROW(list[0], CInvalidArg);
    list.Append(String("only"));
    EXPECT_NO_THROW(list[0]);
    EXPECT_THROW(list[1], CInvalidArg);
    const PathList &constant = list;
    EXPECT_THROW(constant[5], CInvalidArg);
}
