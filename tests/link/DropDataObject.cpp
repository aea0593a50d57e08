#include "DropDataObject.h"

#include <shlobj.h>
#include <cstring>

CDropDataObject *CDropDataObject::WithPaths(const std::vector<std::string> &paths)
{
    return new CDropDataObject(paths, true);
}

CDropDataObject *CDropDataObject::WithoutDropList()
{
    return new CDropDataObject({}, false);
}

CDropDataObject::CDropDataObject(const std::vector<std::string> &paths, bool hasDropList)
    : m_refCount(1), m_paths(paths), m_hasDropList(hasDropList)
{
}

STDMETHODIMP CDropDataObject::QueryInterface(REFIID riid, void **ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDropDataObject::AddRef()
{
    return ++m_refCount;
}

STDMETHODIMP_(ULONG) CDropDataObject::Release()
{
    const ULONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CDropDataObject::QueryGetData(FORMATETC *format)
{
    return m_hasDropList && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
}

// A fresh DROPFILES block for every call: the caller owns and frees the medium.
STDMETHODIMP CDropDataObject::GetData(FORMATETC *format, STGMEDIUM *medium)
{
    if (QueryGetData(format) != S_OK)
        return DV_E_FORMATETC;
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string &path : m_paths)
        size += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, size);
    if (!memory)
        return E_OUTOFMEMORY;
    DROPFILES *drop = static_cast<DROPFILES *>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char *text = reinterpret_cast<char *>(drop + 1);
    for (const std::string &path : m_paths) {
        std::memcpy(text, path.c_str(), path.size() + 1);
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}
