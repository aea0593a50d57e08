#include "RegistrationSupport.h"
#include "OrvexShellExtensions.h"
#include "common/Scoped.h"

#include <algorithm>
#include <shlwapi.h>
#include <vector>

namespace registration {

const RegisteredClass kRegisteredClasses[3] = {
    {&CLSID_CCOrvexDeleteFile, "OrvexShellExtensions.COrvexDeleteFile.1", "OrvexShellExtensions.COrvexDeleteFile",
     "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, "OrvexShellExtensions.ShellinkHandler.1", "OrvexShellExtensions.ShellinkHandler",
     "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, "OrvexShellExtensions.OrvexRecycleClea.1", "OrvexShellExtensions.OrvexRecycleCleane",
     "COrvexRecycleCleaner Object"},
};

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

bool KeyExists(HKEY root, const std::string &path, REGSAM view)
{
    HKEY opened = nullptr;
    const bool exists = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS;
    CRegKey key(opened);
    return exists;
}

std::string ReadString(HKEY root, const std::string &path, const std::string &name, bool *found, REGSAM view)
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    HKEY opened = nullptr;
    const bool open = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS;
    CRegKey key(opened);
    const bool ok = open &&
                    RegQueryValueExA(key.Get(), name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE *>(buffer), &size) == ERROR_SUCCESS &&
                    type == REG_SZ;
    if (found)
        *found = ok;
    return ok ? buffer : "";
}

namespace {

void AddTree(HKEY key, const std::string &prefix, REGSAM view, std::set<std::string> &tree)
{
    char name[256];
    BYTE data[1024];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data) - 1, type = 0;
        const LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_MORE_DATA) { // larger than the buffers: listed by name and type
            tree.insert(prefix + std::string(name, std::min<DWORD>(nameSize, sizeof(name) - 1)) + ":" +
                        std::to_string(type) + ":large");
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        data[dataSize] = 0;
        tree.insert(prefix + name + (type == REG_SZ ? "=" + std::string(reinterpret_cast<char *>(data))
                                                     : ":" + std::to_string(type)));
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string path = prefix + name + "\\";
        tree.insert(path);
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
            tree.insert(path + ":unreadable");
            continue;
        }
        CRegKey subkey(opened);
        AddTree(subkey.Get(), path, view, tree);
    }
}

} // namespace

std::set<std::string> RegistryTree(HKEY root, const std::string &path, REGSAM view)
{
    std::set<std::string> tree;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS) {
        CRegKey key(opened);
        AddTree(key.Get(), "", view, tree);
    }
    return tree;
}

std::string GuidText(REFGUID guid)
{
    char text[64];
    wsprintfA(text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2, guid.Data3,
              guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
              guid.Data4[7]);
    return text;
}

} // namespace registration
