#pragma once
#include <windows.h>
#include <string>
#include <vector>

// What the handlers handed to the Secure Delete class.
struct HandOver
{
    int created = 0;
    int recycleCalls = 0;
    int rawCalls = 0;
    bool useKeepList = false;
    std::vector<std::string> folders;
    std::vector<std::string> keepList;
    std::vector<std::string> paths;
};

// For its lifetime, the class object that the handlers' CoCreateInstance of the Secure Delete
// class finds on this thread (CoRegisterClassObject): a recorder that only notes what it was
// given, a class whose creation fails, or the module's real Secure Delete handler.
class DeleteClassRegistration
{
public:
    enum Kind { Recording, Failing, Real };

    explicit DeleteClassRegistration(Kind kind);
    ~DeleteClassRegistration();
    DeleteClassRegistration(const DeleteClassRegistration &) = delete;
    DeleteClassRegistration &operator=(const DeleteClassRegistration &) = delete;

    HRESULT RegistrationResult() const { return m_registered; }
    const HandOver &Log() const { return m_log; }

private:
    HandOver m_log;
    IClassFactory *m_factory;
    DWORD m_cookie;
    HRESULT m_registered;
};
