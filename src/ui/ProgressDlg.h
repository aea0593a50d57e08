#pragma once
#include <windows.h>
#include "common/Scoped.h"
#include "common/String.h"
#include "resource.h"
#include "ui/SkinDialog.h"
#include "ui/SkinLabel.h"
#include "ui/SkinProgressBar.h"

// Modeless "Deleting\Corrupting" window of a Secure Delete run: one status line, a segmented
// bar for the current file and Cancel. It paints only when the run dispatches messages.
// Constructing it creates no window; Create is called again for every run.
class CProgressDlg : public CSkinDialog<CProgressDlg>
{
public:
    static const UINT kTemplateId = IDD_PROGRESS;

    CProgressDlg();

    // Creates the window from its template, hidden; the caller shows it. Null on failure.
    HWND Create(HWND parent);
    // The handler's cancel flag: Cancel and the close button raise it.
    void SetCancelFlag(bool *flag) { m_pCancel = flag; }
    // Replaces the status line and has it repainted before returning.
    void SetStatusText(const String &text);

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    CSkinProgressBar *m_pBar;
    bool *m_pCancel = nullptr;
    CSkinLabel m_status;
    CHoverButton m_cancel;
    CImageList m_faces;
    String m_initialText;

protected:
    void OnFinalMessage() override;
    void OnDpiChanged() override;

private:
    BOOL OnInitDialog();
    // Faces and blocks at the window's DPI.
    void LayOut();

    CSkinProgressBar m_bar;
    CBitmap m_trough;
};
