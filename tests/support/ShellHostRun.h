#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "common/Scoped.h"

// A program of b: run to its end as another process; one that does not end in time fails the
// test and is ended.
struct HostResult
{
    DWORD exitCode = 1;
    std::string output; // stdout and stderr
};
HostResult RunProgram(const std::string &commandLine);

// The shell host loading the real module file b:\OrvexSE.dll, with the arguments after --dll.
HostResult RunShellHost(const std::string &arguments);

// The menu items the host printed, in menu order, with " (greyed)" for a greyed item.
std::vector<std::string> HostMenuItems(const std::string &output);

// A host that keeps its handlers alive (--hold) from construction until destruction.
class CHeldShellHost
{
public:
    explicit CHeldShellHost(const std::string &arguments);
    ~CHeldShellHost();
    CHeldShellHost(const CHeldShellHost &) = delete;
    CHeldShellHost &operator=(const CHeldShellHost &) = delete;
    bool Ready() const { return m_ready; } // its handlers are in its menu

private:
    CKernelHandle m_readyEvent;
    CKernelHandle m_releaseEvent;
    HANDLE m_process;
    bool m_ready;
};
