#include "module/TypeInfo.h"
#include "common/ComPtr.h"
#include "module/Module.h"

#include <oleauto.h>

HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_module.Instance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    CComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.Receive());
    if (FAILED(hr))
        return hr;
    return library->GetTypeInfoOfGuid(guid, info);
}
