#pragma once
// Placeholder with the public contract; the skinned implementation replaces it.
#include "common/String.h"

class CConfirmDlg
{
public:
    int Show(const String &text, const String &caption);
    bool m_bConfirmed = false;
};
