#pragma once
// Placeholder with the public contract; the skinned implementation replaces it.
#include <windows.h>
#include "common/String.h"

class CSkinProgressBar
{
public:
    HWND m_hWnd = nullptr;
    ULONGLONG m_lower = 0;
    ULONGLONG m_upper = 100;
    ULONGLONG m_pos = 0;
    ULONGLONG m_step = 0;
};

class CProgressDlg
{
public:
    CProgressDlg();
    ~CProgressDlg();
    HWND Create(HWND parent);
    void SetCancelFlag(bool *flag) { m_pCancel = flag; }
    void SetStatusText(const String &text);

    HWND m_hWnd = nullptr;
    CSkinProgressBar *m_pBar;
    bool *m_pCancel = nullptr;
};
