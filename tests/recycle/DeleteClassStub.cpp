#include "DeleteClassStub.h"

#include "support/TestObjects.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"

DeleteClassRegistration::DeleteClassRegistration(Kind kind) : m_kind(kind), m_cookie(0)
{
    m_registered = CoRegisterClassObject(CLSID_CCOrvexDeleteFile, static_cast<IClassFactory *>(this),
                                         CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
}

DeleteClassRegistration::~DeleteClassRegistration()
{
    if (SUCCEEDED(m_registered))
        CoRevokeClassObject(m_cookie);
}

STDMETHODIMP DeleteClassRegistration::QueryInterface(REFIID riid, void **ppv)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
        *ppv = static_cast<IClassFactory *>(this);
    else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ICOrvexDeleteFile) ||
             (m_kind == Proxy && IsEqualIID(riid, IID_IMultiQI)))
        *ppv = static_cast<ICOrvexDeleteFile *>(this);
    else
        *ppv = nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP DeleteClassRegistration::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    *ppv = nullptr;
    if (m_kind == Failing)
        return E_OUTOFMEMORY;
    const HRESULT hr = m_kind == Real ? COrvexDeleteFile::CreateInstance(outer, riid, ppv) : QueryInterface(riid, ppv);
    if (SUCCEEDED(hr))
        ++m_log.created;
    return hr;
}

STDMETHODIMP DeleteClassRegistration::ClearRecycle(IUnknown *pUnk)
{
    ++m_log.recycleCalls;
    const RecycleRequest *request = reinterpret_cast<const RecycleRequest *>(pUnk);
    m_log.useKeepList = request->useKeepList;
    m_log.folders = Strings(request->folders);
    m_log.keepList = Strings(request->keepList);
    return S_OK;
}

STDMETHODIMP DeleteClassRegistration::ClearRaw(IUnknown *pUnk)
{
    ++m_log.rawCalls;
    m_log.paths = Strings(reinterpret_cast<const PathListRequest *>(pUnk)->paths);
    return S_OK;
}
