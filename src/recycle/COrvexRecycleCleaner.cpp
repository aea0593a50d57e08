#include "recycle/COrvexRecycleCleaner.h"

HRESULT COrvexRecycleCleaner::CreateInstance(IUnknown *, REFIID, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return E_NOTIMPL;
}
