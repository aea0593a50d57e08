#pragma once
#include <oaidl.h>

// Type information for one interface or coclass of the module's own type library
// (resource TYPELIB 1 of the module file).
HRESULT LoadModuleTypeInfo(REFGUID guid, ITypeInfo **info);
