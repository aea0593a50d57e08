#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"
#include "module/Module.h"

// Shell side of the handler: placeholder bodies until the handler is built.
COrvexDeleteFile::COrvexDeleteFile()
    : m_refCount(0), m_passCount(0), m_bCancelled(false), m_pRecycleRequest(nullptr), m_pPathListRequest(nullptr),
      m_bMutexExisted(false)
{
    g_module.Lock();
}

COrvexDeleteFile::~COrvexDeleteFile()
{
    g_module.Unlock();
}

HRESULT COrvexDeleteFile::CreateInstance(IUnknown *, REFIID, void **ppv)
{
    if (ppv)
        *ppv = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COrvexDeleteFile::QueryInterface(REFIID, void **ppv)
{
    *ppv = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) COrvexDeleteFile::AddRef() { return ++m_refCount; }
STDMETHODIMP_(ULONG) COrvexDeleteFile::Release()
{
    const LONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}
STDMETHODIMP COrvexDeleteFile::GetTypeInfoCount(UINT *) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::GetTypeInfo(UINT, LCID, ITypeInfo **) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}
STDMETHODIMP COrvexDeleteFile::ClearRecycle(IUnknown *) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::ClearRaw(IUnknown *) { return E_NOTIMPL; }
void COrvexDeleteFile::PublishCommandId(UINT) {}
void COrvexDeleteFile::CloseCommandMap() {}
void COrvexDeleteFile::ReleaseSyncMutex() {}
STDMETHODIMP COrvexDeleteFile::Initialize(PCIDLIST_ABSOLUTE, IDataObject *, HKEY) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::InvokeCommand(CMINVOKECOMMANDINFO *) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::GetCommandString(UINT_PTR, UINT, UINT *, CHAR *, UINT) { return E_NOTIMPL; }
STDMETHODIMP COrvexDeleteFile::GetClassInfo(ITypeInfo **) { return E_NOTIMPL; }
