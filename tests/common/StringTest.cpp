#include "common/Exceptions.h"
#include "common/String.h"

#include <gtest/gtest.h>
#include <mbctype.h>
#include <cstring>

TEST(String, CopiesShareOneBufferUntilOneSideWrites)
{
    String original("C:\\folder\\file.txt");
    String copy(original);
    EXPECT_EQ(original.c_str(), copy.c_str()) << "a copy must share the buffer";

    char *buffer = copy.GetBuffer(copy.Length());
    EXPECT_NE(original.c_str(), copy.c_str()) << "a write must separate the copy";
    buffer[0] = 'D';
    copy.ReleaseBuffer();
    EXPECT_STREQ("C:\\folder\\file.txt", original.c_str());
    EXPECT_STREQ("D:\\folder\\file.txt", copy.c_str());
}

TEST(String, AppendingToACopyLeavesTheOriginal)
{
    String original("abc");
    String copy = original;
    copy += "def";
    EXPECT_STREQ("abc", original.c_str());
    EXPECT_STREQ("abcdef", copy.c_str());
    copy += copy;
    EXPECT_STREQ("abcdefabcdef", copy.c_str());
}

TEST(String, LengthCountsBytes)
{
    EXPECT_EQ(0u, String().Length());
    EXPECT_EQ(0u, String("").Length());
    EXPECT_EQ(4u, String("\x82\xa0\x82\xa2").Length()); // two double-byte characters
    EXPECT_EQ(3u, String("a\0b", 3).Length());
}

TEST(String, LeftRightAndClampedMiddle)
{
    const String text("0123456789");
    EXPECT_STREQ("012", text.Left(3).c_str());
    EXPECT_STREQ("789", text.Right(3).c_str());
    EXPECT_STREQ("0123456789", text.Left(50).c_str());
    EXPECT_STREQ("0123456789", text.Right(50).c_str());
    EXPECT_STREQ("345", text.Mid(3, 3).c_str());
    EXPECT_STREQ("3456789", text.Mid(3).c_str());
    EXPECT_STREQ("89", text.Mid(8, 100).c_str()) << "the middle is clamped to the end";
    EXPECT_STREQ("", text.Mid(10, 2).c_str());
    EXPECT_STREQ("", text.Mid(1000).c_str());
    EXPECT_STREQ("", text.Left(0).c_str());
}

TEST(String, ConcatenatesWithStringsAndCStringsOnEitherSide)
{
    const String title("Talmior 2005 Trial");
    EXPECT_STREQ("Talmior 2005 Trial Secure Delete", (title + " Secure Delete").c_str());
    EXPECT_STREQ("Empty Talmior 2005 Trial", ("Empty " + title).c_str());
    EXPECT_STREQ("Talmior 2005 TrialTalmior 2005 Trial", (title + title).c_str());
    EXPECT_STREQ("x", (String() + "x").c_str());
    EXPECT_STREQ("Talmior 2005 Trial", title.c_str()) << "operands stay unchanged";
}

TEST(String, ComparesWithMbscmp)
{
    EXPECT_TRUE(String("..") == "..");
    EXPECT_FALSE(String("...") == "..");
    EXPECT_TRUE(String("desktop.ini") != "Desktop.ini") << "comparison is case-sensitive";
    EXPECT_LT(String("abc").Compare("abd"), 0);
    EXPECT_GT(String("b").Compare("a"), 0);
    EXPECT_EQ(0, String().Compare(""));
}

TEST(String, ComparesDoubleByteCharactersWholeOnJapaneseCodePage)
{
    // Code page 932: 0x82 is a lead byte. Compared as whole characters, the two-byte
    // character 0x82 0x40 sorts after the single byte 0xA0 (a half-width katakana), where a
    // byte-wise comparison of the second byte (0x40 < 0xA0 would not matter) puts it before.
    ASSERT_EQ(0, _setmbcp(932)) << "Wine could not select code page 932";
    const String doubleByte("\x82\x40");
    EXPECT_GT(doubleByte.Compare("\x81\xff"), 0);
    EXPECT_EQ(0, doubleByte.Compare("\x82\x40"));
    // The trail byte 0x5C of this character is not a backslash to the comparison.
    EXPECT_NE(0, String("\x95\x5c").Compare("\x95"));
    _setmbcp(_MB_CP_ANSI);
}

TEST(String, IndexOutsideRaisesInvalidArgument)
{
    const String text("ab");
    EXPECT_EQ('b', text[1]);
    EXPECT_THROW(text[2], CInvalidArg);
    EXPECT_THROW(String()[0], CInvalidArg);
}

TEST(String, ImpossibleAllocationRaisesOutOfMemory)
{
    String text("a");
    EXPECT_THROW(text.GetBuffer(static_cast<size_t>(-2)), COutOfMemory);
    EXPECT_THROW(text.GetBuffer(0x7FFFFFF8), COutOfMemory);
    EXPECT_STREQ("a", text.c_str()) << "a failed allocation leaves the string as it was";
}
