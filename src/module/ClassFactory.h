#pragma once
#include <unknwn.h>

// Creates one instance of a class: (outer, riid, ppv), the shape of IClassFactory::CreateInstance.
using InstanceCreator = HRESULT (*)(IUnknown *outer, REFIID riid, void **ppv);

// The one class object of every class: hands out instances through the class's creator.
// The module's own cached reference does not keep the module loaded; every reference a
// client takes on top of it does (one module lock while the count is above 1).
class CClassFactory final : public IClassFactory
{
public:
    // The class-object creator of the object map: a new factory for the creator, asked for riid.
    static HRESULT CreateInstance(InstanceCreator creator, REFIID riid, void **ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    explicit CClassFactory(InstanceCreator creator);
    ~CClassFactory();
    CClassFactory(const CClassFactory &) = delete;
    CClassFactory &operator=(const CClassFactory &) = delete;

    LONG m_refCount;
    CRITICAL_SECTION m_refLock;
    InstanceCreator m_creator;
};
