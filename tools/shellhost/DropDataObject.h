#pragma once
#include <objidl.h>
#include <string>
#include <vector>

// The data object a shell hands to IShellExtInit::Initialize: the selection as a CF_HDROP drop
// list of 8-bit paths, in the given order, or of wide paths as the shells of the NT family
// write it. Without a drop list it offers no format at all, like a selection of things that
// are not files.
class CDropDataObject final : public IDataObject
{
public:
    static HRESULT Create(const std::vector<std::string> &paths, IDataObject **dataObject);
    static HRESULT Create(const std::vector<std::wstring> &paths, IDataObject **dataObject);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDataObject
    STDMETHODIMP GetData(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP GetDataHere(FORMATETC *format, STGMEDIUM *medium) override;
    STDMETHODIMP QueryGetData(FORMATETC *format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC *format, FORMATETC *canonical) override;
    STDMETHODIMP SetData(FORMATETC *format, STGMEDIUM *medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC **formats) override;
    STDMETHODIMP DAdvise(FORMATETC *format, DWORD flags, IAdviseSink *sink, DWORD *connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA **advises) override;

private:
    CDropDataObject(const std::vector<std::string> &paths, const std::vector<std::wstring> &widePaths, bool wide);
    ~CDropDataObject() = default;
    bool IsDropList(const FORMATETC *format) const;
    HGLOBAL BuildDropList() const;

    LONG m_refCount;
    std::vector<std::string> m_paths;
    std::vector<std::wstring> m_widePaths;
    bool m_wide;
};
