#include "DeleteClassStub.h"

#include "OrvexShellExtensions.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"

namespace {

std::vector<std::string> Strings(const PathList &list)
{
    std::vector<std::string> strings;
    for (size_t i = 0; i < list.Count(); ++i)
        strings.push_back(list[i].c_str());
    return strings;
}

// Notes the record it is handed and deletes nothing.
class CRecordingDeleter : public ICOrvexDeleteFile
{
public:
    explicit CRecordingDeleter(HandOver &log) : m_refCount(1), m_log(log) {}
    virtual ~CRecordingDeleter() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ICOrvexDeleteFile)) {
            *ppv = static_cast<ICOrvexDeleteFile *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    STDMETHODIMP ClearRecycle(IUnknown *pUnk) override
    {
        ++m_log.recycleCalls;
        const RecycleRequest *request = reinterpret_cast<const RecycleRequest *>(pUnk);
        m_log.useKeepList = request->useKeepList;
        m_log.folders = Strings(request->folders);
        m_log.keepList = Strings(request->keepList);
        return S_OK;
    }
    STDMETHODIMP ClearRaw(IUnknown *pUnk) override
    {
        ++m_log.rawCalls;
        m_log.paths = Strings(reinterpret_cast<const PathListRequest *>(pUnk)->paths);
        return S_OK;
    }

private:
    ULONG m_refCount;
    HandOver &m_log;
};

class CStubFactory : public IClassFactory
{
public:
    CStubFactory(DeleteClassRegistration::Kind kind, HandOver &log) : m_refCount(1), m_kind(kind), m_log(log) {}
    virtual ~CStubFactory() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        *ppv = nullptr;
        switch (m_kind) {
        case DeleteClassRegistration::Failing:
            return E_OUTOFMEMORY;
        case DeleteClassRegistration::Real: {
            const HRESULT hr = COrvexDeleteFile::CreateInstance(outer, riid, ppv);
            if (SUCCEEDED(hr))
                ++m_log.created;
            return hr;
        }
        case DeleteClassRegistration::Recording:
            break;
        }
        CRecordingDeleter *deleter = new CRecordingDeleter(m_log);
        ++m_log.created;
        const HRESULT hr = deleter->QueryInterface(riid, ppv);
        deleter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    ULONG m_refCount;
    DeleteClassRegistration::Kind m_kind;
    HandOver &m_log;
};

} // namespace

DeleteClassRegistration::DeleteClassRegistration(Kind kind)
    : m_factory(new CStubFactory(kind, m_log)), m_cookie(0), m_registered(E_FAIL)
{
    m_registered = CoRegisterClassObject(CLSID_CCOrvexDeleteFile, m_factory, CLSCTX_INPROC_SERVER,
                                         REGCLS_MULTIPLEUSE, &m_cookie);
}

DeleteClassRegistration::~DeleteClassRegistration()
{
    if (SUCCEEDED(m_registered))
        CoRevokeClassObject(m_cookie);
    m_factory->Release();
}
