#include "DropDataObject.h"
#include "common/QueryTable.h"

#include <cstring>
#include <new>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

// DROPFILES, then each path with its terminator, then one more terminator; an empty list is
// two zero characters, as the shell writes it (a reader of one zero reads past the end).
template <typename Text>
HGLOBAL BuildList(const std::vector<Text> &paths, BOOL wide)
{
    const SIZE_T unit = sizeof(typename Text::value_type);
    SIZE_T size = sizeof(DROPFILES) + (paths.empty() ? 2 : 1) * unit;
    for (const Text &path : paths)
        size += (path.size() + 1) * unit;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory)
        return nullptr;
    char *bytes = static_cast<char *>(GlobalLock(memory));
    if (!bytes) {
        GlobalFree(memory);
        return nullptr;
    }
    DROPFILES *header = reinterpret_cast<DROPFILES *>(bytes);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    char *next = bytes + sizeof(DROPFILES);
    for (const Text &path : paths) {
        std::memcpy(next, path.c_str(), (path.size() + 1) * unit);
        next += (path.size() + 1) * unit;
    }
    GlobalUnlock(memory);
    return memory;
}

// Made inside the class's own functions, which may call its private constructor.
template <typename Make>
HRESULT CreateWith(IDataObject **dataObject, Make make)
{
    if (!dataObject)
        return E_POINTER;
    *dataObject = nullptr;
    try {
        *dataObject = make();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace

HRESULT CDropDataObject::Create(const std::vector<std::string> &paths, IDataObject **dataObject)
{
    return CreateWith(dataObject, [&] { return new CDropDataObject(paths, {}, false); });
}

HRESULT CDropDataObject::Create(const std::vector<std::wstring> &paths, IDataObject **dataObject)
{
    return CreateWith(dataObject, [&] { return new CDropDataObject({}, paths, true); });
}

CDropDataObject::CDropDataObject(const std::vector<std::string> &paths, const std::vector<std::wstring> &widePaths,
                                 bool wide)
    : m_refCount(1), m_paths(paths), m_widePaths(widePaths), m_wide(wide)
{
}

STDMETHODIMP CDropDataObject::QueryInterface(REFIID riid, void **ppv)
{
    static const QITAB interfaces[] = {
        QITABENT(CDropDataObject, IDataObject),
        {nullptr, 0},
    };
    return QueryFromTable(this, interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) CDropDataObject::AddRef()
{
    return InterlockedIncrement(&m_refCount);
}

STDMETHODIMP_(ULONG) CDropDataObject::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return count;
}

bool CDropDataObject::IsDropList(const FORMATETC *format) const
{
    return format && format->cfFormat == CF_HDROP && format->dwAspect == DVASPECT_CONTENT &&
           (format->tymed & TYMED_HGLOBAL);
}

HGLOBAL CDropDataObject::BuildDropList() const
{
    return m_wide ? BuildList(m_widePaths, TRUE) : BuildList(m_paths, FALSE);
}

STDMETHODIMP CDropDataObject::GetData(FORMATETC *format, STGMEDIUM *medium)
{
    if (!format || !medium)
        return E_POINTER;
    if (!IsDropList(format))
        return DV_E_FORMATETC;
    // Every caller gets its own copy and frees it with ReleaseStgMedium.
    HGLOBAL dropList = BuildDropList();
    if (!dropList)
        return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = dropList;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP CDropDataObject::GetDataHere(FORMATETC *, STGMEDIUM *)
{
    return E_NOTIMPL;
}

STDMETHODIMP CDropDataObject::QueryGetData(FORMATETC *format)
{
    return IsDropList(format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP CDropDataObject::GetCanonicalFormatEtc(FORMATETC *, FORMATETC *canonical)
{
    if (canonical)
        canonical->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP CDropDataObject::SetData(FORMATETC *, STGMEDIUM *, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CDropDataObject::EnumFormatEtc(DWORD, IEnumFORMATETC **formats)
{
    if (formats)
        *formats = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CDropDataObject::DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP CDropDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP CDropDataObject::EnumDAdvise(IEnumSTATDATA **)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
