#pragma once
#include <windows.h>
#include <set>
#include <string>

// Reading the registry back and running the system's own tools, for the registration tests.
namespace registration {

// Runs a command line from b:\ and waits for it. A program still running after timeoutMs is
// ended and reported as timed out; exitCode is -1 when it did not start.
struct RunResult
{
    DWORD exitCode;
    bool started;
    bool timedOut;
};
RunResult Run(const std::string &commandLine, DWORD timeoutMs = 60000);

// view: 0 for the program's own registry view, KEY_WOW64_32KEY or KEY_WOW64_64KEY for another.
bool KeyExists(HKEY root, const std::string &path, REGSAM view = 0);
// A REG_SZ value ("" names the default value); *found false when it is missing or not REG_SZ.
std::string ReadString(HKEY root, const std::string &path, const std::string &name = "", bool *found = nullptr,
                       REGSAM view = 0);

// Every key and value below a key, one entry each: "sub\key\" for a key, "sub\key\name=text"
// for a REG_SZ value ("" names the default value), "sub\key\name:type" for any other value.
// Empty when the key does not exist. A value too large for the text gets "name:type:large".
std::set<std::string> RegistryTree(HKEY root, const std::string &path, REGSAM view = 0);

// The module's three classes as they are registered.
struct RegisteredClass
{
    const CLSID *clsid;
    const char *progId;
    const char *versionIndependentProgId;
    const char *friendlyName;
};
extern const RegisteredClass kRegisteredClasses[3];

// A GUID as registry text: "{XXXXXXXX-...}".
std::string GuidText(REFGUID guid);

// regsvr32 [/u] /s b:\OrvexSE.dll; the exit code (0 on success).
inline DWORD RegisterModule() { return Run("regsvr32.exe /s b:\\OrvexSE.dll").exitCode; }
inline DWORD UnregisterModule() { return Run("regsvr32.exe /u /s b:\\OrvexSE.dll").exitCode; }

} // namespace registration
