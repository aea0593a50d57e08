#pragma once
#include <windows.h>
#include <string>

// Reading the registry back and running the system's own tools, for the registration tests.
namespace registration {

// Runs a command line from b:\ and waits for it; the exit code, or -1 when the program did not
// start. A program still running after timeoutMs is ended and reported as timed out.
struct RunResult
{
    DWORD exitCode;
    bool started;
    bool timedOut;
};
RunResult Run(const std::string &commandLine, DWORD timeoutMs = 60000);

bool KeyExists(HKEY root, const std::string &path);
// A REG_SZ value ("" names the default value); *found false when it is missing or not REG_SZ.
std::string ReadString(HKEY root, const std::string &path, const std::string &name, bool *found = nullptr);
// Number of subkeys of a key, -1 when it does not exist.
int SubkeyCount(HKEY root, const std::string &path);

// A GUID as registry text: "{XXXXXXXX-...}".
std::string GuidText(REFGUID guid);

// regsvr32 [/u] /s b:\OrvexSE.dll; the exit code (0 on success).
DWORD RegisterModule();
DWORD UnregisterModule();

} // namespace registration
