#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "delete/Requests.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

namespace {

const DWORD kChunk = 51200;

void MakeFolder(const std::string &path, DWORD attributes = 0)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path << ", error " << GetLastError();
    if (attributes)
        SetFileAttributesA(path.c_str(), attributes);
}

void MakeFileWithAttributes(const std::string &path, size_t length, DWORD attributes)
{
    MakeFile(path, length);
    SetFileAttributesA(path.c_str(), attributes);
}

} // namespace

TEST(FileDeletion, ReadOnlyHiddenSystemFileIsOverwrittenAndDeleted)
{
    const std::string path = sandbox::FreshFolder("del_readonly") + "\\locked-down.txt";
    MakeFileWithAttributes(path, 20, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EngineHarness harness(2);
    DialogAnswerer answers({});
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Handler().DeletePath(path.c_str(), harness.Progress()));

    EXPECT_EQ(6u, spy.Writes().size()) << "overwritten before it went";
    EXPECT_FALSE(sandbox::Exists(path));
    EXPECT_TRUE(answers.Texts().empty());
}

TEST(FileDeletion, FolderTreeWithHiddenReadOnlySubfolderGoesWhole)
{
    const std::string root = sandbox::FreshFolder("del_tree");
    MakeFile(root + "\\a.txt", 10);
    MakeFile(root + "\\.starts-with-dot", 10);
    MakeFile(root + "\\..two-dots", 10);
    MakeFolder(root + "\\hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    MakeFileWithAttributes(root + "\\hidden\\ro.txt", kChunk + 5, FILE_ATTRIBUTE_READONLY);
    MakeFolder(root + "\\hidden\\deeper");
    MakeFolder(root + "\\hidden\\deeper\\empty");
    MakeFile(root + "\\hidden\\deeper\\last.bin", 1);
    EngineHarness harness(1);
    DialogAnswerer answers({});
    WriteFileSpy spy(harness);

    // A folder is not a file: the walk's result stays E_FAIL.
    EXPECT_EQ(E_FAIL, harness.Handler().DeletePath(root.c_str(), harness.Progress()));

    EXPECT_FALSE(sandbox::Exists(root));
    EXPECT_EQ(3u * 5 + 3, spy.Writes().size()) << "three sweeps per file, two chunks for the long one";
    EXPECT_TRUE(answers.Texts().empty());
    EXPECT_TRUE(IsWindowVisible(harness.Progress().m_hWnd));
}

TEST(FileDeletion, ListsReportTheirOwnResults)
{
    const std::string root = sandbox::FreshFolder("del_lists");
    MakeFolder(root + "\\empty");
    MakeFile(root + "\\one.txt", 4);
    EngineHarness harness(1);
    DialogAnswerer answers({});
    COrvexDeleteFile &handler = harness.Handler();

    EXPECT_EQ(E_FAIL, handler.DeleteFolderList(PathList(), true, harness.Progress()));
    PathList both;
    both.Append((root + "\\empty").c_str());
    both.Append((root + "\\one.txt").c_str());
    EXPECT_EQ(S_OK, handler.DeleteFolderList(both, true, harness.Progress())) << "the last top-level file decides";
    EXPECT_FALSE(sandbox::Exists(root + "\\empty"));
    EXPECT_FALSE(sandbox::Exists(root + "\\one.txt"));

    MakeFolder(root + "\\kept");
    PathList folderOnly;
    folderOnly.Append((root + "\\kept").c_str());
    EXPECT_EQ(E_FAIL, handler.DeleteFolderList(folderOnly, false, harness.Progress()));
    EXPECT_TRUE(sandbox::Exists(root + "\\kept")) << "removeFolders false keeps the listed folder";
    EXPECT_TRUE(answers.Texts().empty());
}

TEST(FileDeletion, FileLockedAgainstWritingIsReportedHidesProgressAndKeepsItsFolder)
{
    const std::string root = sandbox::FreshFolder("del_locked");
    MakeFile(root + "\\before.txt", 10);
    MakeFile(root + "\\locked.txt", 10);
    MakeFile(root + "\\after.txt", 10);
    CFileHandle lock(
        CreateFileA((root + "\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EngineHarness harness(1);
    {
        DialogAnswerer answers({IDOK});
        harness.Handler().DeletePath(root.c_str(), harness.Progress());
        EXPECT_EQ(std::vector<std::string>{"Unable to corrupt file locked.txt"}, answers.Texts());
        EXPECT_EQ(0u, answers.Unexpected());
    }
    EXPECT_FALSE(IsWindowVisible(harness.Progress().m_hWnd)) << "hidden for the rest of the run";
    EXPECT_TRUE(sandbox::Exists(root));
    EXPECT_FALSE(sandbox::Exists(root + "\\before.txt"));
    EXPECT_FALSE(sandbox::Exists(root + "\\after.txt"));
    lock.Reset();
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(root + "\\locked.txt"));
}

TEST(FileDeletion, MissingAndUndeletableFilesAreReportedWithTheirTexts)
{
    const std::string root = sandbox::FreshFolder("del_reports");
    const std::string busy = root + "\\busy.txt";
    MakeFile(busy, 10);
    // Writing is shared, deleting is not: the overwrite succeeds, the deletion fails.
    const CFileHandle holder(
        CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK, IDOK});

    EXPECT_EQ(E_FAIL, harness.Handler().SecureDeleteFile(busy.c_str(), harness.Progress()));
    EXPECT_TRUE(IsWindowVisible(harness.Progress().m_hWnd)) << "a failed deletion leaves the progress shown";
    EXPECT_EQ(HRESULT(0x80070002), harness.Handler().SecureDeleteFile((root + "\\gone.txt").c_str(), harness.Progress()));

    EXPECT_EQ((std::vector<std::string>{"Unable to delete file " + busy, "Unable to corrupt file gone.txt"}),
              answers.Texts());
    EXPECT_NE(PatternBytes(10), sandbox::ReadFileBytes(busy)) << "overwritten although it could not be deleted";
}

TEST(FileDeletion, KeepListSparesExactNamesOnlyAndTheBinFolderStays)
{
    const std::string bin = sandbox::FreshFolder("del_bin");
    MakeFile(bin + "\\desktop.ini", 7);
    MakeFile(bin + "\\desktop.ini.bak", 7);
    MakeFile(bin + "\\other.txt", 7);
    MakeFolder(bin + "\\upper");
    MakeFile(bin + "\\upper\\Desktop.ini", 7);
    MakeFolder(bin + "\\nested");
    MakeFile(bin + "\\nested\\desktop.ini", 7);
    MakeFile(bin + "\\nested\\x.txt", 7);
    MakeFolder(bin + "\\empty");
    RecycleRequest request;
    request.useKeepList = true;
    request.keepList.Append("desktop.ini");
    EngineHarness harness(1);
    harness.Handler().m_pRecycleRequest = &request;
    DialogAnswerer answers({});

    harness.Handler().DeletePath(bin.c_str(), harness.Progress());

    EXPECT_EQ(PatternBytes(7), sandbox::ReadFileBytes(bin + "\\desktop.ini"));
    EXPECT_EQ(PatternBytes(7), sandbox::ReadFileBytes(bin + "\\nested\\desktop.ini"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\nested\\x.txt"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\desktop.ini.bak"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\other.txt"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\upper")) << "a name differing in case is not spared";
    EXPECT_FALSE(sandbox::Exists(bin + "\\empty"));
    EXPECT_TRUE(sandbox::Exists(bin));

    request.useKeepList = false;
    harness.Handler().DeletePath(bin.c_str(), harness.Progress());
    EXPECT_FALSE(sandbox::Exists(bin + "\\desktop.ini"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\nested"));
    EXPECT_TRUE(sandbox::Exists(bin)) << "a bin handed over stays even when emptied";
    EXPECT_TRUE(answers.Texts().empty());
    harness.Handler().m_pRecycleRequest = nullptr;
}

TEST(FileDeletion, CancelInAFolderFinishesNothingMore)
{
    const std::string root = sandbox::FreshFolder("del_cancel");
    const int files = 5;
    for (int i = 0; i < files; ++i)
        MakeFile(root + "\\f" + std::to_string(i) + ".bin", 2 * kChunk);
    EngineHarness harness(1);
    HWND cancelButton = GetDlgItem(harness.Progress().m_hWnd, IDCANCEL);
    ASSERT_TRUE(cancelButton != nullptr);
    DialogAnswerer answers({});
    WriteFileSpy spy(harness);
    // Six chunk writes per file: click during the third file that gets written.
    spy.OnWrite([&](size_t n) {
        if (n == 6 * 2 + 3)
            PostMessageA(cancelButton, BM_CLICK, 0, 0);
    });

    harness.Handler().DeletePath(root.c_str(), harness.Progress());

    ASSERT_TRUE(harness.Handler().m_bCancelled);
    for (const ObservedWrite &write : spy.Writes())
        EXPECT_FALSE(write.cancelled) << "a chunk was written after the cancel";
    int gone = 0, untouched = 0, partly = 0;
    for (int i = 0; i < files; ++i) {
        bool exists = false;
        const std::string bytes = sandbox::ReadFileBytes(root + "\\f" + std::to_string(i) + ".bin", &exists);
        if (!exists)
            ++gone;
        else if (bytes == PatternBytes(2 * kChunk))
            ++untouched;
        else
            ++partly;
    }
    // The listing order is the file system's; what counts is how many of each.
    EXPECT_EQ(2, gone) << "the files finished before the click";
    EXPECT_EQ(1, partly) << "the file being written stays, partly overwritten";
    EXPECT_EQ(2, untouched) << "later files are opened and closed without a byte written";
    EXPECT_TRUE(sandbox::Exists(root));
    EXPECT_TRUE(answers.Texts().empty());
}
