#pragma once
#include <windows.h>
#include <objidl.h>
#include <string>
#include <vector>

// A data object as the shell hands one to a context-menu handler: a drop list of narrow paths
// (CF_HDROP), or no drop list at all. Made with count 1; Release deletes it.
class CDropDataObject : public IDataObject
{
public:
    static CDropDataObject *WithPaths(const std::vector<std::string> &paths);
    static CDropDataObject *WithoutDropList();

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetData(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP GetDataHere(FORMATETC *, STGMEDIUM *) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC *format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC *, FORMATETC *) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC *, STGMEDIUM *, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC **) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA **) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    CDropDataObject(const std::vector<std::string> &paths, bool hasDropList);
    virtual ~CDropDataObject() = default;

    ULONG m_refCount;
    std::vector<std::string> m_paths;
    bool m_hasDropList;
};
