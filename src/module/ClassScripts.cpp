#include "module/ClassScripts.h"
#include "OrvexShellExtensions.h"
#include "module/Module.h"
#include "module/Registrar.h"
#include "resource.h"

namespace {

struct ClassRegistration
{
    const CLSID *clsid;
    const char *progId;
    const char *versionIndependentProgId;
    const char *friendlyName;
};

// The package build reads the same rows and script, so the package writes what the module writes.
const ClassRegistration kClasses[] = {
#include "registration/Classes.inc"
};

// Every class is registered with the same script (resource REGISTRY IDR_CLASS_SCRIPT); the class's
// own names and identifier are replacements, like the module's path. The resource is not
// terminated, so it is copied.
HRESULT LoadClassScript(String &script)
{
    const HMODULE module = g_module.Instance();
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_CLASS_SCRIPT), "REGISTRY");
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char *text = loaded ? static_cast<const char *>(LockResource(loaded)) : nullptr;
    if (!text)
        return CRegistrar::LastErrorResult();
    script = String(text, SizeofResource(module, found));
    return S_OK;
}

const ClassRegistration *FindClass(REFCLSID clsid)
{
    for (const ClassRegistration &entry : kClasses) {
        if (IsEqualCLSID(*entry.clsid, clsid))
            return &entry;
    }
    return nullptr;
}

HRESULT UpdateRegistry(REFCLSID clsid, BOOL doRegister)
{
    const ClassRegistration *entry = FindClass(clsid);
    if (!entry)
        return CLASS_E_CLASSNOTAVAILABLE;
    try {
        String script;
        HRESULT hr = LoadClassScript(script);
        if (FAILED(hr))
            return hr;
        CRegistrar registrar;
        hr = registrar.AddModuleReplacements(g_module.Instance(), g_module.LibId());
        if (FAILED(hr))
            return hr;
        registrar.AddReplacement("FriendlyName", entry->friendlyName);
        registrar.AddReplacement("ProgID", entry->progId);
        registrar.AddReplacement("VersionIndependentProgID", entry->versionIndependentProgId);
        registrar.AddReplacement("CLSID", CRegistrar::GuidText(clsid));
        return doRegister ? registrar.Register(script.c_str()) : registrar.Unregister(script.c_str());
    } catch (...) {
        return E_OUTOFMEMORY; // the strings and the table are the only things that can fail here
    }
}

} // namespace

HRESULT UpdateRegistryDeleteFile(BOOL doRegister)
{
    return UpdateRegistry(CLSID_CCOrvexDeleteFile, doRegister);
}

HRESULT UpdateRegistryShellLink(BOOL doRegister)
{
    return UpdateRegistry(CLSID_CShelLinkHandler, doRegister);
}

HRESULT UpdateRegistryRecycleCleaner(BOOL doRegister)
{
    return UpdateRegistry(CLSID_COrvexRecycleCleaner, doRegister);
}
