#include "ModuleClasses.h"
#include "OrvexShellExtensions.h"
#include "common/ComPtr.h"

#include <cstdio>

namespace {

const CLSID *const kClasses[] = {&CLSID_CCOrvexDeleteFile, &CLSID_CShelLinkHandler, &CLSID_COrvexRecycleCleaner};

using GetClassObjectEntry = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);

// OrvexSE.dll beside this program.
std::string ModuleBesideHost()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "OrvexSE.dll";
}

} // namespace

CModuleClasses::~CModuleClasses()
{
    for (DWORD cookie : m_cookies) {
        if (cookie)
            CoRevokeClassObject(cookie);
    }
    // The module stays loaded: handlers may still be on their way out, as in the shell.
}

HRESULT CModuleClasses::Prepare(const std::string &modulePath)
{
    if (!modulePath.empty())
        return LoadAndRegister(modulePath);
    CComPtr<IClassFactory> factory;
    const HRESULT hr =
        CoGetClassObject(CLSID_CCOrvexDeleteFile, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.ReceiveVoid());
    if (hr != REGDB_E_CLASSNOTREG)
        return hr;
    const std::string fallback = ModuleBesideHost();
    std::printf("shellhost: the module is not registered; loading %s\n", fallback.c_str());
    return LoadAndRegister(fallback);
}

HRESULT CModuleClasses::LoadAndRegister(const std::string &modulePath)
{
    m_module = LoadLibraryA(modulePath.c_str());
    if (!m_module)
        return HRESULT_FROM_WIN32(GetLastError());
    const GetClassObjectEntry getClassObject =
        reinterpret_cast<GetClassObjectEntry>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, "DllGetClassObject")));
    if (!getClassObject)
        return HRESULT_FROM_WIN32(GetLastError());
    for (size_t i = 0; i < sizeof(kClasses) / sizeof(kClasses[0]); ++i) {
        CComPtr<IUnknown> classObject;
        HRESULT hr = getClassObject(*kClasses[i], IID_IUnknown, classObject.ReceiveVoid());
        if (FAILED(hr))
            return hr;
        hr = CoRegisterClassObject(*kClasses[i], classObject.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &m_cookies[i]);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
