// The generated pictures must have the sizes the code slices them by.
#include <gtest/gtest.h>

#include "module/Module.h"
#include "resource.h"

#include <set>

TEST(SkinPictures, BitmapsHaveTheirSizesAnd24Bits)
{
    EXPECT_NE(nullptr, g_module.CaptionBitmap());
    EXPECT_NE(nullptr, g_module.BodyBitmap());
    const struct { UINT id; int width, height; } pictures[] = {
        {IDB_OK_FACES, 300, 23}, {IDB_CAPTION_BUTTONS, 96, 67}, {IDB_CAPTION, 304, 28}, {IDB_WARNING, 32, 28},
        {IDB_BODY, 37, 309},     {IDB_TROUGH, 337, 19},        {IDB_BLOCK, 8, 12},      {IDB_BUTTON_FACES, 900, 24},
    };
    for (const auto &picture : pictures) {
        SCOPED_TRACE(picture.id);
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(picture.id),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(nullptr, bitmap);
        DIBSECTION dib = {};
        EXPECT_EQ(static_cast<int>(sizeof(dib)), GetObjectA(bitmap, sizeof(dib), &dib));
        EXPECT_EQ(picture.width, dib.dsBm.bmWidth);
        EXPECT_EQ(picture.height, dib.dsBm.bmHeight);
        EXPECT_EQ(24, dib.dsBmih.biBitCount);
        DeleteObject(bitmap);
    }
}

// Each size the window may ask for, in 16, 256 and true colours (no 32 px in true colour).
TEST(SkinPictures, IconHasEverySizeInEveryDepth)
{
    HRSRC found = FindResourceA(g_module.Instance(), MAKEINTRESOURCEA(IDI_ORVEX), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_NE(nullptr, found);
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(g_module.Instance(), found)));
    ASSERT_NE(nullptr, group);
    const WORD count = *reinterpret_cast<const WORD *>(group + 4);
    ASSERT_EQ(11, count);
    std::multiset<std::pair<int, int>> seen; // {bits, size} of each GRPICONDIRENTRY
    for (WORD i = 0; i < count; ++i)
        seen.emplace(*reinterpret_cast<const WORD *>(group + 6 + 14 * i + 6), group[6 + 14 * i]);
    const std::multiset<std::pair<int, int>> expected = {{4, 48},  {4, 32},  {4, 24},  {4, 16}, {8, 48}, {8, 32},
                                                         {8, 24},  {8, 16},  {32, 48}, {32, 24}, {32, 16}};
    EXPECT_EQ(expected, seen);

    for (int size : {48, 32, 24, 16}) {
        HICON icon = static_cast<HICON>(LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(IDI_ORVEX), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size << " px";
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof(mask), &mask);
        EXPECT_EQ(size, mask.bmWidth);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}
