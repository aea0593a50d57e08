#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>

#include "EngineHarness.h"
#include "delete/Requests.h"
#include "support/DialogAnswerer.h"
#include "support/TestObjects.h"

namespace {

// Makes the entries under root in order: a name ending in a backslash is a folder, any other
// a file of `length` pattern bytes; every entry gets the attributes (0: none).
void MakeEntries(const std::string &root, std::initializer_list<const char *> names, size_t length = 10,
                 DWORD attributes = 0)
{
    for (const std::string name : names) {
        const std::string path = root + "\\" + name;
        if (name.back() == '\\')
            ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path << ", error " << GetLastError();
        else
            MakeFile(path, length);
        if (attributes)
            SetFileAttributesA(path.c_str(), attributes);
    }
}

// While it lives, the system answers as some volumes do: listing a folder named "denied" fails as
// for an unreadable folder, and a name holding "no-short" has no short name, as on a volume with
// 8.3 names turned off.
class CVolumeRefusals
{
public:
    CVolumeRefusals()
        : m_find("kernel32.dll", "FindFirstFileW", reinterpret_cast<void *>(&FindFirst)),
          m_short("kernel32.dll", "GetShortPathNameW", reinterpret_cast<void *>(&ShortPath))
    {
        s_active = this;
    }
    ~CVolumeRefusals() { s_active = nullptr; }

private:
    using FindFirstFunction = HANDLE(WINAPI *)(LPCWSTR, LPWIN32_FIND_DATAW);
    using ShortPathFunction = DWORD(WINAPI *)(LPCWSTR, LPWSTR, DWORD);
    static HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
    {
        const std::wstring text = pattern, denied = L"\\denied\\*";
        if (text.size() > denied.size() && text.compare(text.size() - denied.size(), denied.size(), denied) == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        return s_active->m_find.Original<FindFirstFunction>()(pattern, data);
    }
    // Without short names the long path comes back, as the system gives it then.
    static DWORD WINAPI ShortPath(LPCWSTR path, LPWSTR buffer, DWORD size)
    {
        if (!std::wcsstr(path, L"no-short"))
            return s_active->m_short.Original<ShortPathFunction>()(path, buffer, size);
        const DWORD length = lstrlenW(path);
        if (!buffer || size <= length)
            return length + 1;
        lstrcpyW(buffer, path);
        return length;
    }
    static inline CVolumeRefusals *s_active = nullptr;
    CImportHook m_find, m_short;
};

} // namespace

TEST(FileDeletion, ReadOnlyFilesAndAHiddenReadOnlySubfolderAreOverwrittenAndDeleted)
{
    const std::string root = sandbox::FreshFolder("del_tree");
    MakeEntries(root, {"locked-down.txt"}, 20, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeEntries(root, {"tree\\", "tree\\a.txt", "tree\\.starts-with-dot", "tree\\..two-dots"});
    MakeEntries(root, {"tree\\hidden\\"}, 0, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    MakeEntries(root, {"tree\\hidden\\ro.txt"}, kChunk + 5, FILE_ATTRIBUTE_READONLY);
    MakeEntries(root, {"tree\\hidden\\deeper\\", "tree\\hidden\\deeper\\empty\\"});
    MakeEntries(root, {"tree\\hidden\\deeper\\last.bin"}, 1);
    EngineHarness harness(2);
    DialogAnswerer answers({});
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Delete(root + "\\locked-down.txt"));
    EXPECT_EQ(6u, spy.Writes().size()) << "overwritten before it went";
    EXPECT_FALSE(sandbox::Exists(root + "\\locked-down.txt"));
    // A folder is not a file: the walk's result stays E_FAIL.
    EXPECT_EQ(E_FAIL, harness.Delete(root + "\\tree"));
    EXPECT_FALSE(sandbox::Exists(root + "\\tree"));
    EXPECT_EQ(6u + 2 * (3u * 5 + 3), spy.Writes().size()) << "three sweeps per file, two chunks for the long one";
    EXPECT_TRUE(answers.Texts().empty());
    EXPECT_TRUE(harness.ProgressVisible());
}

TEST(FileDeletion, ListsReportTheirOwnResults)
{
    const std::string root = sandbox::FreshFolder("del_lists");
    MakeEntries(root, {"empty\\", "one.txt", "kept\\"});
    EngineHarness harness(1);
    DialogAnswerer answers({});
    PathList both, folderOnly;
    both.Append((root + "\\empty").c_str());
    both.Append((root + "\\one.txt").c_str());
    folderOnly.Append((root + "\\kept").c_str());

    EXPECT_EQ(E_FAIL, harness.Handler().DeleteFolderList(PathList(), true, harness.Progress()));
    EXPECT_EQ(S_OK, harness.Handler().DeleteFolderList(both, true, harness.Progress())) << "the last top-level file decides";
    EXPECT_FALSE(sandbox::Exists(root + "\\empty"));
    EXPECT_FALSE(sandbox::Exists(root + "\\one.txt"));
    EXPECT_EQ(E_FAIL, harness.Handler().DeleteFolderList(folderOnly, false, harness.Progress()));
    EXPECT_TRUE(sandbox::Exists(root + "\\kept")) << "removeFolders false keeps the listed folder";
    EXPECT_TRUE(answers.Texts().empty());
}

TEST(FileDeletion, FailuresAreReportedAndALockedFileHidesProgressAndKeepsItsFolder)
{
    const std::string root = sandbox::FreshFolder("del_failures");
    MakeEntries(root, {"busy.txt", "folder\\", "folder\\before.txt", "folder\\locked.txt", "folder\\after.txt"});
    // Writing is shared, deleting is not: the overwrite succeeds, the deletion fails.
    const CFileHandle holder(CreateFileA((root + "\\busy.txt").c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    CFileHandle lock(CreateFileA((root + "\\folder\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(holder && lock);
    EngineHarness harness(1);
    {
        DialogAnswerer answers({IDOK, IDOK, IDOK});
        EXPECT_EQ(E_FAIL, harness.Handler().SecureDeleteFile((root + "\\busy.txt").c_str(), harness.Progress()));
        EXPECT_TRUE(harness.ProgressVisible()) << "a failed deletion leaves the progress shown";
        harness.Delete(root + "\\folder");
        EXPECT_FALSE(harness.ProgressVisible()) << "hidden for the rest of the run";
        EXPECT_EQ(HRESULT(0x80070002),
                  harness.Handler().SecureDeleteFile((root + "\\gone.txt").c_str(), harness.Progress()));
        EXPECT_EQ((std::vector<std::string>{"Unable to delete file " + root + "\\busy.txt",
                                            "Unable to corrupt file locked.txt", "Unable to corrupt file gone.txt"}),
                  answers.Texts());
    }
    EXPECT_NE(PatternBytes(10), sandbox::ReadFileBytes(root + "\\busy.txt")) << "overwritten although not deleted";
    EXPECT_TRUE(sandbox::Exists(root + "\\folder"));
    EXPECT_FALSE(sandbox::Exists(root + "\\folder\\before.txt"));
    EXPECT_FALSE(sandbox::Exists(root + "\\folder\\after.txt"));
    lock.Reset();
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(root + "\\folder\\locked.txt"));
}

TEST(FileDeletion, KeepListSparesExactNamesOnlyAndTheBinFolderStays)
{
    const std::string bin = sandbox::FreshFolder("del_bin");
    MakeEntries(bin, {"desktop.ini", "desktop.ini.bak", "other.txt", "upper\\", "upper\\Desktop.ini", "nested\\",
                      "nested\\desktop.ini", "nested\\x.txt", "empty\\"});
    RecycleRequest request;
    request.useKeepList = true;
    request.keepList.Append("desktop.ini");
    EngineHarness harness(1);
    harness.Handler().m_pRecycleRequest = &request;
    DialogAnswerer answers({});

    harness.Delete(bin);
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(bin + "\\desktop.ini"));
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(bin + "\\nested\\desktop.ini"));
    for (const char *gone : {"\\nested\\x.txt", "\\desktop.ini.bak", "\\other.txt", "\\upper", "\\empty"})
        EXPECT_FALSE(sandbox::Exists(bin + gone)) << gone << " (a name differing in case is not spared)";

    request.useKeepList = false;
    harness.Delete(bin);
    EXPECT_FALSE(sandbox::Exists(bin + "\\desktop.ini"));
    EXPECT_FALSE(sandbox::Exists(bin + "\\nested"));
    EXPECT_TRUE(sandbox::Exists(bin)) << "a bin handed over stays even when emptied";

    // What is not one of the module's live records is never read: its keep list spares nothing.
    struct
    {
        bool useKeepList;
        PathList folders;
        PathList keepList;
    } lookalike{true, {}, request.keepList};
    MakeEntries(bin, {"desktop.ini"});
    harness.Handler().m_pRecycleRequest = reinterpret_cast<RecycleRequest *>(&lookalike);
    harness.Delete(bin);
    EXPECT_FALSE(sandbox::Exists(bin + "\\desktop.ini"));
    EXPECT_TRUE(answers.Texts().empty());
    harness.Handler().m_pRecycleRequest = nullptr;
}

TEST(FileDeletion, CancelInAFolderFinishesNothingMore)
{
    const std::string root = sandbox::FreshFolder("del_cancel");
    MakeEntries(root, {"f0.bin", "f1.bin", "f2.bin", "f3.bin", "f4.bin"}, 2 * kChunk);
    EngineHarness harness(1);
    DialogAnswerer answers({});
    WriteFileSpy spy(harness);
    // Six chunk writes per file: click during the third file that gets written.
    spy.OnWrite([&](size_t n) {
        if (n == 6 * 2 + 3)
            harness.ClickCancel();
    });

    harness.Delete(root);

    ASSERT_TRUE(harness.Handler().m_bCancelled);
    for (const ObservedWrite &write : spy.Writes())
        EXPECT_FALSE(write.cancelled) << "a chunk was written after the cancel";
    // The listing order is the file system's; what counts is how many of each.
    std::map<std::string, int> outcomes;
    for (int i = 0; i < 5; ++i) {
        bool exists = false;
        const std::string bytes = sandbox::ReadFileBytes(root + "\\f" + std::to_string(i) + ".bin", &exists);
        ++outcomes[!exists ? "gone" : bytes == PatternBytes(2 * kChunk) ? "untouched" : "partly"];
    }
    EXPECT_EQ((std::map<std::string, int>{{"gone", 2}, {"partly", 1}, {"untouched", 2}}), outcomes)
        << "done before the click, being written, never written";
    EXPECT_TRUE(sandbox::Exists(root));
    EXPECT_TRUE(answers.Texts().empty());
}

// The walk reaches every entry under a path of its own: its exact long name or, for a name the
// ANSI code page cannot spell, its short name; never a best-fit form ("..\\outside.txt" for
// fullwidth full stops and reverse solidus, "Omega.txt" for a Greek omega), never a path cut to
// the buffer. What it cannot reach is reported and left, decided entry by entry, and a folder it
// cannot list is not taken for an empty one. Nothing outside the selected folder is touched.
TEST(FileDeletion, EveryEntryIsReachedUnderItsOwnPathOrReportedAndNothingOutsideIsTouched)
{
    const std::string root = sandbox::FreshFolder("del_reach");
    const std::string sel = root + "\\sel";
    const std::wstring wideSel = sandbox::Wide(sel);
    sandbox::WriteFileBytes(root + "\\outside.txt", "outside bytes");
    const std::string deep(258 - sel.size() - 1, 'D'), wide(240 - sel.size() - 1, 'E');
    const std::string tooLong = wide + "\\a-name-that-overflows-the-path-buffer.txt";
    const struct
    {
        std::wstring entry;   // under the selected folder; a trailing backslash makes a folder
        std::string reported; // the path its report names after the selected folder, if any
        bool gone;
        const char *label;
    } rows[] = {
        {L"\xFF0E\xFF0E\xFF3Coutside.txt", "", true, "best fit would lead outside"},
        {L"\x03A9mega.txt", "", true, "best fit would name a neighbour"},
        {L"Omega.txt", "", true, "the neighbour, selected too"},
        {L"\x03A9no-short.txt", "?no-short.txt", false, "no short name"},
        {L"\x03A9dir\\", "", true, "folder with no name in the code page"},
        {L"\x03A9dir\\\x6587\x4EF6.docx", "", true, "in the folder with no name in the code page"},
        {L"plain.txt", "", true, "plain"},
        {sandbox::Wide(deep) + L"\\", "", false, "folder too deep to list"},
        {sandbox::Wide(deep) + L"\\x.txt", deep, false, "in the folder too deep to list"},
        {sandbox::Wide(wide) + L"\\", "", false, "folder that can be listed"},
        {sandbox::Wide(tooLong), tooLong, false, "path longer than the buffer"},
        {L"denied\\", "", false, "folder whose listing fails"},
        {L"denied\\inside.txt", "denied", false, "in the folder whose listing fails"},
    };
    ASSERT_TRUE(CreateDirectoryA(sel.c_str(), nullptr));
    size_t goneFiles = 0;
    std::vector<std::string> expected;
    for (const auto &row : rows) {
        const std::wstring path = wideSel + L"\\" + row.entry;
        if (path.back() == L'\\') {
            ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
        } else {
            sandbox::WriteFileBytes(path, "bytes of an entry");
            goneFiles += row.gone;
        }
        if (!row.reported.empty())
            expected.push_back("Unable to delete file " + ShownPath(sel + "\\" + row.reported));
    }
    // The label names each file as it was reached: a name the code page cannot spell by its short
    // name, never by a best-fit name that belongs to another file.
    std::set<std::string> labels;
    for (const auto &row : rows) {
        if (!row.gone || row.entry.back() == L'\\')
            continue;
        std::wstring name = row.entry.substr(row.entry.rfind(L'\\') + 1);
        if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7F; })) {
            wchar_t shortPath[MAX_PATH] = {};
            GetShortPathNameW((wideSel + L"\\" + row.entry).c_str(), shortPath, MAX_PATH);
            name = std::wstring(shortPath).substr(std::wstring(shortPath).rfind(L'\\') + 1);
        }
        labels.insert("Corrupting file: " + sandbox::Narrow(name));
    }
    EngineHarness harness(1);
    DialogAnswerer answers(std::vector<int>(expected.size(), IDOK));
    WriteFileSpy spy(harness);
    std::set<std::string> shown;
    spy.OnWrite([&](size_t) { shown.insert(harness.StatusText()); });
    {
        CVolumeRefusals refusals;
        harness.Delete(sel);
    }

    std::vector<std::string> texts = answers.Texts();
    std::sort(texts.begin(), texts.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, texts) << "each reported once";
    EXPECT_EQ(3 * goneFiles, spy.Writes().size()) << "each file overwritten before it went";
    EXPECT_EQ(labels, shown);
    for (const auto &row : rows) {
        const std::wstring path = wideSel + L"\\" + row.entry;
        bool exists = false;
        const std::string bytes = sandbox::ReadFileBytes(path, &exists);
        EXPECT_EQ(!row.gone, sandbox::Exists(path)) << row.label;
        if (exists && path.back() != L'\\') {
            EXPECT_EQ("bytes of an entry", bytes) << row.label;
        }
    }
    EXPECT_EQ("outside bytes", sandbox::ReadFileBytes(root + "\\outside.txt"));
    EXPECT_TRUE(sandbox::Exists(sel));
}
