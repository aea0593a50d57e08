// The Recycle Bin's menu as a shell builds it in another process, from the real module file.
#include "BinFolders.h"
#include "support/ShellHostRun.h"
#include "support/TestSupport.h"

using RecycleHost = BinsTest;

TEST_F(RecycleHost, ACleanerAliveInAnotherProcessKeepsOursFromScanning)
{
    bins::Make("S:\\recycler\\S-1-5-21-4\\Dc1.txt");
    {
        CHeldShellHost other("--recycle");
        ASSERT_TRUE(other.Ready());
        EXPECT_TRUE(CleanerMutexExists());
        EXPECT_EQ(ScanBins(), Paths());
    }
    EXPECT_EQ(ScanBins(), Paths({"S:\\recycler\\S-1-5-21-4\\"}));
}

TEST_F(RecycleHost, TheItemEmptiesTheBins)
{
    bins::Make("S:\\recycler\\S-1-5-21-5\\Dc1.txt");
    bins::Make("S:\\recycler\\S-1-5-21-5\\desktop.ini", "[.ShellClassInfo]");
    bins::Make("T:\\recycled\\Dc2\\Dc3.txt");
    HostResult menu = RunShellHost("--recycle --menu-only");
    EXPECT_EQ(HostMenuItems(menu.output), Paths({"Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete"}))
        << menu.output;

    HostResult confirmed = RunShellHost("--recycle --answer ok");
    EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.output;
    EXPECT_FALSE(sandbox::Exists("S:\\recycler\\S-1-5-21-5\\Dc1.txt"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc2"));
    EXPECT_EQ(sandbox::ReadFileBytes("S:\\recycler\\S-1-5-21-5\\desktop.ini"), "[.ShellClassInfo]");
    EXPECT_TRUE(sandbox::Exists("T:\\recycled"));
}
