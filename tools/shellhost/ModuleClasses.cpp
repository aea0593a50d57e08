#include "ModuleClasses.h"
#include "OrvexShellExtensions.h"
#include "common/ComPtr.h"

#include <cstdio>

namespace {

const CLSID *const kClasses[] = {&CLSID_CCOrvexDeleteFile, &CLSID_CShelLinkHandler, &CLSID_COrvexRecycleCleaner};

using GetClassObjectEntry = HRESULT(WINAPI *)(REFCLSID, REFIID, void **);
using RegistrationEntry = HRESULT(WINAPI *)();

template <typename T>
T Export(HMODULE module, const char *name)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool IsRegistered()
{
    CComPtr<IClassFactory> factory;
    return CoGetClassObject(CLSID_CCOrvexDeleteFile, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                            factory.ReceiveVoid()) != REGDB_E_CLASSNOTREG;
}

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
    if (m_unregisterAtEnd) {
        const RegistrationEntry unregister = Export<RegistrationEntry>(m_module, "DllUnregisterServer");
        const HRESULT hr = unregister ? unregister() : E_NOTIMPL;
        std::printf("shellhost: DllUnregisterServer 0x%08lX\n", hr);
    }
    // The module stays loaded: handlers may still be on their way out, as in the shell.
}

HRESULT CModuleClasses::Prepare(const std::string &modulePath, bool registerForRun)
{
    const std::string path = modulePath.empty() ? ModuleBesideHost() : modulePath;
    if (registerForRun)
        return RegisterForRun(path);
    if (modulePath.empty() && IsRegistered())
        return S_OK;
    if (modulePath.empty())
        std::printf("shellhost: the module is not registered; loading %s\n", path.c_str());
    return LoadAndRegisterClassObjects(path);
}

HRESULT CModuleClasses::RegisterForRun(const std::string &modulePath)
{
    const bool registeredBefore = IsRegistered();
    m_module = LoadLibraryA(modulePath.c_str());
    if (!m_module)
        return HRESULT_FROM_WIN32(GetLastError());
    const RegistrationEntry registerServer = Export<RegistrationEntry>(m_module, "DllRegisterServer");
    if (!registerServer)
        return HRESULT_FROM_WIN32(GetLastError());
    const HRESULT hr = registerServer();
    std::printf("shellhost: DllRegisterServer of %s: 0x%08lX; the handlers come from the registry\n",
                modulePath.c_str(), hr);
    if (FAILED(hr))
        return hr;
    m_unregisterAtEnd = !registeredBefore;
    return S_OK;
}

HRESULT CModuleClasses::LoadAndRegisterClassObjects(const std::string &modulePath)
{
    m_module = LoadLibraryA(modulePath.c_str());
    if (!m_module)
        return HRESULT_FROM_WIN32(GetLastError());
    const GetClassObjectEntry getClassObject = Export<GetClassObjectEntry>(m_module, "DllGetClassObject");
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
