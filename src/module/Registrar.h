#pragma once
#include <windows.h>
#include <vector>

#include "common/String.h"

// Runs registry scripts in register or unregister mode. A script names a root and a block of
// keys in braces; a key may carry a default string value, named string values ("val") and a
// block of its own:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove '%CLSID%' = s '%FriendlyName%'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'apartment'
//               }
//           }
//       }
//   }
//
// Text between percent signs is replaced from the table ("%%" is one percent sign); a name that
// is not in the table makes the script invalid. Register mode creates or opens every key (a
// ForceRemove key is first deleted with its subtree) and sets its values. Unregister mode skips
// keys that are missing and deletes the others with their subtrees, except NoRemove keys.
// The whole script is read before the registry is touched, so a script with a fault writes
// nothing and fails with E_FAIL.
class CRegistrar
{
public:
    // Adds a replacement, or changes the value of one already there. This and
    // AddModuleReplacements raise COutOfMemory or std::bad_alloc when memory runs out; Register
    // and Unregister never raise.
    void AddReplacement(const char *name, const String &value);

    // The replacements every class of a module uses: MODULE (the path, in double quotes only
    // for the process's own executable), Module_Raw (the bare path), MODULETYPE
    // (InprocServer32 for a library, LocalServer32 for a program), MODULEGUID (the type
    // library's identifier in braces) and APPID (empty).
    HRESULT AddModuleReplacements(HMODULE module, REFGUID libId);

    HRESULT Register(const char *script) { return Run(script, true); }
    HRESULT Unregister(const char *script) { return Run(script, false); }

    // The module's full path; fails with the system's error, or with ERROR_INSUFFICIENT_BUFFER
    // when the path fills the whole buffer (it may have been cut). Allocates nothing.
    static HRESULT ModuleFileName(HMODULE module, char (&path)[MAX_PATH]);

    // The thread's last error as an HRESULT; E_FAIL when the system left none.
    static HRESULT LastErrorResult();

    // A GUID as text in braces, e.g. "{00000000-0000-0000-C000-000000000046}".
    static String GuidText(REFGUID guid);

private:
    enum class Mark { None, NoRemove, ForceRemove };
    struct NamedValue
    {
        String name;
        String value;
    };
    struct Key
    {
        String name;
        Mark mark = Mark::None;
        bool hasDefault = false;
        String defaultValue;
        std::vector<NamedValue> values;
        std::vector<Key> subkeys;
    };
    struct Root
    {
        HKEY hive = nullptr;
        Key top; // only its subkeys: a root has no values
    };
    class CParser;

    HRESULT Run(const char *script, bool doRegister);
    static HRESULT RegisterKey(HKEY parent, const Key &key);
    static HRESULT UnregisterKey(HKEY parent, const Key &key);

    std::vector<NamedValue> m_replacements;
};
