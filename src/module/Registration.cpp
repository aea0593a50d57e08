#include "module/ClassScripts.h"

// Placeholder bodies until registration is built.
HRESULT UpdateRegistryDeleteFile(BOOL) { return E_NOTIMPL; }
HRESULT UpdateRegistryShellLink(BOOL) { return E_NOTIMPL; }
HRESULT UpdateRegistryRecycleCleaner(BOOL) { return E_NOTIMPL; }

STDAPI DllRegisterServer() { return E_NOTIMPL; }
STDAPI DllUnregisterServer() { return E_NOTIMPL; }
