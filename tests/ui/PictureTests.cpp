// The generated pictures must have the sizes the code slices them by.
#include <gtest/gtest.h>

#include "module/Module.h"
#include "resource.h"

namespace {

struct PictureSize
{
    UINT id;
    int width;
    int height;
};

} // namespace

TEST(SkinPictures, BitmapsHaveTheirSizesAnd24Bits)
{
    const PictureSize pictures[] = {
        {IDB_OK_FACES, 300, 23}, {IDB_CAPTION_BUTTONS, 96, 67}, {IDB_CAPTION, 304, 28}, {IDB_WARNING, 32, 28},
        {IDB_BODY, 37, 309},     {IDB_TROUGH, 337, 19},        {IDB_BLOCK, 8, 12},      {IDB_BUTTON_FACES, 900, 24},
    };
    for (const PictureSize &picture : pictures) {
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(picture.id),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(nullptr, bitmap) << "bitmap " << picture.id;
        DIBSECTION dib = {};
        ASSERT_EQ(static_cast<int>(sizeof(dib)), GetObjectA(bitmap, sizeof(dib), &dib)) << "bitmap " << picture.id;
        EXPECT_EQ(picture.width, dib.dsBm.bmWidth) << "bitmap " << picture.id;
        EXPECT_EQ(picture.height, dib.dsBm.bmHeight) << "bitmap " << picture.id;
        EXPECT_EQ(24, dib.dsBmih.biBitCount) << "bitmap " << picture.id;
        DeleteObject(bitmap);
    }
}

TEST(SkinPictures, ModuleLoadsTheFrameBitmaps)
{
    EXPECT_NE(nullptr, g_module.CaptionBitmap());
    EXPECT_NE(nullptr, g_module.BodyBitmap());
}

TEST(SkinPictures, IconHasEverySizeInEveryDepth)
{
    // The icon group's directory: each size the window may ask for, in 16, 256 and true colours.
    HRSRC found = FindResourceA(g_module.Instance(), MAKEINTRESOURCEA(IDI_ORVEX), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_NE(nullptr, found);
    const BYTE *group = static_cast<const BYTE *>(LockResource(LoadResource(g_module.Instance(), found)));
    ASSERT_NE(nullptr, group);
    const WORD count = *reinterpret_cast<const WORD *>(group + 4);
    ASSERT_EQ(11, count);
    int seen[3][4] = {}; // depth 4/8/32 by size 48/32/24/16
    for (WORD i = 0; i < count; ++i) {
        const BYTE *entry = group + 6 + 14 * i; // GRPICONDIRENTRY
        const int size = entry[0];
        const WORD bits = *reinterpret_cast<const WORD *>(entry + 6);
        const int depth = bits == 4 ? 0 : bits == 8 ? 1 : bits == 32 ? 2 : -1;
        const int column = size == 48 ? 0 : size == 32 ? 1 : size == 24 ? 2 : size == 16 ? 3 : -1;
        ASSERT_GE(depth, 0) << "entry " << i << " has " << bits << " bits";
        ASSERT_GE(column, 0) << "entry " << i << " is " << size << " px";
        ++seen[depth][column];
    }
    const int expected[3][4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 0, 1, 1}};
    for (int d = 0; d < 3; ++d)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(expected[d][c], seen[d][c]) << "depth " << d << " size " << c;

    for (int size : {48, 32, 24, 16}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(g_module.Instance(), MAKEINTRESOURCEA(IDI_ORVEX), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size << " px";
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof(mask), &mask);
        EXPECT_EQ(size, mask.bmWidth);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}
