#include "module/ClassScripts.h"
#include "OrvexShellExtensions.h"
#include "module/Module.h"
#include "module/Registrar.h"

namespace {

// Every class is registered with the same script; the class's own names and identifier are
// replacements, like the module's path.
const char kClassScript[] = R"(
HKCR
{
    '%ProgID%' = s '%FriendlyName%'
    {
        CLSID = s '%CLSID%'
    }
    '%VersionIndependentProgID%' = s '%FriendlyName%'
    {
        CLSID = s '%CLSID%'
        CurVer = s '%ProgID%'
    }
    NoRemove CLSID
    {
        ForceRemove '%CLSID%' = s '%FriendlyName%'
        {
            ProgID = s '%ProgID%'
            VersionIndependentProgID = s '%VersionIndependentProgID%'
            ForceRemove Programmable
            '%MODULETYPE%' = s '%MODULE%'
            {
                val ThreadingModel = s 'apartment'
            }
            val AppID = s '%APPID%'
            TypeLib = s '%MODULEGUID%'
        }
    }
}
)";

struct ClassRegistration
{
    const CLSID *clsid;
    const char *progId;
    // A ProgID has at most 39 characters: the Recycle Bin cleaner's two are cut to fit.
    const char *versionIndependentProgId;
    const char *friendlyName;
};

const ClassRegistration kDeleteFile = {&CLSID_CCOrvexDeleteFile, "OrvexShellExtensions.COrvexDeleteFile.1",
                                       "OrvexShellExtensions.COrvexDeleteFile", "CCOrvexDeleteFile Object"};
const ClassRegistration kShellLink = {&CLSID_CShelLinkHandler, "OrvexShellExtensions.ShellinkHandler.1",
                                      "OrvexShellExtensions.ShellinkHandler", "CShelLinkHandler Object"};
const ClassRegistration kRecycleCleaner = {&CLSID_COrvexRecycleCleaner, "OrvexShellExtensions.OrvexRecycleClea.1",
                                           "OrvexShellExtensions.OrvexRecycleCleane",
                                           "COrvexRecycleCleaner Object"};

HRESULT UpdateRegistry(const ClassRegistration &entry, BOOL doRegister)
{
    try {
        CRegistrar registrar;
        const HRESULT hr = registrar.AddModuleReplacements(g_module.Instance(), g_module.LibId());
        if (FAILED(hr))
            return hr;
        registrar.AddReplacement("FriendlyName", entry.friendlyName);
        registrar.AddReplacement("ProgID", entry.progId);
        registrar.AddReplacement("VersionIndependentProgID", entry.versionIndependentProgId);
        registrar.AddReplacement("CLSID", CRegistrar::GuidText(*entry.clsid));
        return doRegister ? registrar.Register(kClassScript) : registrar.Unregister(kClassScript);
    } catch (...) {
        return E_OUTOFMEMORY; // the strings and the table are the only things that can fail here
    }
}

} // namespace

HRESULT UpdateRegistryDeleteFile(BOOL doRegister)
{
    return UpdateRegistry(kDeleteFile, doRegister);
}

HRESULT UpdateRegistryShellLink(BOOL doRegister)
{
    return UpdateRegistry(kShellLink, doRegister);
}

HRESULT UpdateRegistryRecycleCleaner(BOOL doRegister)
{
    return UpdateRegistry(kRecycleCleaner, doRegister);
}
