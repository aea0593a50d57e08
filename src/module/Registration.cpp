#include "common/ComPtr.h"
#include "module/Module.h"
#include "module/ObjectMap.h"
#include "module/Registrar.h"

#include <oleauto.h>
#include <shlwapi.h>

namespace {

// Every class's script, in the object map's order; the first failure ends the run.
HRESULT UpdateClasses(BOOL doRegister)
{
    for (size_t i = 0; i < g_objectMap.Count(); ++i) {
        const HRESULT hr = g_objectMap.Entry(i).updateRegistry(doRegister);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

bool Widen(const char *narrow, WCHAR (&wide)[MAX_PATH])
{
    return MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, MAX_PATH) != 0;
}

// The module's type library: its own TYPELIB resource, or else a .tlb file beside it.
// On success path is the file it came from.
HRESULT LoadModuleTypeLib(ITypeLib **library, char (&path)[MAX_PATH])
{
    HRESULT hr = CRegistrar::ModuleFileName(g_module.Instance(), path);
    if (FAILED(hr))
        return hr;
    WCHAR widePath[MAX_PATH];
    if (!Widen(path, widePath))
        return CRegistrar::LastErrorResult();
    hr = LoadTypeLib(widePath, library);
    if (SUCCEEDED(hr))
        return hr;
    const HRESULT moduleResult = hr;
    if (!PathRenameExtensionA(path, ".tlb") || !Widen(path, widePath))
        return moduleResult;
    return LoadTypeLib(widePath, library);
}

HRESULT RegisterModuleTypeLib()
{
    CComPtr<ITypeLib> library;
    char path[MAX_PATH];
    HRESULT hr = LoadModuleTypeLib(library.Receive(), path);
    if (FAILED(hr))
        return hr;
    char directory[MAX_PATH];
    lstrcpynA(directory, path, MAX_PATH);
    PathRemoveFileSpecA(directory);
    WCHAR widePath[MAX_PATH];
    WCHAR wideDirectory[MAX_PATH];
    if (!Widen(path, widePath) || !Widen(directory, wideDirectory))
        return CRegistrar::LastErrorResult();
    return RegisterTypeLib(library.Get(), widePath, wideDirectory);
}

HRESULT UnregisterModuleTypeLib()
{
    CComPtr<ITypeLib> library;
    char path[MAX_PATH];
    HRESULT hr = LoadModuleTypeLib(library.Receive(), path);
    if (FAILED(hr))
        return hr;
    TLIBATTR *attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                           attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return hr;
}

} // namespace

STDAPI DllRegisterServer()
{
    const HRESULT hr = UpdateClasses(TRUE);
    if (FAILED(hr))
        return hr;
    return RegisterModuleTypeLib();
}

STDAPI DllUnregisterServer()
{
    const HRESULT hr = UpdateClasses(FALSE);
    if (FAILED(hr))
        return hr;
    return UnregisterModuleTypeLib();
}
