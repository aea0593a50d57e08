#pragma once
#include <windows.h>
#include "common/Scoped.h"
#include "common/String.h"
#include "resource.h"
#include "ui/ImageStatic.h"
#include "ui/SkinDialog.h"
#include "ui/SkinLabel.h"

// Modal report with a warning picture, one line of text and OK. Made on the caller's stack
// for one showing.
class CMessageDlg : public CSkinDialog<CMessageDlg>
{
public:
    static const UINT kTemplateId = IDD_MESSAGE;

    // Owner: the calling thread's active window. 1 for OK or Enter, 2 for Escape or the close
    // button, -1 when the dialog cannot be created.
    int Show(const String &text, const String &caption);

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    CSkinLabel m_text;
    CHoverButton m_ok;
    CImageStatic m_picture;
    CImageList m_pictureList;
    CImageList m_okFaces;
    String m_message;
    String m_caption;

protected:
    void OnFinalMessage() override;
    void OnDpiChanged() override;

private:
    BOOL OnInitDialog();
    // Face, picture, text and window sizes at the window's DPI.
    void LayOut();
    void CentreButton();
};
