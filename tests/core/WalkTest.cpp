// What a run reaches: every entry of a selected folder under a path of its own, or reported; never
// anything through a link or under a second name.
#include "support/TestSupport.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/LinkGuard.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

using Handler = CComPtr<COrvexDeleteFile>;

namespace {

// What some volumes say of a file whose name holds the key: attributes added, and a reparse tag.
const struct { const wchar_t *key; DWORD attributes, tag; } kVolumeAnswers[] = {
    {L"cloud-here", FILE_ATTRIBUTE_REPARSE_POINT | 0x80000 /* pinned */, DWORD(IO_REPARSE_TAG_CLOUD_3)},
    {L"cloud-dir", FILE_ATTRIBUTE_REPARSE_POINT | kRecallOnOpen, DWORD(IO_REPARSE_TAG_CLOUD_3)},
    {L"cloud-away", FILE_ATTRIBUTE_REPARSE_POINT | kRecallOnDataAccess, DWORD(IO_REPARSE_TAG_CLOUD_3)},
    {L"on-open", FILE_ATTRIBUTE_REPARSE_POINT | kRecallOnOpen, DWORD(IO_REPARSE_TAG_CLOUD)},
    {L"offline", FILE_ATTRIBUTE_OFFLINE, 0}, {L"compressed", FILE_ATTRIBUTE_COMPRESSED, 0},
    {L"dedup", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_SPARSE_FILE, DWORD(IO_REPARSE_TAG_DEDUP)},
    {L"wof", FILE_ATTRIBUTE_REPARSE_POINT, DWORD(IO_REPARSE_TAG_WOF)}, {L"sparse", FILE_ATTRIBUTE_SPARSE_FILE, 0},
};

// While it lives, the system answers as some volumes and programs have it: listing a folder named
// "denied" fails as for an unreadable folder; a name holding "no-short" has no short name, as on a
// volume with 8.3 names turned off; files in a folder "fat" refuse the attribute-tag query as FAT32
// and exFAT do; drive T: cannot say where a file resolves to, as some RAM disks; kVolumeAnswers
// show in listings and on handles; and the file lateLink becomes a second name of lateTarget right
// after the run has looked at it (at its attribute reset), as another program could make it.
class CVolumeQuirks
{
public:
    CVolumeQuirks(const std::string &lateLink, const std::string &lateTarget)
        : m_find("kernel32.dll", "FindFirstFileW", reinterpret_cast<void *>(&FindFirst)),
          m_next("kernel32.dll", "FindNextFileW", reinterpret_cast<void *>(&FindNext)),
          m_lookup("kernel32.dll", "GetProcAddress", reinterpret_cast<void *>(&Lookup)),
          m_attributes("kernel32.dll", "SetFileAttributesA", reinterpret_cast<void *>(&SetAttributes)),
          m_lateLink(lateLink), m_lateTarget(lateTarget)
    {
        s_active = this;
    }

private:
    using InfoExFn = BOOL(WINAPI *)(HANDLE, int, void *, DWORD);
    using FinalPathFn = DWORD(WINAPI *)(HANDLE, LPWSTR, DWORD, DWORD);
    template <typename F> static F Real(const char *name)
    {
        const FARPROC real = s_active->m_lookup.Original<decltype(&GetProcAddress)>()(GetModuleHandleA("kernel32.dll"), name);
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(real));
    }
    static void Dress(const wchar_t *name, DWORD &attributes, DWORD &tag)
    {
        for (const auto &answer : kVolumeAnswers)
            if (std::wcsstr(name, answer.key))
                attributes |= answer.attributes, tag = answer.tag;
    }
    static BOOL Dressed(BOOL found, LPWIN32_FIND_DATAW data)
    {
        if (found && std::wcsstr(data->cFileName, L"no-short"))
            data->cAlternateFileName[0] = L'\0';
        if (found)
            Dress(data->cFileName, data->dwFileAttributes, data->dwReserved0);
        return found;
    }
    static HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
    {
        if (std::wcsstr(pattern, L"\\denied\\*")) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        const HANDLE search = s_active->m_find.Original<decltype(&FindFirstFileW)>()(pattern, data);
        Dressed(search != INVALID_HANDLE_VALUE, data);
        return search;
    }
    static BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAW data)
    {
        return Dressed(s_active->m_next.Original<decltype(&FindNextFileW)>()(search, data), data);
    }
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name)
    {
        if (std::strcmp(name, "GetFileInformationByHandleEx") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&InfoEx));
        if (std::strcmp(name, "GetFinalPathNameByHandleW") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&FinalPath));
        return s_active->m_lookup.Original<decltype(&GetProcAddress)>()(module, name);
    }
    static BOOL WINAPI InfoEx(HANDLE file, int type, void *info, DWORD size)
    {
        wchar_t path[MAX_PATH] = {};
        Real<FinalPathFn>("GetFinalPathNameByHandleW")(file, path, MAX_PATH, 0);
        const bool tagQuery = type == 9; // FileAttributeTagInfo: attributes and reparse tag
        if (tagQuery && std::wcsstr(path, L"\\fat\\")) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        const BOOL ok = Real<InfoExFn>("GetFileInformationByHandleEx")(file, type, info, size);
        if (ok && tagQuery)
            Dress(std::wcsrchr(path, L'\\') ? std::wcsrchr(path, L'\\') : path, static_cast<DWORD *>(info)[0],
                  static_cast<DWORD *>(info)[1]);
        return ok;
    }
    static DWORD WINAPI FinalPath(HANDLE file, LPWSTR buffer, DWORD size, DWORD flags)
    {
        const DWORD length = Real<FinalPathFn>("GetFinalPathNameByHandleW")(file, buffer, size, flags);
        if (length && length < size && std::wcsncmp(buffer, L"\\\\?\\T:", 6) == 0) {
            SetLastError(ERROR_INVALID_FUNCTION);
            return 0;
        }
        return length;
    }
    static BOOL WINAPI SetAttributes(LPCSTR path, DWORD attributes)
    {
        const BOOL ok = s_active->m_attributes.Original<decltype(&SetFileAttributesA)>()(path, attributes);
        if (s_active->m_lateLink == path) {
            DeleteFileA(path);
            EXPECT_TRUE(CreateHardLinkA(path, s_active->m_lateTarget.c_str(), nullptr)) << GetLastError();
            s_active->m_lateLink.clear();
        }
        return ok;
    }
    static inline CVolumeQuirks *s_active = nullptr;
    CImportHook m_find, m_next, m_lookup, m_attributes;
    std::string m_lateLink, m_lateTarget;
};

