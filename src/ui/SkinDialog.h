#pragma once
#include "ui/SkinFrame.h"

// A skinned dialog of class T, built from the module's dialog template T::kTemplateId.
template <class T>
class CSkinDialog : public CSkinFrame
{
protected:
    INT_PTR DoModal(HWND owner) { return RunModal(T::kTemplateId, owner); }
    HWND CreateModeless(HWND parent) { return CDialogWindow::CreateModeless(T::kTemplateId, parent); }
};
