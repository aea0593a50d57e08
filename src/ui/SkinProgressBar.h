#pragma once
#include <windows.h>
#include "common/Scoped.h"
#include "ui/SubclassedWindow.h"

// Segmented bar over a progress control. The overwrite engine writes the numbers directly
// and invalidates m_hWnd; the bar has no other way of learning its progress.
class CSkinProgressBar : public CSubclassedWindow
{
public:
    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    COLORREF m_blockColor = RGB(0, 225, 0); // blocks without a block bitmap
    int m_blockWidth = 8;
    int m_blockHeight = 0;
    int m_gap = 1;
    int m_blockBitmapHeight = 14; // blocks from the bitmap: from the top, this tall
    ULONGLONG m_lower = 0;
    ULONGLONG m_upper = 100;
    ULONGLONG m_pos = 0;
    ULONGLONG m_step = 0;
    CBitmap m_troughBitmap; // kept for the dialog; the bar itself does not paint it
    CBitmap m_blockBitmap;

private:
    // What the cached row of blocks was drawn for; another size or look draws it again.
    struct StripKey
    {
        int width, height, blockWidth, blockHeight, blockBitmapHeight, gap;
        HBITMAP blockBitmap;
        COLORREF blockColor;
        bool operator==(const StripKey &other) const;
    };

    void Paint();
    StripKey CurrentKey(int width, int height) const;
    RECT BlockRect(LONGLONG index, int height) const;
    bool PrepareStrip(HDC dc, const StripKey &key);
    void DrawBlock(HDC dc, const RECT &block, HBRUSH brush) const;

    // Every block that can show, drawn once; a paint copies the first K + 1 of them through
    // m_blockShapes, so that the gaps keep what lies beneath the bar.
    CBitmap m_strip;
    CMemoryDC m_stripDC; // holds m_strip, so that a paint creates no device context
    CRegion m_blockShapes;
    StripKey m_stripKey = {};
    int m_stripHeight = 0;
};
