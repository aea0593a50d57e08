#pragma once
#include <windows.h>

#include "OrvexShellExtensions.h"
#include "common/ComPtr.h"

// A fresh Secure Delete handler that the calling thread can hand a request record to: the
// object itself, never a proxy. The record is a raw address typed as an IUnknown pointer; a
// proxy would marshal it as an interface and call through it.
//
// On a single-threaded apartment CoCreateInstance gives the object itself (a registration or a
// class object registered on the thread supplies it). On a thread of the multithreaded
// apartment COM would make the apartment-threaded class on another thread and give back a proxy,
// so there the module's own class object makes it on this thread, where it is used and released
// within one call, as on any apartment thread. Whatever still answers as a proxy is refused.
class CDirectDeleteHandler
{
public:
    // COM for the calling thread (apartment-threaded unless it is in the multithreaded
    // apartment already), then the handler.
    CDirectDeleteHandler();
    // The handler goes before COM is given up.
    ~CDirectDeleteHandler();
    CDirectDeleteHandler(const CDirectDeleteHandler &) = delete;
    CDirectDeleteHandler &operator=(const CDirectDeleteHandler &) = delete;

    // Null when the class could not be had on this thread.
    ICOrvexDeleteFile *Get() const { return m_handler.Get(); }

private:
    HRESULT m_comInit;
    CComPtr<ICOrvexDeleteFile> m_handler;
};
