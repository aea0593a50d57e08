// The bin name order of the Windows 9x family, seen by a program that Wine starts as Windows 98.
#include <gtest/gtest.h>

#include "BinFolders.h"
#include "support/TestSupport.h"

namespace {

const char kProbeName[] = "recycle_bin_probe.exe";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults";

// Wine's per-program Windows version for the probe, for the lifetime of this object; the registry
// is left as it was found.
class ProbeAsWindows98
{
public:
    ProbeAsWindows98() : m_createdAppDefaults(false), m_ok(false)
    {
        HKEY key = nullptr;
        m_createdAppDefaults = RegOpenKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, KEY_READ, &key) != ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        key = nullptr;
        const std::string path = std::string(kAppDefaults) + "\\" + kProbeName;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        m_ok = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>("win98"), 6) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~ProbeAsWindows98()
    {
        HKEY appDefaults = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, KEY_ALL_ACCESS, &appDefaults) != ERROR_SUCCESS)
            return;
        RegDeleteKeyA(appDefaults, kProbeName);
        RegCloseKey(appDefaults);
        if (m_createdAppDefaults)
            RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
    }
    bool Ok() const { return m_ok; }

private:
    bool m_createdAppDefaults;
    bool m_ok;
};

// Runs the probe beside this program and gives its report.
std::string RunProbe(const std::string &reportPath)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program = self;
    program = program.substr(0, program.rfind('\\') + 1) + kProbeName;
    std::string command = "\"" + program + "\" scan " + reportPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << program << ", error " << GetLastError();
        return std::string();
    }
    const DWORD wait = WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (wait != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(wait, WAIT_OBJECT_0) << "the probe did not end";
    EXPECT_EQ(exitCode, 0u);
    return sandbox::ReadFileBytes(reportPath);
}

} // namespace

TEST(RecycleOtherFamily, RecycledIsTriedBeforeRecyclerAndRecyclerAfterIt)
{
    ASSERT_EQ(bins::FoldersOutsideSandbox(), std::vector<std::string>());
    bins::RemoveAll();
    bins::MakeFile("S:\\recycler\\S-1-5-21-9\\Dc1.txt");
    bins::MakeFile("S:\\recycled\\Dc2.txt");
    bins::MakeFile("T:\\recycler\\S-1-5-21-9\\Dc3.txt");
    const std::string report = sandbox::FreshFolder("recycle-probe") + "\\report.txt";
    {
        ProbeAsWindows98 windows98;
        ASSERT_TRUE(windows98.Ok());
        EXPECT_EQ(RunProbe(report), "platform 1\n"
                                    "S:\\recycled\\\n"
                                    "T:\\recycler\\S-1-5-21-9\\\n");
    }
    // Back to the prefix's own version: the NT family's order again.
    EXPECT_EQ(RunProbe(report), "platform 2\n"
                                "S:\\recycler\\S-1-5-21-9\\\n"
                                "T:\\recycler\\S-1-5-21-9\\\n");
    sandbox::RemoveTree("S:\\recycle-probe");
    bins::RemoveAll();
}
