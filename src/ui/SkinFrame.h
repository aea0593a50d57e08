#pragma once
#include <windows.h>
#include <commctrl.h>
#include "common/Scoped.h"
#include "common/String.h"
#include "ui/DialogWindow.h"
#include "ui/DpiScale.h"
#include "ui/HoverButton.h"
#include "ui/ImageStatic.h"
#include "ui/SkinLabel.h"

// The look every dialog of the module shares: shaped window with two rounded top corners,
// bitmap title bar with a white bold title, grey border, orange panel with a white rounded
// inset, a close button, dragging by the title bar, and reflection of control notifications
// back to the controls so that they paint themselves.
class CSkinFrame : public CDialogWindow
{
public:
    CSkinFrame() = default;

    void SetTitle(const String &title) { m_title = title; }

    // Frame part of WM_INITDIALOG: window region, icons, close button. Always TRUE.
    BOOL InitSkin();
    LRESULT HitTest(LPARAM screenPoint) const;
    // False (unhandled) when a skin bitmap is missing.
    bool PaintBackground(HDC dc);
    // Centres the dialog on the window, or on the work area when it is hidden or minimised.
    void CenterOnOwner(HWND owner);

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    // Drawing helpers. A null source rectangle means the whole bitmap less its last column
    // and row.
    static void StretchBitmap(HDC dc, const RECT &dest, HBITMAP bitmap, const RECT *source);
    static void DrawRoundFrame(HDC dc, const RECT &rect, int ellipseWidth, int ellipseHeight, COLORREF color,
                               int penWidth);

    CHoverButton m_close;
    CImageList m_closeFaces;
    HBITMAP m_captionBitmap = nullptr; // module-wide, not owned
    HBITMAP m_bodyBitmap = nullptr;    // module-wide, not owned
    String m_title;
    bool m_bExtra = false;
    HBITMAP m_extraBitmap = nullptr; // owned by the derived dialog
    RECT m_extraRect = {};           // where it goes, in client pixels

    // Image list of faces cx x cy (at 96 DPI) from a module bitmap, stretched to the window's DPI;
    // masked by maskColor unless it is CLR_NONE. Null when the bitmap cannot be loaded.
    HIMAGELIST CreateFaceList(UINT bitmapId, int cx, int cy, int count, COLORREF maskColor) const;

    static const COLORREF kFaceMask = RGB(255, 0, 255); // transparent in the button faces
    static const COLORREF kPictureMask = RGB(0, 0, 0);  // transparent in the warning picture
    static const COLORREF kTextColor = RGB(0, 0, 0);

protected:
    // A strip of 75 x 24 button faces (at 96 DPI), magenta transparent.
    HIMAGELIST CreateButtonFaces(UINT bitmapId, int count) const;
    // The warning picture of the message and confirmation dialogs, on control 203.
    void AttachWarningPicture(CImageStatic &picture, CImageList &list);
    // The text label, control 202: attached and black.
    void AttachTextLabel(CSkinLabel &label);
    // Extent of the text as one line in the dialog's font, line breaks included.
    SIZE MeasureOneLine(const String &text) const;
    // A control's rectangle in dialog client coordinates.
    RECT ControlRect(HWND control) const;
    // Moves a control's left edge, in dialog client coordinates, keeping its top and size.
    void SetControlLeft(HWND control, int left) const;
    static int WindowWidth(HWND window);
    // Sizes a control without moving it.
    void ResizeControl(int id, int width, int height) const;
    // The owner the dialog was created with.
    HWND Owner() const { return GetWindow(m_hWnd, GW_OWNER); }
    // Module-wide skin bitmaps into the frame.
    void UseModuleBitmaps();

    // The window's DPI, read when it is created and changed by WM_DPICHANGED.
    void OnAttach() override;
    // The window's icons and the close faces live as long as the window.
    void OnFinalMessage() override;
    // What depends on the DPI in the derived dialog (faces, sizes, positions), for a new DPI.
    virtual void OnDpiChanged() {}

    CDpiScale m_scale;

private:
    // The template's font and controls follow the new DPI as at creation, then the skin.
    void ChangeDpi(int dpi, const RECT &suggested);

    CIcon m_bigIcon;
    CFont m_dpiFont; // the template's font at a DPI the window moved to
    CIcon m_smallIcon;

    bool ReflectNotification(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result);
};
