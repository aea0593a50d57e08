#pragma once
#include <windows.h>
#include <commctrl.h>
#include "ui/SubclassedWindow.h"

// A static control that shows one image of an image list at its top-left corner.
class CImageStatic : public CSubclassedWindow
{
public:
    // Attaches to the static control and shows the first image of the list, if it has one.
    bool AttachWithList(HWND control, HIMAGELIST list);

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    HIMAGELIST m_list = nullptr; // not owned
    int m_index = -1;            // none
};
