#pragma once
#include <unknwn.h>

// Placeholder: the Recycle Bin cleaner class is built in its own change.
class COrvexRecycleCleaner
{
public:
    static HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv);
};
