#include "BinFolders.h"
#include "NamedMutexProbe.h"

#include <gtest/gtest.h>
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

void MakeFolder(const std::string &path)
{
    ASSERT_TRUE(OnSandboxDrive(path)) << "refusing to make " << path;
    for (size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    ASSERT_TRUE(sandbox::Exists(path)) << "cannot make " << path;
}

void MakeFile(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(OnSandboxDrive(path)) << "refusing to write " << path;
    MakeFolder(path.substr(0, path.rfind('\\')));
    sandbox::WriteFileBytes(path, bytes);
}

std::vector<std::string> FoldersOutsideSandbox()
{
    std::vector<std::string> found;
    char drives[MAX_PATH] = {};
    GetLogicalDriveStringsA(MAX_PATH, drives);
    for (const char *drive = drives; *drive; drive += std::strlen(drive) + 1) {
        if (OnSandboxDrive(std::string(drive) + "x"))
            continue;
        for (const char *name : kBinNames)
            if (sandbox::Exists(std::string(drive) + name))
                found.push_back(std::string(drive) + name);
    }
    return found;
}

} // namespace bins

CleanerRef::CleanerRef() : m_cleaner(nullptr)
{
    void *object = nullptr;
    const HRESULT hr = COrvexRecycleCleaner::CreateInstance(nullptr, IID_IOrvexRecycleCleaner, &object);
    EXPECT_EQ(hr, S_OK);
    m_cleaner = static_cast<COrvexRecycleCleaner *>(static_cast<IOrvexRecycleCleaner *>(object));
}

CleanerRef::~CleanerRef()
{
    Reset();
}

void CleanerRef::Reset()
{
    if (m_cleaner)
        m_cleaner->Release();
    m_cleaner = nullptr;
}

HRESULT CleanerRef::Scan()
{
    return m_cleaner->Initialize(nullptr, nullptr, nullptr);
}

std::vector<std::string> CleanerRef::Bins() const
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < m_cleaner->m_bins.Count(); ++i)
        paths.push_back(m_cleaner->m_bins[i].c_str());
    return paths;
}

bool CleanerMutexExists()
{
    return NamedMutexExists(g_recycleMutexName.c_str());
}
