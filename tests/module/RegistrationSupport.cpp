#include "RegistrationSupport.h"
#include "common/Scoped.h"

#include <objbase.h>
#include <vector>

namespace registration {

RunResult Run(const std::string &commandLine, DWORD timeoutMs)
{
    RunResult result{static_cast<DWORD>(-1), false, false};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, "b:\\", &startup, &process))
        return result;
    CKernelHandle processHandle(process.hProcess);
    CKernelHandle threadHandle(process.hThread);
    result.started = true;
    if (WaitForSingleObject(processHandle.Get(), timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(processHandle.Get(), 1);
        WaitForSingleObject(processHandle.Get(), 5000);
    }
    GetExitCodeProcess(processHandle.Get(), &result.exitCode);
    return result;
}

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string ReadString(HKEY root, const std::string &path, const std::string &name, bool *found)
{
    if (found)
        *found = false;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::string();
    CRegKey key(opened);
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    const char *valueName = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExA(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    if (found)
        *found = true;
    return std::string(buffer);
}

int SubkeyCount(HKEY root, const std::string &path)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return -1;
    CRegKey key(opened);
    DWORD count = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(count);
}

std::string GuidText(REFGUID guid)
{
    char text[64];
    wsprintfA(text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
              guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
              guid.Data4[7]);
    return text;
}

DWORD RegisterModule()
{
    return Run("regsvr32.exe /s b:\\OrvexSE.dll").exitCode;
}

DWORD UnregisterModule()
{
    return Run("regsvr32.exe /u /s b:\\OrvexSE.dll").exitCode;
}

} // namespace registration
