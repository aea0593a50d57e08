#include "delete/DirectDeleteHandler.h"
#include "module/ObjectMap.h"

namespace {

const DWORD kInProcess = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

HRESULT CreateOnThisThread(ICOrvexDeleteFile **handler)
{
    CComPtr<IClassFactory> factory;
    const HRESULT hr = g_objectMap.GetClassObject(CLSID_CCOrvexDeleteFile, IID_IClassFactory, factory.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, IID_ICOrvexDeleteFile, reinterpret_cast<void **>(handler));
}

// The proxy manager answers IMultiQI itself; no object of this module does.
bool IsProxy(IUnknown *object)
{
    CComPtr<IUnknown> multiQI;
    return SUCCEEDED(object->QueryInterface(IID_IMultiQI, multiQI.ReceiveVoid()));
}

} // namespace

CDirectDeleteHandler::CDirectDeleteHandler() : m_comInit(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
{
    const bool multithreaded = m_comInit == RPC_E_CHANGED_MODE;
    const HRESULT hr = multithreaded ? CreateOnThisThread(m_handler.Receive())
                                     : CoCreateInstance(CLSID_CCOrvexDeleteFile, nullptr, kInProcess,
                                                        IID_ICOrvexDeleteFile, m_handler.ReceiveVoid());
    if (FAILED(hr) || (m_handler && IsProxy(m_handler.Get())))
        m_handler.Reset();
}

CDirectDeleteHandler::~CDirectDeleteHandler()
{
    m_handler.Reset();
    if (SUCCEEDED(m_comInit))
        CoUninitialize();
}
