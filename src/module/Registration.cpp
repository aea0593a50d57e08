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

// Registers the library with the folder of its file as help folder, or unregisters it by the
// identifier, version, locale and system kind it declares.
HRESULT UpdateTypeLib(BOOL doRegister)
{
    CComPtr<ITypeLib> library;
    char path[MAX_PATH];
    HRESULT hr = LoadModuleTypeLib(library.Receive(), path);
    if (FAILED(hr))
        return hr;
    if (doRegister) {
        char directory[MAX_PATH];
        lstrcpynA(directory, path, MAX_PATH);
        PathRemoveFileSpecA(directory);
        // With its final backslash, the way Windows Installer writes a folder, so that the
        // package registers the same text.
        PathAddBackslashA(directory);
        WCHAR widePath[MAX_PATH];
        WCHAR wideDirectory[MAX_PATH];
        if (!Widen(path, widePath) || !Widen(directory, wideDirectory))
            return CRegistrar::LastErrorResult();
        return RegisterTypeLib(library.Get(), widePath, wideDirectory);
    }
    TLIBATTR *attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                           attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return hr;
}

// The classes first, then the type library; the first failure ends the run.
HRESULT UpdateModule(BOOL doRegister)
{
    const HRESULT hr = UpdateClasses(doRegister);
    return FAILED(hr) ? hr : UpdateTypeLib(doRegister);
}

} // namespace

STDAPI DllRegisterServer()
{
    return UpdateModule(TRUE);
}

STDAPI DllUnregisterServer()
{
    return UpdateModule(FALSE);
}
