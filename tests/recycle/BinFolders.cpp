#include "BinFolders.h"
#include "support/NamedMutexProbe.h"

#include <cstring>

#include "module/Module.h"
#include "support/TestSupport.h"

namespace bins {

static const char *const kBinNames[] = {"recycler", "recycled"};

static bool OnSandboxDrive(const std::string &path)
{
    return path.size() > 3 && (path[0] == 'S' || path[0] == 'T') && path[1] == ':' && path[2] == '\\';
}

void RemoveAll()
{
    for (const char *drive : {"S:\\", "T:\\"})
        for (const char *name : kBinNames)
            sandbox::RemoveTree(std::string(drive) + name);
}

void Make(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(OnSandboxDrive(path)) << "refusing to make " << path;
    const size_t slash = path.rfind('\\');
    SHCreateDirectoryExA(nullptr, path.substr(0, slash).c_str(), nullptr);
    if (slash + 1 < path.size())
        sandbox::WriteFileBytes(path, bytes);
    ASSERT_TRUE(sandbox::Exists(path.substr(0, slash + 1 < path.size() ? path.size() : slash))) << path;
}

static Paths FoldersOutsideSandbox()
{
    Paths found;
    char drives[MAX_PATH] = {};
    GetLogicalDriveStringsA(MAX_PATH, drives);
    for (const char *drive = drives; *drive; drive += std::strlen(drive) + 1)
        for (const char *name : kBinNames)
            if (!OnSandboxDrive(std::string(drive) + "x") && sandbox::Exists(std::string(drive) + name))
                found.push_back(std::string(drive) + name);
    return found;
}

} // namespace bins

Paths ScanBins()
{
    CleanerRef cleaner;
    EXPECT_EQ(cleaner->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(cleaner->m_bNothingToDelete, cleaner->m_bins.Count() == 0);
    return Bins(cleaner);
}

bool CleanerMutexExists()
{
    return NamedMutexExists(g_recycleMutexName.c_str());
}

void BinsTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(bins::FoldersOutsideSandbox(), Paths()) << "a bin outside the sandbox would be listed";
    bins::RemoveAll();
}

void BinsTest::TearDown()
{
    bins::RemoveAll();
    CoUninitialize();
}
