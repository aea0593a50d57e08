#include "module/ClassFactory.h"
#include "common/QueryTable.h"
#include "module/Module.h"

#include <new>
#include <shlwapi.h>

HRESULT CClassFactory::CreateInstance(InstanceCreator creator, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CClassFactory *factory = new (std::nothrow) CClassFactory(creator);
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

CClassFactory::CClassFactory(InstanceCreator creator) : m_refCount(1), m_creator(creator)
{
    InitializeCriticalSection(&m_refLock);
}

CClassFactory::~CClassFactory()
{
    DeleteCriticalSection(&m_refLock);
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void **ppv)
{
    static const QITAB interfaces[] = {
        QITABENT(CClassFactory, IClassFactory),
        {nullptr, 0},
    };
    return QueryFromTable(this, interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef()
{
    EnterCriticalSection(&m_refLock);
    const LONG count = InterlockedIncrement(&m_refCount);
    // The first reference beyond the module's cached one belongs to a client: it keeps the module.
    if (count == 2)
        g_module.Lock();
    LeaveCriticalSection(&m_refLock);
    return count;
}

STDMETHODIMP_(ULONG) CClassFactory::Release()
{
    EnterCriticalSection(&m_refLock);
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 1)
        g_module.Unlock();
    LeaveCriticalSection(&m_refLock);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // An aggregated object must hand its own IUnknown to the outer one and nothing else.
    if (outer && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return m_creator(outer, riid, ppv);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock)
{
    if (lock)
        g_module.Lock();
    else
        g_module.Unlock();
    return S_OK;
}
