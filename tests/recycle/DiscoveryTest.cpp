// Finding the recycle folders: names, per-user folders, housekeeping files, drives and the
// cleaner mutex, on bins made under the sandbox drives S: and T:.
#include <gtest/gtest.h>

#include <cstdlib>

#include "BinFolders.h"
#include "NamedMutexProbe.h"
#include "module/Module.h"

using Paths = std::vector<std::string>;

class RecycleDiscovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(bins::FoldersOutsideSandbox(), Paths()) << "a bin outside the sandbox would be listed";
        bins::RemoveAll();
    }
    void TearDown() override { bins::RemoveAll(); }
};

TEST_F(RecycleDiscovery, NoBinsListNothing)
{
    CleanerRef cleaner;
    EXPECT_TRUE(cleaner->m_bNothingToDelete) << "a new cleaner has nothing to delete";
    EXPECT_EQ(cleaner.Scan(), S_OK);
    EXPECT_EQ(cleaner.Bins(), Paths());
    EXPECT_TRUE(cleaner->m_bNothingToDelete);
    EXPECT_EQ(cleaner->m_keepList.Count(), 1u);
    EXPECT_STREQ(cleaner->m_keepList[0].c_str(), "desktop.ini");
}

TEST_F(RecycleDiscovery, HousekeepingFilesInAnyCaseLeaveABinEmptyAndOneMoreFileListsIt)
{
    bins::MakeFile("S:\\recycler\\S-1-5-21-100\\DESKTOP.INI");
    bins::MakeFile("S:\\recycler\\S-1-5-21-100\\Info2");
    bins::MakeFile("T:\\recycled\\desktop.Ini");
    bins::MakeFile("T:\\recycled\\INFO2");
    {
        CleanerRef cleaner;
        EXPECT_EQ(cleaner.Scan(), S_OK);
        EXPECT_EQ(cleaner.Bins(), Paths());
        EXPECT_TRUE(cleaner->m_bNothingToDelete);
    }
    bins::MakeFile("S:\\recycler\\S-1-5-21-100\\Dc1.txt");
    bins::MakeFile("T:\\recycled\\INFO2.old");
    CleanerRef cleaner;
    EXPECT_EQ(cleaner.Scan(), S_OK);
    EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycler\\S-1-5-21-100\\", "T:\\recycled\\"}));
    EXPECT_FALSE(cleaner->m_bNothingToDelete);
}

TEST_F(RecycleDiscovery, AnEmptySubFolderIsContent)
{
    bins::MakeFolder("T:\\recycled\\Dc2");
    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner.Bins(), Paths({"T:\\recycled\\"}));
}

TEST_F(RecycleDiscovery, TheFirstPerUserFolderOfTheSearchIsTakenAlone)
{
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\Dc1.txt");
    bins::MakeFile("S:\\recycler\\S-1-5-21-2\\Dc1.txt");
    // The search order is the file system's; the expected folder is whichever comes first.
    std::string first;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("S:\\recycler\\*.*", &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (entry.cFileName[0] == 'S' && entry.cFileName[1] == '-') {
            first = entry.cFileName;
            break;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);

    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycler\\" + first + "\\"}));
}

TEST_F(RecycleDiscovery, ALowerCaseMarkCountsAsAPerUserFolder)
{
    bins::MakeFile("S:\\recycler\\s-1-5-18\\Dc1.txt");
    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycler\\s-1-5-18\\"}));
}

TEST_F(RecycleDiscovery, AFileNamedLikeAPerUserFolderLeadsToNoListing)
{
    bins::MakeFile("S:\\recycler\\S-stray");
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    bins::MakeFile("T:\\recycler\\Dc1.txt");
    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner.Bins(), Paths({"T:\\recycler\\"})) << "S: has a file for a per-user folder";
}

TEST_F(RecycleDiscovery, RecycledIsFoundAfterRecyclerAndDrivesComeInListOrder)
{
    bins::MakeFile("T:\\recycler\\S-1-5-21-7\\Dc1.txt");
    bins::MakeFile("S:\\recycled\\Dc2.txt");
    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycled\\", "T:\\recycler\\S-1-5-21-7\\"}));
}

TEST_F(RecycleDiscovery, ASecondCleanerAliveScansNothingUntilTheFirstIsGone)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    CleanerRef first;
    first.Scan();
    ASSERT_EQ(first.Bins(), Paths({"S:\\recycler\\"}));

    CleanerRef second;
    EXPECT_EQ(second.Scan(), S_OK);
    EXPECT_EQ(second.Bins(), Paths());
    EXPECT_TRUE(second->m_bNothingToDelete);
    EXPECT_NE(second->m_hMutex.Get(), nullptr) << "the handle is kept until the final release";

    first.Reset();
    second.Reset();
    EXPECT_FALSE(CleanerMutexExists()) << "both handles are closed at the final release";
    CleanerRef third;
    third.Scan();
    EXPECT_EQ(third.Bins(), Paths({"S:\\recycler\\"}));
}

TEST_F(RecycleDiscovery, ARepeatedInitializeRescansWithoutLeakingTheMutex)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    CleanerRef cleaner;
    cleaner.Scan();
    ASSERT_EQ(cleaner.Bins(), Paths({"S:\\recycler\\"}));
    bins::MakeFile("T:\\recycled\\Dc2.txt");
    EXPECT_EQ(cleaner.Scan(), S_OK);
    EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycler\\", "T:\\recycled\\"}));
    EXPECT_FALSE(cleaner->m_bNothingToDelete);
    cleaner.Reset();
    EXPECT_FALSE(CleanerMutexExists());
}

TEST_F(RecycleDiscovery, TheMutexIsOwnedByTheScanningThread)
{
    CleanerRef cleaner;
    cleaner.Scan();
    // Another thread cannot take a mutex that this thread owns.
    const DWORD wait = WaitFromAnotherThread(g_recycleMutexName.c_str());
    EXPECT_EQ(wait, static_cast<DWORD>(WAIT_TIMEOUT));
}

// Run by with-cdrom-drive.sh, which makes T: a CD-ROM drive for this program only.
TEST(RecycleNonFixedDrive, ACdRomDriveIsNeverListed)
{
    if (!std::getenv("ORVEX_CDROM_DRIVE"))
        GTEST_SKIP() << "needs T: as a CD-ROM drive (test recycle_nonfixed_tests)";
    ASSERT_EQ(GetDriveTypeA("T:\\"), static_cast<UINT>(DRIVE_CDROM));
    ASSERT_EQ(GetDriveTypeA("S:\\"), static_cast<UINT>(DRIVE_FIXED));
    bins::RemoveAll();
    bins::MakeFile("T:\\recycler\\S-1-5-21-6\\Dc1.txt");
    bins::MakeFile("T:\\recycled\\Dc2.txt");
    bins::MakeFile("S:\\recycled\\Dc3.txt");
    {
        CleanerRef cleaner;
        cleaner.Scan();
        EXPECT_EQ(cleaner.Bins(), Paths({"S:\\recycled\\"}));
    }
    bins::RemoveAll();
}
