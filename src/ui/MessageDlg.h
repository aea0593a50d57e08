#pragma once
// Placeholder with the public contract; the skinned implementation replaces it.
#include "common/String.h"

class CMessageDlg
{
public:
    int Show(const String &text, const String &caption);
};
