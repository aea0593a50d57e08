#pragma once
#include <windows.h>
#include "common/String.h"
#include "ui/SubclassedWindow.h"

// Static text painted by the module: chosen colour, transparent or coloured background.
class CSkinLabel : public CSubclassedWindow
{
public:
    static const COLORREF kNoColor = 0xFFFFFFFF;

    // Stores the colour and repaints at once when it changed.
    void SetTextColor(COLORREF color);
    // Repaints the label now, background included.
    void Redraw();

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    bool m_bParentFont = true;
    COLORREF m_textColor = kNoColor;
    COLORREF m_backColor = kNoColor;
    bool m_bClearOnce = false; // cover the old text with white at the next paint
    String m_label;            // drawn instead of the window text when not empty

protected:
    // A new window starts with its own window text.
    void OnAttach() override;

private:
    void Paint();
};
