#pragma once
#include <unknwn.h>

// Placeholder: the shell-link handler class is built in its own change.
class CShelLinkHandler
{
public:
    static HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv);
};
