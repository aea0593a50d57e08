// Finding the recycle folders: names, per-user folders, housekeeping files, drives and the
// cleaner mutex, on bins made under the sandbox drives S: and T:.
#include <cstdlib>

#include "BinFolders.h"
#include "support/NamedMutexProbe.h"
#include "module/Module.h"

using RecycleDiscovery = BinsTest;

// Each row makes its files (a name ending in a backslash is a folder) on empty drives.
TEST_F(RecycleDiscovery, WhatIsListed)
{
    const Paths housekeeping = {"S:\\recycler\\S-1-5-21-100\\DESKTOP.INI", "S:\\recycler\\S-1-5-21-100\\Info2",
                                "T:\\recycled\\desktop.Ini", "T:\\recycled\\INFO2"};
    Paths housekeepingAndMore = housekeeping;
    housekeepingAndMore.push_back("S:\\recycler\\S-1-5-21-100\\Dc1.txt");
    housekeepingAndMore.push_back("T:\\recycled\\INFO2.old");
    const struct
    {
        const char *name;
        Paths made;
        Paths listed;
    } rows[] = {
        {"no bins", {}, {}},
        {"housekeeping files in any case", housekeeping, {}},
        {"one more file", housekeepingAndMore, {"S:\\recycler\\S-1-5-21-100\\", "T:\\recycled\\"}},
        {"an empty subfolder", {"T:\\recycled\\Dc2\\"}, {"T:\\recycled\\"}},
        {"a lower-case mark", {"S:\\recycler\\s-1-5-18\\Dc1.txt"}, {"S:\\recycler\\s-1-5-18\\"}},
        {"a file named like a per-user folder",
         {"S:\\recycler\\S-stray", "S:\\recycler\\Dc1.txt", "T:\\recycler\\Dc1.txt"},
         {"T:\\recycler\\"}},
        {"recycled after recycler, drives in order",
         {"T:\\recycler\\S-1-5-21-7\\Dc1.txt", "S:\\recycled\\Dc2.txt"},
         {"S:\\recycled\\", "T:\\recycler\\S-1-5-21-7\\"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        bins::RemoveAll();
        for (const std::string &path : row.made)
            bins::Make(path);
        EXPECT_EQ(ScanBins(), row.listed);
    }
    CleanerRef cleaner;
    EXPECT_TRUE(cleaner->m_bNothingToDelete) << "a new cleaner has nothing to delete";
    cleaner->Initialize(nullptr, nullptr, nullptr);
    EXPECT_EQ(Strings(cleaner->m_keepList), Paths({"desktop.ini"}));
}

TEST_F(RecycleDiscovery, TheFirstPerUserFolderOfTheSearchIsTakenAlone)
{
    bins::Make("S:\\recycler\\S-1-5-21-1\\Dc1.txt");
    bins::Make("S:\\recycler\\S-1-5-21-2\\Dc1.txt");
    // The search order is the file system's; the expected folder is whichever comes first.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("S:\\recycler\\S-*", &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(ScanBins(), Paths({std::string("S:\\recycler\\") + entry.cFileName + "\\"}));
}

// The scanning thread owns the mutex and a repeated scan leaks no handle; a second cleaner scans
// nothing while the first lives, and keeps its handle until its final release.
TEST_F(RecycleDiscovery, OneCleanerScansAtATime)
{
    bins::Make("S:\\recycler\\Dc1.txt");
    CleanerRef first;
    first->Initialize(nullptr, nullptr, nullptr);
    ASSERT_EQ(Bins(first), Paths({"S:\\recycler\\"}));
    EXPECT_EQ(WaitFromAnotherThread(g_recycleMutexName.c_str()), static_cast<DWORD>(WAIT_TIMEOUT));
    bins::Make("T:\\recycled\\Dc2.txt");
    EXPECT_EQ(first->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Bins(first), Paths({"S:\\recycler\\", "T:\\recycled\\"}));
    EXPECT_FALSE(first->m_bNothingToDelete);

    CleanerRef second;
    EXPECT_EQ(second->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Bins(second), Paths());
    EXPECT_TRUE(second->m_bNothingToDelete);
    EXPECT_NE(second->m_hMutex.Get(), nullptr);

    first.Reset();
    second.Reset();
    EXPECT_FALSE(CleanerMutexExists()) << "every handle is closed at the final release";
    EXPECT_EQ(ScanBins(), Paths({"S:\\recycler\\", "T:\\recycled\\"}));
}

// Run by with-cdrom-drive.sh, which makes T: a CD-ROM drive for this program only.
TEST_F(RecycleDiscovery, NonFixedDriveIsNeverListed)
{
    if (!std::getenv("ORVEX_CDROM_DRIVE"))
        GTEST_SKIP() << "needs T: as a CD-ROM drive (test recycle_nonfixed_tests)";
    ASSERT_EQ(GetDriveTypeA("T:\\"), static_cast<UINT>(DRIVE_CDROM));
    ASSERT_EQ(GetDriveTypeA("S:\\"), static_cast<UINT>(DRIVE_FIXED));
    bins::Make("T:\\recycler\\S-1-5-21-6\\Dc1.txt");
    bins::Make("T:\\recycled\\Dc2.txt");
    bins::Make("S:\\recycled\\Dc3.txt");
    EXPECT_EQ(ScanBins(), Paths({"S:\\recycled\\"}));
}
