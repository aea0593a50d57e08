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

// A dual interface's own entry describes its dispatch side; ITypeInfo::Invoke needs the
// vtable side, which the dispatch entry refers to as implemented type -1.
static HRESULT LoadVtableTypeInfo(REFGUID iid, ITypeInfo **info)
{
    CComPtr<ITypeInfo> dispatchInfo;
    const HRESULT hr = LoadModuleTypeInfo(iid, dispatchInfo.Receive());
    if (FAILED(hr))
        return hr;
    HREFTYPE vtableRef = 0;
    if (SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
        SUCCEEDED(dispatchInfo->GetRefTypeInfo(vtableRef, info)))
        return S_OK;
    *info = dispatchInfo.Detach();
    return S_OK;
}

// The vtable description for GetIDsOfNames and Invoke, whose riid is reserved and must be null.
static HRESULT InvokeTypeInfo(REFGUID iid, REFIID riid, ITypeInfo **info)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    return LoadVtableTypeInfo(iid, info);
}

HRESULT DispatchGetTypeInfo(REFGUID iid, UINT index, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return LoadModuleTypeInfo(iid, info);
}

HRESULT DispatchGetIDsOfNames(REFGUID iid, REFIID riid, LPOLESTR *names, UINT count, DISPID *ids)
{
    CComPtr<ITypeInfo> info;
    const HRESULT hr = InvokeTypeInfo(iid, riid, info.Receive());
    if (FAILED(hr))
        return hr;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT DispatchInvoke(REFGUID iid, void *face, DISPID id, REFIID riid, WORD flags, DISPPARAMS *params,
                       VARIANT *result, EXCEPINFO *excepInfo, UINT *argErr)
{
    CComPtr<ITypeInfo> info;
    const HRESULT hr = InvokeTypeInfo(iid, riid, info.Receive());
    if (FAILED(hr))
        return hr;
    return info->Invoke(face, id, flags, params, result, excepInfo, argErr);
}
