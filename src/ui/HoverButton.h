#pragma once
#include <windows.h>
#include <commctrl.h>
#include "ui/SubclassedWindow.h"

// Owner-drawn push button painted from an image list of faces (normal, pressed, hovered,
// focused, disabled from m_faceBase on), with a hover face while the mouse rests on it.
class CHoverButton : public CSubclassedWindow
{
public:
    CHoverButton();

    // Attaches to a template button and makes it owner-drawn.
    bool SubclassOwnerDraw(HWND button);

    // A child window of the "VSButton" class attached to this object. A style of 0 means
    // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN.
    HWND Create(HWND parent, const RECT &rect, const char *text, DWORD style, DWORD exStyle, UINT id);

    // Gives the button the size of its faces without changing its Z order, moved shift pixels
    // to the right.
    void SizeToFace(int shift) const;

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    static const int kFaceWidth = 75;
    static const int kFaceHeight = 24;
    enum FaceOffset { kNormal = 0, kPressed = 1, kHovered = 2, kFocused = 3, kDisabled = 4 };

    bool m_bHover = false;
    bool m_bTracking = false;
    HCURSOR m_cursor;
    HCURSOR m_savedCursor = nullptr;
    HIMAGELIST m_faces = nullptr; // not owned
    int m_faceBase = 0;

protected:
    // The mouse state belonged to the earlier window.
    void OnAttach() override;

private:
    static ATOM RegisterClassOnce(WNDPROC *buttonProc);
    void Draw(const DRAWITEMSTRUCT &item) const;
    // A click of control id as the dialog sees it.
    void NotifyDialog(int id, HWND control) const;
};
