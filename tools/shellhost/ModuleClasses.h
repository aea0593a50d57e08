#pragma once
#include <windows.h>
#include <string>

// Makes the module's three classes creatable with CoCreateInstance in this process, in one of
// three ways:
// - registered for this run: the module file's DllRegisterServer writes its classes, COM loads the
//   module from the registry as it would for the shell, and the classes are unregistered again at
//   the end unless they were registered before;
// - already registered: used as it is;
// - otherwise (or when a module path is given without registering) the module file is loaded
//   directly and its class objects are registered with COM for this process only.
class CModuleClasses
{
public:
    CModuleClasses() = default;
    ~CModuleClasses();
    CModuleClasses(const CModuleClasses &) = delete;
    CModuleClasses &operator=(const CModuleClasses &) = delete;

    // modulePath empty: the OrvexSE.dll beside this program.
    HRESULT Prepare(const std::string &modulePath, bool registerForRun);

private:
    HRESULT RegisterForRun(const std::string &modulePath);
    HRESULT LoadAndRegisterClassObjects(const std::string &modulePath);

    HMODULE m_module = nullptr;
    DWORD m_cookies[3] = {};
    bool m_unregisterAtEnd = false;
};
