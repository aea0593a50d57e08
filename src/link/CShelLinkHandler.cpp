#include "link/CShelLinkHandler.h"

HRESULT CShelLinkHandler::CreateInstance(IUnknown *, REFIID, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return E_NOTIMPL;
}
