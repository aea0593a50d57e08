#include "support/ShellHostRun.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

const char kHostCommand[] = "b:\\shellhost.exe --dll b:\\OrvexSE.dll ";
const DWORD kHostLimitMs = 60000;

HANDLE Start(std::string command, HANDLE output)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << command << ", error " << GetLastError();
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD WaitForEnd(HANDLE process)
{
    if (WaitForSingleObject(process, kHostLimitMs) == WAIT_TIMEOUT) {
        ADD_FAILURE() << "the program did not end";
        TerminateProcess(process, 1);
        WaitForSingleObject(process, kHostLimitMs);
    }
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

std::string EventName(const char *role)
{
    return "OrvexRecycleTests_" + std::to_string(GetCurrentProcessId()) + "_" + role;
}

} // namespace

HostResult RunProgram(const std::string &commandLine)
{
    HostResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        ADD_FAILURE() << "no pipe, error " << GetLastError();
        return result;
    }
    CKernelHandle reader(readEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE process = Start(commandLine, writeEnd);
    CloseHandle(writeEnd); // the pipe ends when the program's copy goes
    char buffer[4096];
    DWORD read = 0;
    while (process && ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        result.output.append(buffer, read);
    if (process)
        result.exitCode = WaitForEnd(process);
    return result;
}

HostResult RunShellHost(const std::string &arguments)
{
    return RunProgram(kHostCommand + arguments);
}

std::vector<std::string> HostMenuItems(const std::string &output)
{
    std::vector<std::string> items;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t bracket = line.find("] "); // "  [id] text"
        if (line.compare(0, 3, "  [") == 0 && bracket != std::string::npos)
            items.push_back(line.substr(bracket + 2));
    }
    return items;
}

CHeldShellHost::CHeldShellHost(const std::string &arguments)
    : m_readyEvent(CreateEventA(nullptr, TRUE, FALSE, EventName("ready").c_str())),
      m_releaseEvent(CreateEventA(nullptr, TRUE, FALSE, EventName("release").c_str())),
      m_process(Start(kHostCommand + ("--hold " + EventName("ready") + " " + EventName("release") + " " + arguments),
                      nullptr))
{
    HANDLE waits[] = {m_readyEvent.Get(), m_process};
    m_ready = m_process && WaitForMultipleObjects(2, waits, FALSE, kHostLimitMs) == WAIT_OBJECT_0;
}

CHeldShellHost::~CHeldShellHost()
{
    SetEvent(m_releaseEvent.Get());
    if (m_process)
        WaitForEnd(m_process);
}
