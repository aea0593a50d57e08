// The bin name order of the Windows 9x family, seen by a program that Wine starts as Windows 98.
#include "BinFolders.h"
#include "support/ShellHostRun.h"
#include "common/Scoped.h"

namespace {

const char kProbeKey[] = "Software\\Wine\\AppDefaults\\recycle_bin_probe.exe";

// Wine's own Windows version for the probe while this object lives.
class ProbeAsWindows98
{
public:
    ProbeAsWindows98()
    {
        HKEY key = nullptr;
        m_ok = RegCreateKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
                   ERROR_SUCCESS &&
               RegSetValueExA(CRegKey(key).Get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>("win98"), 6) ==
                   ERROR_SUCCESS;
    }
    ~ProbeAsWindows98() { RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey); }
    bool m_ok;
};

std::string ProbeReport()
{
    const HostResult probe = RunProgram("b:\\recycle_bin_probe.exe scan");
    EXPECT_EQ(probe.exitCode, 0u);
    return probe.output;
}

} // namespace

using RecycleOtherFamily = BinsTest;

TEST_F(RecycleOtherFamily, RecycledIsTriedBeforeRecyclerAndRecyclerAfterIt)
{
    bins::Make("S:\\recycler\\S-1-5-21-9\\Dc1.txt");
    bins::Make("S:\\recycled\\Dc2.txt");
    bins::Make("T:\\recycler\\S-1-5-21-9\\Dc3.txt");
    {
        ProbeAsWindows98 windows98;
        ASSERT_TRUE(windows98.m_ok);
        EXPECT_EQ(ProbeReport(), "platform 1\r\nS:\\recycled\\\r\nT:\\recycler\\S-1-5-21-9\\\r\n");
    }
    // Back to the prefix's own version: the NT family's order again.
    EXPECT_EQ(ProbeReport(), "platform 2\r\nS:\\recycler\\S-1-5-21-9\\\r\nT:\\recycler\\S-1-5-21-9\\\r\n");
}
