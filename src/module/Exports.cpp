#include "module/Module.h"
#include "module/ObjectMap.h"

STDAPI DllCanUnloadNow()
{
    return g_module.LockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void **ppv)
{
    if (g_module.InitFailed())
        return E_UNEXPECTED;
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return g_objectMap.GetClassObject(clsid, riid, ppv);
}
