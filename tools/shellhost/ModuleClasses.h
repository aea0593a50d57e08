#pragma once
#include <windows.h>
#include <string>

// Makes the module's three classes creatable with CoCreateInstance in this process. A registered
// module is used as the shell would use it; otherwise (or when a path is given) the module file
// is loaded directly and its class objects are registered with COM for this process only.
class CModuleClasses
{
public:
    CModuleClasses() = default;
    ~CModuleClasses();
    CModuleClasses(const CModuleClasses &) = delete;
    CModuleClasses &operator=(const CModuleClasses &) = delete;

    HRESULT Prepare(const std::string &modulePath);

private:
    HRESULT LoadAndRegister(const std::string &modulePath);

    HMODULE m_module = nullptr;
    DWORD m_cookies[3] = {};
};