enum Outcome { Gone, Kept, Written }; // Written: overwritten, but still there

const std::wstring kLinks = L"S:\\engine_links"; // made by make-engine-links.sh

} // namespace

// Every entry is reached under a path of its own: its exact long name, or for a name the ANSI
// code page cannot spell its short name; never a best-fit form ("..\outside.txt" for fullwidth
// full stops and reverse solidus, "Omega.txt" for a Greek omega), never a path cut to the buffer.
// What cannot be reached is reported once and left, decided entry by entry; a folder that cannot
// be listed is not taken for an empty one. Attributes do not stop the deletion; a file that cannot
// be opened or deleted is reported, and after a file that could not be overwritten the progress
// window keeps out of the way. Nothing outside the selected folder is touched.
// Links lead outside what was selected: whatever is selected, their targets come out of the run
// byte for byte and attribute for attribute as they went in, and the links themselves stay (Wine
// would carry a deletion of a link out on its target). A file that has, or gains after its check,
// a second name elsewhere is reported and left exactly as it was; a selected folder link is reported.
// Volumes as Windows has them: FAT32 files go like any other; cloud files here and cloud folders
// too, while files whose bytes are elsewhere (cloud only, offline, compressed, deduplicated) are
// reported and kept; where no resolved path can be had, files go and a link on the path still
// stops it. Names the path calls rewrite ("sub.", "h ") are reached under their own; their
// neighbours stay whole.
TEST(FolderWalk, EveryEntryIsReachedUnderItsOwnPathOrReportedAndNothingThroughALinkOrASecondName)
{
    ASSERT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, GetFileAttributesW((kLinks + L"\\victim\\dirlink").c_str()))
        << "the host links are missing: run through ctest, which makes them first";
    const std::wstring root = sandbox::FreshFolder(L"walk"), sel = root + L"\\sel";
    const std::string narrowSel = sandbox::Narrow(sel);
    const std::wstring deep(258 - sel.size() - 1, L'D'), wide(240 - sel.size() - 1, L'E');
    const std::wstring tooLong = wide + L"\\a-name-that-overflows-the-path-buffer.txt";
    const DWORD hiddenReadOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    // entry: under the selected folder, a trailing backslash makes a folder; reported: an
    // unreachable entry's path in its report, after the selected folder.
    enum Lock { Free, NoSharing, NoDeleting, NotInPlace }; // NotInPlace: its volume keeps its bytes elsewhere
    const struct { std::wstring entry; Outcome outcome; std::string reported; DWORD attributes = 0; Lock lock = Free; } rows[] = {
        {L"\xFF0E\xFF0E\xFF3Coutside.txt", Gone, ""}, {L"\x03A9mega.txt", Gone, ""}, {L"Omega.txt", Gone, ""},
        {L"\x03A9no-short.txt", Kept, "?no-short.txt"}, {L"\x03A9dir\\", Gone, ""}, {L"\x03A9dir\\\x6587\x4EF6.docx", Gone, ""},
        {deep + L"\\", Kept, ""}, {deep + L"\\x.txt", Kept, sandbox::Narrow(deep)},
        {wide + L"\\", Kept, ""}, {tooLong, Kept, sandbox::Narrow(tooLong)},
        {L"denied\\", Kept, ""}, {L"denied\\inside.txt", Kept, "denied"},
        {L"tree\\", Gone, "", hiddenReadOnly}, {L"tree\\ro.txt", Gone, "", hiddenReadOnly | FILE_ATTRIBUTE_SYSTEM},
        {L"tree\\.starts-with-dot", Gone, ""}, {L"tree\\..two-dots", Gone, ""}, {L"tree\\empty\\", Gone, ""},
        {L"held\\", Kept, ""}, {L"held\\locked.txt", Kept, "", 0, NoSharing}, {L"held\\after.txt", Gone, ""},
        {L"busy.txt", Written, "", 0, NoDeleting}, {L"fat\\", Gone, ""}, {L"fat\\usb.txt", Gone, ""},
        {L"cloud-dir\\", Gone, ""}, {L"cloud-dir\\cloud-here.txt", Gone, ""}, {L"sparse.bin", Gone, ""}, {L"away\\", Kept, ""},
        {L"away\\cloud-away.txt", Kept, "", 0, NotInPlace}, {L"away\\on-open.txt", Kept, "", 0, NotInPlace},
        {L"away\\offline.txt", Kept, "", 0, NotInPlace}, {L"away\\compressed.txt", Kept, "", 0, NotInPlace},
        {L"away\\dedup.txt", Kept, "", 0, NotInPlace}, {L"away\\wof.txt", Kept, "", 0, NotInPlace},
    };
    // Selected before the folder: the first thing of the run fails to be overwritten.
    const std::wstring first = root + L"\\first.txt";
    sandbox::MakeTree(root, {L"outside.txt", L"first.txt"});
    const CFileHandle firstLock(CreateFileW(first.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    Paths expected = {"Unable to corrupt file first.txt"};
    std::vector<CFileHandle> locks;
    std::set<std::string> labels;
    size_t written = 0;
    for (const auto &row : rows) {
        const std::wstring path = sel + L"\\" + row.entry;
        sandbox::Make(path);
        const std::wstring name = row.entry.substr(row.entry.rfind(L'\\', row.entry.size() - 2) + 1);
        if (!row.reported.empty())
            expected.push_back("Unable to delete file " + ShownPath(narrowSel + "\\" + row.reported));
        if (row.lock == NoSharing || row.lock == NotInPlace)
            expected.push_back("Unable to corrupt file " + sandbox::Narrow(name));
        if (row.lock == NoDeleting)
            expected.push_back("Unable to delete file " + sandbox::Narrow(path));
        if (row.lock == NoSharing || row.lock == NoDeleting)
            locks.emplace_back(CreateFileW(path.c_str(), row.lock == NoSharing ? GENERIC_READ : GENERIC_WRITE,
                                           row.lock == NoSharing ? 0 : FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                           nullptr));
        if (path.back() == L'\\' || row.outcome == Kept)
            continue;
        ++written;
        // The label names a file as it was reached: by its short name where the code page cannot
        // spell the long one.
        const bool spelled = std::none_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7F; });
        const std::wstring shown = spelled ? name : sandbox::ShortName(path).substr(path.rfind(L'\\') + 1);
        labels.insert("Corrupting file: " + sandbox::Narrow(shown));
    }
    for (const auto &row : rows)
        if (row.attributes)
            SetFileAttributesW((sel + L"\\" + row.entry).c_str(), row.attributes);
    // Beside the selected folder, links selected and folders holding them; a file with a second name
    // outside (attributes set under that name belong to the file), and one that gains it later.
    const std::wstring hard = root + L"\\hard";
    sandbox::MakeTree(hard, {L"selected\\own.bin", L"late.bin"});
    sandbox::Make(hard + L"\\outside.bin", std::string(3000, 'o'));
    ASSERT_TRUE(CreateHardLinkW((hard + L"\\selected\\alias.bin").c_str(), (hard + L"\\outside.bin").c_str(), nullptr));
    SetFileAttributesW((hard + L"\\outside.bin").c_str(), hiddenReadOnly);
    const std::string late = sandbox::Narrow(hard) + "\\late.bin";
    // Links whose names only look like their target's: a fullwidth "t" (reached by its short name;
    // "target.txt" in best fit), a soft hyphen.
    const std::string links = sandbox::Narrow(kLinks), lookalike = sandbox::Narrow(sandbox::ShortName(kLinks + L"\\\xFF54" L"arget.txt"));
    Paths selection = {sandbox::Narrow(first), narrowSel, links + "\\victim", links + "\\selected_dirlink", late,
                       sandbox::Narrow(hard) + "\\selected"};
    // Names the path calls rewrite, each reached under its own; T: cannot say where a file resolves to.
    const std::string names = links + "\\names\\", ram = "T:\\ramdisk_links\\dirlink";
    sandbox::Remove(L"T:\\ramdisk");
    sandbox::Make(L"T:\\ramdisk\\ram.txt");
    for (const std::string &link : {links + "\\selected_filelink.txt", lookalike, links + "\\tar\xADget.txt", names + "sub.",
                                    names + "h ", names + "no-short.", std::string("T:\\ramdisk"), ram, ram + "\\keep.txt"})
        selection.push_back(link);
    for (const std::string &link : {links + "\\victim\\filelink.txt", links + "\\selected_filelink.txt", lookalike, links + "\\tar\xADget.txt",
                                    links + "\\selected_dirlink", names + "no-short.", ram, ram + "\\keep.txt"})
        expected.push_back("Unable to delete file " + link);
    expected.insert(expected.end(), {"Unable to corrupt file alias.bin", "Unable to corrupt file late.bin"});
    for (const char *name : {"plain.txt", "file.txt", "own.bin", "in.txt", "x.txt", "y.txt", "ram.txt"})
        labels.insert(std::string("Corrupting file: ") + name);

    Handler handler = NewHandler();
    CFileCalls calls;
    std::set<std::string> shown;
    size_t visibleWrites = 0;
    calls.onWrite = [&](size_t) {
        shown.insert(Label(*handler.Get()));
        visibleWrites += IsWindowVisible(handler->m_progress.m_hWnd) ? 1 : 0;
    };
    Paths texts;
    {
        CVolumeQuirks quirks(late, sandbox::Narrow(hard + L"\\outside.bin"));
        CPassSetting passes(1);
        texts = ClearRaw(*handler.Get(), selection);
    }
    locks.clear();

    std::sort(texts.begin(), texts.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, texts) << "each reported once";
    EXPECT_EQ(3 * (written + 8), calls.writes.size()) << "each file overwritten before it went";
    EXPECT_EQ(labels, shown);
    EXPECT_EQ(0u, visibleWrites) << "the progress window covered a report";
    for (const auto &row : rows) {
        const std::wstring path = sel + L"\\" + row.entry;
        bool exists = false;
        const std::string bytes = sandbox::Read(path, &exists);
        EXPECT_EQ(row.outcome != Gone, sandbox::Exists(path)) << sandbox::Narrow(row.entry);
        if (exists && path.back() != L'\\') {
            EXPECT_EQ(row.outcome == Kept, sandbox::Content(path) == bytes) << sandbox::Narrow(row.entry);
        }
    }
    EXPECT_EQ(sandbox::Content(root + L"\\outside.txt"), sandbox::Read(root + L"\\outside.txt"));
    EXPECT_TRUE(sandbox::Exists(sel));
    for (const std::wstring &gone : {kLinks + L"\\victim\\plain.txt", kLinks + L"\\victim\\inner\\file.txt", hard + L"\\selected\\own.bin"})
        EXPECT_FALSE(sandbox::Exists(gone)) << sandbox::Narrow(gone);
    EXPECT_EQ("target bytes that must survive", sandbox::Read(kLinks + L"\\target\\keep.txt"));
    EXPECT_EQ("deeper target bytes", sandbox::Read(kLinks + L"\\target\\sub\\inner.txt"));
    EXPECT_EQ("a target file", sandbox::Read(kLinks + L"\\target.txt"));
    EXPECT_TRUE(GetFileAttributesW((kLinks + L"\\target.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(sandbox::Exists(kLinks + L"\\target\\emptydir"));
    for (const wchar_t *link : {L"\\victim\\dirlink", L"\\victim\\emptylink", L"\\victim\\filelink.txt", L"\\victim\\inner\\sublink",
                                L"\\selected_dirlink", L"\\selected_filelink.txt"})
        EXPECT_TRUE(sandbox::Exists(kLinks + link)) << sandbox::Narrow(link);
    EXPECT_EQ(std::string(3000, 'o'), sandbox::Read(hard + L"\\outside.bin"));
    // Byte for byte, every neighbour ("": gone), under names exactly as written ("\\?\" paths).
    const std::wstring exactNames = L"\\\\?\\" + kLinks + L"\\names\\";
    const std::pair<std::wstring, std::string> after[] = {
        {exactNames + L"sub.", ""}, {exactNames + L"sub\\in.txt", "the neighbour of sub."}, {exactNames + L"h ", ""},
        {exactNames + L"h\\in.txt", "the neighbour of h "}, {exactNames + L"no-short.", "no short name"},
        {exactNames + L"no-short", "the neighbour of no-short."}, {L"T:\\ramdisk", ""},
        {L"T:\\ramdisk_links\\target\\keep.txt", "behind a link"}};
    for (const auto &item : after) {
        if (item.second.empty())
            EXPECT_FALSE(sandbox::Exists(item.first)) << sandbox::Narrow(item.first);
        else
            EXPECT_EQ(item.second, sandbox::Read(item.first)) << sandbox::Narrow(item.first);
    }
    EXPECT_TRUE(sandbox::Exists(L"T:\\ramdisk_links\\dirlink"));
    EXPECT_EQ(hiddenReadOnly, GetFileAttributesW((hard + L"\\outside.bin").c_str()) & hiddenReadOnly);
}


// In a double-byte code page a folder name may end in a character whose second byte is 0x5C, the
// byte of the backslash: cp932 has "\x95\x5C" and "\x83\x5C". The files in such folders are no
// links, and the label names them whole. Runs as core_tests_cp932, under a Japanese locale.
TEST(LinkSafety, FoldersEndingInADoubleByteCharacterWithTrailByte5CAreNoLinks)
{
    const char *codePage = std::getenv("ORVEX_CODE_PAGE");
    if (!codePage)
        GTEST_SKIP() << "needs a double-byte code page: see core_tests_cp932";
    ASSERT_EQ(static_cast<UINT>(std::atoi(codePage)), GetACP()) << "the locale did not bring its code page";
    const std::string root = sandbox::Narrow(sandbox::FreshFolder(L"dbcs"));
    // Through ".": a path that resolves to itself word for word needs no look at its folder; these
    // have the check compare the folder's resolved path with the file's.
    const std::string folders[] = {root + "\\.\\\x95\x5C", root + "\\.\\x\x83\x5C"};
    for (const std::string &folder : folders)
        sandbox::Make(sandbox::Wide(folder + "\\\x95\x5C.txt"));
    Handler handler = NewHandler();
    CFileCalls calls;
    std::set<std::string> labels;
    calls.onWrite = [&](size_t) { labels.insert(Label(*handler.Get())); };

    EXPECT_EQ(Paths(), ClearRaw(*handler.Get(), {folders[0] + "\\\x95\x5C.txt", folders[1]}));

    EXPECT_EQ(6u, calls.writes.size());
    EXPECT_EQ(std::set<std::string>{"Corrupting file: \x95\x5C.txt"}, labels);
    EXPECT_FALSE(sandbox::Exists(sandbox::Wide(folders[0] + "\\\x95\x5C.txt")));
    EXPECT_FALSE(sandbox::Exists(sandbox::Wide(folders[1])));
}
