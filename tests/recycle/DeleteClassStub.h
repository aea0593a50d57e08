#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "OrvexShellExtensions.h"

// What the handlers handed to the Secure Delete class.
struct HandOver
{
    int created = 0;
    int recycleCalls = 0;
    int rawCalls = 0;
    bool useKeepList = false;
    std::vector<std::string> folders;
    std::vector<std::string> keepList;
    std::vector<std::string> paths;
};

// For its lifetime, the class object that the handlers' CoCreateInstance of the Secure Delete
// class finds on this thread (CoRegisterClassObject): a recorder that only notes what it was
// given, a recorder that answers as a proxy does (IMultiQI), a class whose creation fails, or the
// module's real Secure Delete handler. The recorder is this object itself; it lives as long as
// the registration, so it counts no references.
class DeleteClassRegistration : public IClassFactory, public ICOrvexDeleteFile
{
public:
    enum Kind { Recording, Proxy, Failing, Real };

    explicit DeleteClassRegistration(Kind kind);
    virtual ~DeleteClassRegistration();
    DeleteClassRegistration(const DeleteClassRegistration &) = delete;
    DeleteClassRegistration &operator=(const DeleteClassRegistration &) = delete;

    HRESULT RegistrationResult() const { return m_registered; }
    const HandOver &Log() const { return m_log; }

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override;
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearRecycle(IUnknown *pUnk) override;
    STDMETHODIMP ClearRaw(IUnknown *pUnk) override;

private:
    Kind m_kind;
    HandOver m_log;
    DWORD m_cookie;
    HRESULT m_registered;
};
