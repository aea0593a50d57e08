#pragma once
#include <oaidl.h>

// Type information for one interface or coclass of the module's own type library
// (resource TYPELIB 1 of the module file).
HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo **info);

// IDispatch of a dual interface of the module, served from its type information. Names are
// looked up and calls made through the interface's vtable description, so that Invoke calls
// the object's own methods on `face` (the interface pointer itself).
HRESULT DispatchGetTypeInfo(REFGUID iid, UINT index, ITypeInfo **info);
HRESULT DispatchGetIDsOfNames(REFGUID iid, REFIID riid, LPOLESTR *names, UINT count, DISPID *ids);
HRESULT DispatchInvoke(REFGUID iid, void *face, DISPID id, REFIID riid, WORD flags, DISPPARAMS *params,
                       VARIANT *result, EXCEPINFO *excepInfo, UINT *argErr);
