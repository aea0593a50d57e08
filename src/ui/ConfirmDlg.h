#pragma once
#include <windows.h>
#include "common/Scoped.h"
#include "common/String.h"
#include "resource.h"
#include "ui/ImageStatic.h"
#include "ui/SkinDialog.h"
#include "ui/SkinLabel.h"

// Modal question with a warning picture, a text of one or more lines, OK and Cancel. Made on
// the caller's stack for one showing; m_bConfirmed tells whether to go ahead.
class CConfirmDlg : public CSkinDialog<CConfirmDlg>
{
public:
    static const UINT kTemplateId = IDD_CONFIRM;

    // Owner: the calling thread's active window. 1 for OK, 2 for Cancel, Escape or the close
    // button, -1 when the dialog cannot be created.
    int Show(const String &text, const String &caption);

    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) override;

    CSkinLabel m_text;
    CHoverButton m_ok;
    CHoverButton m_cancel;
    CImageStatic m_picture;
    CImageList m_pictureList;
    CImageList m_okFaces;
    CImageList m_cancelFaces;
    String m_message;
    String m_caption;
    bool m_bConfirmed = false; // true only after OK in the current showing

protected:
    void OnFinalMessage() override;
    void OnDpiChanged() override;

private:
    BOOL OnInitDialog();
    // Faces, picture and text size at the window's DPI.
    void LayOut();
    // OK and Cancel around the middle.
    void PlaceButtons();
};
