#include <gtest/gtest.h>

#include "HandlerHarness.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <new>
#include <oleauto.h>

#include "ImportHook.h"
#include "OrvexShellExtensions.h"
#include "support/TestObjects.h"
#include "delete/Requests.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

namespace {

const char kMenuText[] = "Talmior 2005 Trial Secure Delete";
const char kConfirmOne[] = "Do you really want delete selected item\rusing Talmior 2005 Secure Delete ?";
const char kConfirmSeveral[] = "Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?";
const char kEmptySelection[] = "Internal error.\rUnable to delete file";
const DISPID kClearRecycleId = 0x60020000;
const DISPID kClearRawId = 0x60020001;

void AppendAll(PathList &list, const Paths &paths)
{
    for (const std::string &path : paths)
        list.Append(path.c_str());
}

// The automation methods take the module's request records disguised as IUnknown pointers.
IUnknown *AsUnknown(void *record)
{
    return static_cast<IUnknown *>(record);
}

// Same layout as a path-list request, but not one of the module's records.
struct LookalikeRequest
{
    PathList paths;
    PathList unused;
};

// While it lives, the C runtime's malloc (which the module's strings and lists use) refuses one
// call: the one after `allowed` successful calls. One only: the C++ runtime itself allocates while
// it throws, and a runtime that cannot throw is not what is being tested.
class CFailingMalloc
{
public:
    explicit CFailingMalloc(size_t allowed) : m_hook("msvcrt.dll", "malloc", Arm(allowed)) {}
    static inline bool s_refused = false;

private:
    using MallocFunction = void *(__cdecl *)(size_t);
    static inline size_t s_allowed = 0;
    static inline MallocFunction s_original = nullptr;

    // Sets the counters and the way back before the slot is pointed at Malloc.
    static void *Arm(size_t allowed)
    {
        void **slot = ImportSlot("msvcrt.dll", "malloc");
        s_original = slot ? reinterpret_cast<MallocFunction>(*slot) : nullptr;
        s_allowed = allowed;
        s_refused = false;
        return reinterpret_cast<void *>(&Malloc);
    }
    static void *__cdecl Malloc(size_t size)
    {
        if (s_allowed == 0 && !s_refused) {
            s_refused = true;
            return nullptr;
        }
        s_allowed -= s_allowed > 0;
        return s_original(size);
    }
    CImportHook m_hook;
};

// While it lives, records the root and flags of each SHEmptyRecycleBinA call, letting none reach
// the shell.
class CEmptyBinSpy
{
public:
    CEmptyBinSpy() : m_hook("shell32.dll", "SHEmptyRecycleBinA", reinterpret_cast<void *>(&Record)) { s_calls.clear(); }
    static inline std::vector<std::pair<std::string, DWORD>> s_calls;

private:
    static HRESULT WINAPI Record(HWND, LPCSTR root, DWORD flags)
    {
        s_calls.emplace_back(root ? root : "", flags);
        return S_OK;
    }
    CImportHook m_hook;
};

// While it lives, follows the module's file calls: every path it opens, lists, deletes or
// removes, in order, and for each file it deleted how many writes the file had received.
class CFileCallLog
{
public:
    CFileCallLog()
        : m_create("kernel32.dll", "CreateFileA", reinterpret_cast<void *>(&Create)),
          m_write("kernel32.dll", "WriteFile", reinterpret_cast<void *>(&Write)),
          m_delete("kernel32.dll", "DeleteFileA", reinterpret_cast<void *>(&Delete)),
          m_find("kernel32.dll", "FindFirstFileW", reinterpret_cast<void *>(&FindFirst)),
          m_remove("kernel32.dll", "RemoveDirectoryA", reinterpret_cast<void *>(&Remove))
    {
        s_active = this;
    }
    ~CFileCallLog() { s_active = nullptr; }

    std::vector<std::string> m_paths;
    std::map<std::string, size_t> m_writesBeforeDeletion;
    // Called after each write with the number of writes so far.
    std::function<void(size_t)> m_onWrite;

private:
    using CreateFunction = HANDLE(WINAPI *)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    using WriteFunction = BOOL(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    using PathFunction = BOOL(WINAPI *)(LPCSTR);
    using FindFirstFunction = HANDLE(WINAPI *)(LPCWSTR, LPWIN32_FIND_DATAW);

    static HANDLE WINAPI Create(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        const HANDLE file = s_active->m_create.Original<CreateFunction>()(path, access, share, security, disposition,
                                                                          flags, templateFile);
        s_active->m_paths.push_back(path);
        if (file != INVALID_HANDLE_VALUE && (access & GENERIC_WRITE))
            s_active->m_writing[file] = path;
        return file;
    }
    static BOOL WINAPI Write(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
    {
        const BOOL ok = s_active->m_write.Original<WriteFunction>()(file, buffer, size, written, overlapped);
        ++s_active->m_writes[s_active->m_writing[file]];
        if (s_active->m_onWrite)
            s_active->m_onWrite(++s_active->m_writeCount);
        return ok;
    }
    static BOOL WINAPI Delete(LPCSTR path)
    {
        const BOOL ok = s_active->m_delete.Original<PathFunction>()(path);
        s_active->m_paths.push_back(path);
        if (ok)
            s_active->m_writesBeforeDeletion[path] = s_active->m_writes[path];
        return ok;
    }
    static HANDLE WINAPI FindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
    {
        char shown[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, pattern, -1, shown, sizeof(shown) - 1, nullptr, nullptr);
        s_active->m_paths.push_back(shown);
        return s_active->m_find.Original<FindFirstFunction>()(pattern, data);
    }
    static BOOL WINAPI Remove(LPCSTR path)
    {
        s_active->m_paths.push_back(path);
        return s_active->m_remove.Original<PathFunction>()(path);
    }

    static inline CFileCallLog *s_active = nullptr;
    std::map<HANDLE, std::string> m_writing;
    std::map<std::string, size_t> m_writes;
    size_t m_writeCount = 0;
    CImportHook m_create, m_write, m_delete, m_find, m_remove;
};

// The pass count ("Slider") while it lives; afterwards the settings are as they were: an earlier
// value put back, or the value and the keys made for it removed.
class CPassCountSetting
{
public:
    explicit CPassCountSetting(DWORD passes)
    {
        for (const char *key : kKeys) {
            HKEY existing = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &existing) == ERROR_SUCCESS)
                RegCloseKey(existing);
            else
                m_madeKeys.push_back(key);
        }
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKeys[0], 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                                 nullptr, &key, nullptr));
        m_key.Reset(key);
        m_hadValue = RegQueryValueExA(key, kValue, nullptr, &m_type, m_earlier, &m_size) == ERROR_SUCCESS;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&passes), sizeof(passes)));
    }
    ~CPassCountSetting()
    {
        if (m_hadValue)
            RegSetValueExA(m_key.Get(), kValue, 0, m_type, m_earlier, m_size);
        else
            RegDeleteValueA(m_key.Get(), kValue);
        m_key.Reset();
        for (const char *key : m_madeKeys)
            RegDeleteKeyA(HKEY_CURRENT_USER, key);
    }
    CPassCountSetting(const CPassCountSetting &) = delete;
    CPassCountSetting &operator=(const CPassCountSetting &) = delete;

private:
    // The deepest first, so that each is empty when its turn comes.
    static constexpr const char *kKeys[] = {"Software\\Kessane\\Talmior 2004\\Secure",
                                            "Software\\Kessane\\Talmior 2004", "Software\\Kessane"};
    static constexpr const char *kValue = "Slider";
    CRegKey m_key;
    std::vector<const char *> m_madeKeys;
    bool m_hadValue = false;
    DWORD m_type = REG_NONE;
    BYTE m_earlier[256] = {};
    DWORD m_size = sizeof(m_earlier);
};

// The progress dialog's Cancel, clicked as a user would: the engine's message step delivers it.
void ClickCancel(COrvexDeleteFile &handler)
{
    PostMessageA(GetDlgItem(handler.m_progress.m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
}

} // namespace

TEST(HandlerInterfaces, FacesAndTypeInformationComeFromTheModulesLibrary)
{
    CComPtr<ICOrvexDeleteFile> handler = MakeHandler<ICOrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_TRUE(handler);
    ExpectInterfaces(handler.Get(), {IID_IShellExtInit, IID_IContextMenu, IID_IProvideClassInfo});
    for (const IID *iid : {&IID_IUnknown, &IID_IDispatch}) {
        CComPtr<IUnknown> face;
        ASSERT_EQ(S_OK, handler->QueryInterface(*iid, face.ReceiveVoid()));
        EXPECT_EQ(static_cast<void *>(handler.Get()), static_cast<void *>(face.Get())) << "the automation face";
    }
    for (const IID *iid : {&IID_IClassFactory, &IID_IContextMenu2, &IID_IDataObject, &IID_IShellinkHandler}) {
        void *face = reinterpret_cast<void *>(1);
        EXPECT_EQ(E_NOINTERFACE, handler->QueryInterface(*iid, &face));
        EXPECT_EQ(nullptr, face);
    }

    CComPtr<COrvexDeleteFile> object = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ExpectTypeInfo(object.Get(), object.Get(), IID_ICOrvexDeleteFile, CLSID_CCOrvexDeleteFile);
    EXPECT_EQ(E_POINTER, object->GetTypeInfoCount(nullptr));
    EXPECT_EQ(E_POINTER, object->GetClassInfo(nullptr));
    OLECHAR *names[] = {const_cast<OLECHAR *>(L"ClearRecycle"), const_cast<OLECHAR *>(L"ClearRaw")};
    DISPID ids[2] = {};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &ids[0]));
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &ids[1]));
    EXPECT_EQ(kClearRecycleId, ids[0]);
    EXPECT_EQ(kClearRawId, ids[1]);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, object->GetIDsOfNames(IID_IUnknown, &names[1], 1, 0, &ids[1]));
}

TEST(HandlerInitialize, CopiesTheDropListInOrderOrGivesUpTheMutex)
{
    const Paths selection = {"S:\\b.txt", "S:\\a folder", "T:\\c.bin", "S:\\not there"};
    CComPtr<CRecordingHandler> handler = RecordingHandler(selection);
    EXPECT_EQ(selection, Strings(handler->m_paths));
    EXPECT_TRUE(handler->m_hSyncMutex) << "the selection's handler owns the sync mutex";
    EXPECT_FALSE(handler->m_bMutexExisted);
    handler.Reset();

    CComPtr<CRecordingHandler> unusable = RecordingHandler();
    EXPECT_EQ(E_INVALIDARG, unusable->Initialize(nullptr, nullptr, nullptr));
    EXPECT_FALSE(unusable->m_hSyncMutex);
    EXPECT_EQ(E_FAIL, unusable->Initialize(nullptr, MakeSelection({"S:\\x"}, false).Get(), nullptr));
    EXPECT_FALSE(unusable->m_hSyncMutex);
    EXPECT_EQ(0u, unusable->m_paths.Count());
    EXPECT_FALSE(RecordingHandler({"S:\\x"})->m_bMutexExisted) << "nothing left held: the next one is alone";
}

// Out of memory while the selection is copied: E_OUTOFMEMORY, no half selection kept, and the
// mutex given up so that the next menu is not left without its item.
TEST(HandlerInitialize, OutOfMemoryKeepsNoHalfSelection)
{
    const Paths selection = {"S:\\one", "S:\\two", "S:\\three", "S:\\four"};
    bool refusedSomewhere = false;
    for (size_t allowed = 0; allowed < 12; ++allowed) {
        SCOPED_TRACE(testing::Message() << "after " << allowed << " allocations");
        CComPtr<CRecordingHandler> handler = RecordingHandler();
        CComPtr<IDataObject> data = MakeSelection(selection);
        HRESULT hr;
        bool refused;
        {
            CFailingMalloc failing(allowed);
            hr = handler->Initialize(nullptr, data.Get(), nullptr);
            refused = CFailingMalloc::s_refused;
        }
        refusedSomewhere = refusedSomewhere || refused;
        EXPECT_EQ(refused ? E_OUTOFMEMORY : S_OK, hr);
        EXPECT_EQ(refused ? Paths() : selection, Strings(handler->m_paths));
        EXPECT_EQ(!refused, bool(handler->m_hSyncMutex));
    }
    EXPECT_TRUE(refusedSomewhere) << "no allocation was ever refused: the case tests nothing";
}

TEST(HandlerMenu, OneItemAtTheGivenPlaceForEveryRequestAndNoCommandStrings)
{
    for (UINT flags : {CMF_NORMAL, CMF_DEFAULTONLY, CMF_VERBSONLY, CMF_EXPLORE}) {
        SCOPED_TRACE(flags);
        CMenu menu;
        AppendMenuA(menu.Get(), MF_STRING, 1, "Open");
        AppendMenuA(menu.Get(), MF_STRING, 2, "Properties");
        EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1),
                  RecordingHandler({"S:\\x"})->QueryContextMenu(menu.Get(), 1, 731, 800, flags));
        EXPECT_EQ((Items{{1, "Open"}, {731, kMenuText}, {2, "Properties"}}), MenuItems(menu.Get()));
    }
    CComPtr<IContextMenu> menu = MakeHandler<IContextMenu>(IID_IContextMenu);
    ASSERT_TRUE(menu);
    char buffer[64] = "untouched";
    for (UINT type : {GCS_VERBA, GCS_HELPTEXTA, GCS_VALIDATEA, GCS_VERBW, GCS_HELPTEXTW})
        EXPECT_EQ(E_NOTIMPL, menu->GetCommandString(0, type, nullptr, buffer, sizeof(buffer))) << "type " << type;
    EXPECT_STREQ("untouched", buffer);
}

TEST(HandlerCommand, AnyVerbOrNoArgumentRunsTheConfirmedCommandOnTheWholeSelection)
{
    CMINVOKECOMMANDINFO byOffset = CommandInfo(MAKEINTRESOURCEA(0)), byOtherOffset = CommandInfo(MAKEINTRESOURCEA(7));
    CMINVOKECOMMANDINFO byVerb = CommandInfo("delete");
    const struct
    {
        CMINVOKECOMMANDINFO *info;
        Paths selection;
        const char *question;
    } rows[] = {{&byOffset, {"S:\\one.txt"}, kConfirmOne},
                {&byOtherOffset, {"S:\\one.txt"}, kConfirmOne},
                {&byVerb, {"S:\\one.txt"}, kConfirmOne},
                {nullptr, {"S:\\one.txt"}, kConfirmOne},
                {nullptr, {"S:\\1", "S:\\2", "S:\\3"}, kConfirmSeveral}};
    for (const auto &row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        CComPtr<CRecordingHandler> handler = RecordingHandler(row.selection);
        DialogAnswerer answers({IDOK});
        EXPECT_EQ(S_OK, handler->InvokeCommand(row.info));
        EXPECT_EQ(Paths{row.question}, answers.Texts());
        EXPECT_EQ(row.selection, handler->m_deleted) << "all handed on, in order";
        EXPECT_TRUE(handler->m_progressOpen) << "deletion runs with the progress dialog open";
        EXPECT_FALSE(IsWindow(handler->m_progress.m_hWnd)) << "the progress dialog is closed at the end";
    }
}

TEST(HandlerCommand, DecliningDeletesNothingAndOpensNoProgress)
{
    const std::string folder = sandbox::FreshFolder("handler_decline");
    const std::string one = folder + "\\only.txt", two = folder + "\\second.txt";
    MakeFile(one);
    MakeFile(two);
    const struct
    {
        Paths selection;
        HRESULT result; // E_FAIL for one item declined, S_OK for several
        const char *question;
    } rows[] = {{{one}, E_FAIL, kConfirmOne}, {{one, two, folder}, S_OK, kConfirmSeveral}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.question);
        CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
        ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(row.selection).Get(), nullptr));
        DialogAnswerer answers({IDCANCEL});
        EXPECT_EQ(row.result, handler->InvokeCommand(nullptr));
        EXPECT_EQ(Paths{row.question}, answers.Texts());
        EXPECT_EQ(nullptr, handler->m_progress.m_hWnd);
    }
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(one));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(two));
}

TEST(HandlerCommand, ConfirmedSelectionAndAPathListAreDestroyedAndNothingBeside)
{
    const std::string folder = sandbox::FreshFolder("handler_confirm");
    const std::string tree = folder + "\\tree";
    for (const char *name : {"\\chosen.txt", "\\neighbour.txt", "\\x.txt", "\\y.txt"})
        MakeFile(folder + name);
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    MakeFile(tree + "\\inside.bin", std::string(70000, 'x'));

    CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection({folder + "\\chosen.txt", tree}).Get(), nullptr));
    {
        DialogAnswerer answers({IDOK});
        EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
        EXPECT_EQ(Paths{kConfirmSeveral}, answers.Texts()) << "no error reported";
    }
    EXPECT_FALSE(sandbox::Exists(folder + "\\chosen.txt"));
    EXPECT_FALSE(sandbox::Exists(tree));

    PathListRequest request;
    AppendAll(request.paths, {folder + "\\x.txt", folder + "\\y.txt"});
    CComPtr<ICOrvexDeleteFile> raw = MakeHandler<ICOrvexDeleteFile>(IID_ICOrvexDeleteFile);
    DialogAnswerer answers({});
    EXPECT_EQ(S_OK, raw->ClearRaw(AsUnknown(&request)));
    EXPECT_TRUE(answers.Texts().empty()) << "no question in path-list mode";
    EXPECT_FALSE(sandbox::Exists(folder + "\\x.txt"));
    EXPECT_FALSE(sandbox::Exists(folder + "\\y.txt"));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(folder + "\\neighbour.txt"));
}

// Wine's DragQueryFileA counts an empty drop list as one or more empty paths, so the empty
// selection is set up directly: a handler whose list is empty when its command runs.
// Wine's DragQueryFileA counts an empty drop list as one empty entry: it must not become a path.
TEST(HandlerCommand, EmptySelectionIsReportedAndEndsTheCommand)
{
    CComPtr<CRecordingHandler> handler = RecordingHandler();
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection({}).Get(), nullptr));
    EXPECT_EQ(0u, handler->m_paths.Count());
    DialogAnswerer answers({IDOK});
    EXPECT_EQ(E_FAIL, handler->InvokeCommand(nullptr));
    EXPECT_EQ(Paths{kEmptySelection}, answers.Texts()) << "no confirmation follows the message";
    EXPECT_EQ(0u, answers.Unexpected());
    EXPECT_TRUE(handler->m_deleted.empty());
    EXPECT_EQ(nullptr, handler->m_progress.m_hWnd);
}

// A WM_QUIT that reaches the host's thread during a run (between items, between bins, between
// the chunks of a file) is in the queue again, with its exit code, when the command returns. The
// run goes on to its end meanwhile, and a report in the middle of it still waits for the user.
TEST(HandlerCommand, AQuitDuringTheRunIsQueuedAgainWhenTheCommandReturns)
{
    const std::string folder = sandbox::FreshFolder("handler_quit");
    const std::string written = folder + "\\written.bin", locked = folder + "\\locked.txt";
    const auto quitAtFirstItem = [](CRecordingHandler &handler, int code) {
        handler.m_onDelete = [code](size_t handed) {
            if (handed == 1)
                PostQuitMessage(code);
        };
    };
    const struct
    {
        const char *name;
        int code;
        std::function<void(int)> run;
    } rows[] = {
        {"menu run of two items", 11,
         [&](int code) {
             CComPtr<CRecordingHandler> handler = RecordingHandler({"S:\\q1", "S:\\q2"});
             quitAtFirstItem(*handler.Get(), code);
             DialogAnswerer answers({IDOK});
             EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
             EXPECT_EQ((Paths{"S:\\q1", "S:\\q2"}), handler->m_deleted);
         }},
        {"two bins", 12,
         [&](int code) {
             RecycleRequest request;
             request.useKeepList = true;
             AppendAll(request.folders, {"S:\\bin1", "T:\\bin2"});
             CEmptyBinSpy bins;
             CComPtr<CRecordingHandler> handler = RecordingHandler();
             quitAtFirstItem(*handler.Get(), code);
             EXPECT_EQ(S_OK, handler->ClearRecycle(AsUnknown(&request)));
             EXPECT_EQ((Paths{"S:\\bin1", "T:\\bin2"}), handler->m_deleted);
             EXPECT_EQ(2u, CEmptyBinSpy::s_calls.size());
         }},
        {"a file being overwritten, then a report", 13,
         [&](int code) {
             MakeFile(written, std::string(120000, 'w'));
             MakeFile(locked);
             const CFileHandle lock(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             PathListRequest request;
             AppendAll(request.paths, {written, locked});
             CComPtr<ICOrvexDeleteFile> handler = MakeHandler<ICOrvexDeleteFile>(IID_ICOrvexDeleteFile);
             DialogAnswerer answers({IDOK});
             PostQuitMessage(code);
             EXPECT_EQ(S_OK, handler->ClearRaw(AsUnknown(&request)));
             EXPECT_FALSE(sandbox::Exists(written));
             EXPECT_EQ(Paths{"Unable to corrupt file locked.txt"}, answers.Texts());
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.run(row.code);
        MSG quit = {};
        EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was dropped";
        EXPECT_EQ(static_cast<WPARAM>(row.code), quit.wParam);
        EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "one quit, posted once";
    }
}

TEST(HandlerCommand, BothRequestsSetMeansShellModeWithAQuestion)
{
    RecycleRequest recycle;
    recycle.useKeepList = true;
    PathListRequest list;
    CComPtr<CRecordingHandler> handler = RecordingHandler({"S:\\a", "S:\\b"});
    handler->m_pRecycleRequest = &recycle;
    handler->m_pPathListRequest = &list;
    DialogAnswerer answers({IDCANCEL});
    EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
    EXPECT_EQ(Paths{kConfirmSeveral}, answers.Texts());
    EXPECT_TRUE(handler->m_deleted.empty());
}

TEST(HandlerAutomation, ClearRawStopsOnCancelAndTakesNothingWithoutMemory)
{
    PathListRequest request;
    AppendAll(request.paths, {"S:\\p1", "S:\\p2", "S:\\p3"});
    CComPtr<CRecordingHandler> handler = RecordingHandler();
    handler->m_onDelete = [&](size_t handed) {
        if (handed == 2)
            handler->m_bCancelled = true; // as the progress dialog's Cancel does
    };
    DialogAnswerer answers({});
    EXPECT_EQ(S_OK, handler->ClearRaw(AsUnknown(&request)));
    EXPECT_EQ((Paths{"S:\\p1", "S:\\p2"}), handler->m_deleted) << "stopped before the third path";
    EXPECT_TRUE(answers.Texts().empty()) << "no question in path-list mode";
    EXPECT_EQ(E_FAIL, handler->ClearRaw(nullptr));

    CComPtr<CRecordingHandler> starved = RecordingHandler();
    HRESULT hr;
    {
        CFailingMalloc failing(0);
        hr = starved->ClearRaw(AsUnknown(&request));
    }
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_TRUE(starved->m_deleted.empty());
    EXPECT_EQ(0u, starved->m_paths.Count());
}

TEST(HandlerAutomation, ClearRecycleNeedsTheKeepListEmptiesEachBinQuietlyAndStopsOnCancel)
{
    RecycleRequest request;
    AppendAll(request.folders, {"S:\\bin1", "T:\\bin2"});
    CEmptyBinSpy bins;
    DialogAnswerer answers({});
    CComPtr<CRecordingHandler> refused = RecordingHandler();
    EXPECT_EQ(E_FAIL, refused->ClearRecycle(AsUnknown(&request))) << "useKeepList false";
    EXPECT_TRUE(refused->m_deleted.empty());
    EXPECT_EQ(nullptr, refused->m_progress.m_hWnd);

    request.useKeepList = true;
    CComPtr<CRecordingHandler> handler = RecordingHandler();
    EXPECT_EQ(S_OK, handler->ClearRecycle(AsUnknown(&request)));
    EXPECT_EQ((Paths{"S:\\bin1", "T:\\bin2"}), handler->m_deleted);
    const DWORD quietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
    ASSERT_EQ(2u, CEmptyBinSpy::s_calls.size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::make_pair(handler->m_deleted[i], quietly), CEmptyBinSpy::s_calls[i]);
    }
    EXPECT_TRUE(answers.Texts().empty()) << "no question in recycle mode";
    // The record was the caller's for that call only: the same handler's next ClearRaw runs in
    // path-list mode, without a question.
    PathListRequest raw;
    AppendAll(raw.paths, {"S:\\raw"});
    EXPECT_EQ(S_OK, handler->ClearRaw(AsUnknown(&raw)));
    EXPECT_EQ((Paths{"S:\\bin1", "T:\\bin2", "S:\\raw"}), handler->m_deleted);
    EXPECT_TRUE(answers.Texts().empty());

    CComPtr<CRecordingHandler> cancelled = RecordingHandler();
    cancelled->m_onDelete = [&](size_t) { cancelled->m_bCancelled = true; };
    EXPECT_EQ(S_OK, cancelled->ClearRecycle(AsUnknown(&request)));
    EXPECT_EQ(Paths{"S:\\bin1"}, cancelled->m_deleted);
    EXPECT_EQ(2u, CEmptyBinSpy::s_calls.size()) << "the bin cancelled half-way is not emptied";
    EXPECT_EQ(E_FAIL, cancelled->ClearRecycle(nullptr));
}

TEST(HandlerAutomation, ForeignPointersAreRefusedUnreadAlsoThroughInvoke)
{
    const std::string victim = sandbox::FreshFolder("handler_foreign") + "\\victim.txt";
    MakeFile(victim);
    LookalikeRequest lookalike;
    lookalike.paths.Append(victim.c_str());
    CComPtr<IDataObject> realObject = MakeSelection({victim});
    // A record of the other kind is not accepted either, nor one that has gone.
    RecycleRequest recycle;
    recycle.useKeepList = true;
    recycle.folders.Append(victim.c_str());
    alignas(PathListRequest) char storage[sizeof(PathListRequest)];
    PathListRequest *gone = new (storage) PathListRequest;
    gone->paths.Append(victim.c_str());
    gone->~PathListRequest();

    CComPtr<CRecordingHandler> handler = RecordingHandler();
    DialogAnswerer answers({});
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(AsUnknown(&lookalike)));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRecycle(AsUnknown(&lookalike)));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(realObject.Get()));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRecycle(realObject.Get()));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(AsUnknown(&recycle)));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(AsUnknown(gone)));

    for (DISPID id : {kClearRawId, kClearRecycleId}) {
        VARIANTARG argument;
        VariantInit(&argument);
        argument.vt = VT_UNKNOWN;
        argument.punkVal = realObject.Get();
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argError = 0;
        const HRESULT hr = handler->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError);
        EXPECT_TRUE(FAILED(hr)) << "dispid " << std::hex << id << " gave " << hr;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    EXPECT_TRUE(handler->m_deleted.empty());
    EXPECT_EQ(0u, handler->m_paths.Count());
    EXPECT_TRUE(answers.Texts().empty());
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(victim));
}

// A selected item is used only under a path that reaches it and nothing else: never in
// DragQueryFileA's cut or best-fit forms, which name other files; a name that the ANSI code page
// cannot spell by the item's own short name. An item without such a path is reported once, after
// the question, and the rest of the selection goes on. Whatever is deleted is overwritten first.
TEST(HandlerCommand, SelectedItemsAreReachedByTheirOwnPathsOrReportedAndNothingBesideIsTouched)
{
    const std::string folder = sandbox::FreshFolder("handler_selection");
    const std::wstring at = sandbox::Wide(folder) + L"\\";
    const auto make = [](const std::wstring &path) {
        SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        sandbox::WriteFileBytes(path, "bytes of " + sandbox::Narrow(path));
    };
    const auto shortName = [](const std::wstring &path) {
        wchar_t buffer[MAX_PATH] = {};
        GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
        return std::wstring(buffer).substr(std::wstring(buffer).rfind(L'\\') + 1);
    };
    const std::wstring longPath = at + std::wstring(MAX_PATH - folder.size() - 4, L'V') + L"-long.txt";
    const std::wstring cut = longPath.substr(0, MAX_PATH - 1);
    const std::wstring omega = at + L"\x03A9mega.txt", other = at + L"\x03A9mega-other.txt", tree = at + L"\x03A9dir";
    const std::wstring dots = at + L"sub\\\xFF0E\xFF0E\xFF3Coutside.txt";
    make(omega);
    make(other);
    // Beside the first, a name like its short name but for its number. The second's short name
    // borne by another file, made first, as its long name: some systems (Wine) allow it.
    std::wstring nextNumber = shortName(omega);
    wchar_t &digit = nextNumber[nextNumber.find(L'.') - 1];
    digit = digit == L'A' ? L'B' : L'A';
    const std::wstring squatter = at + shortName(other);
    DeleteFileW(other.c_str());
    make(squatter);
    make(other);
    const struct
    {
        std::vector<std::wstring> made; // each with bytes of its own, kept unless it is to go
        std::vector<std::wstring> selected; // besides plain.txt
        std::vector<std::wstring> gone; // besides plain.txt
        bool wideList;
        Paths reported;
        size_t overwritten; // files overwritten, then deleted, plain.txt included
    } rows[] = {
        {{longPath, cut}, {longPath}, {}, false, {ShownPath(sandbox::Narrow(longPath))}, 1},
        {{omega, at + L"Omega.txt", at + L"\x03A9mega-b.txt", at + nextNumber}, {omega}, {omega}, true, {}, 2},
        {{dots, at + L"outside.txt"}, {dots}, {dots}, true, {}, 2},
        {{tree + L"\\\x6587\x4EF6.docx", tree + L"\\\x03A9sub\\x.txt", tree + L"\\name.txt", at + L"Odir\\x.txt"},
         {tree},
         {tree},
         true,
         {},
         4},
        {{other, squatter}, {other}, {}, true, {folder + "\\?mega-other.txt"}, 1},
        {{L"T:\\handler_relative.txt"}, {L"T:"}, {}, false, {"T:"}, 1},
    };
    const std::wstring plain = at + L"plain.txt";
    CPassCountSetting passes(1);
    for (const auto &row : rows) {
        SCOPED_TRACE(sandbox::Narrow(row.selected[0]));
        for (const std::wstring &path : row.made)
            make(path);
        make(plain);
        std::vector<std::wstring> wide = row.selected;
        wide.push_back(plain);
        Paths narrow;
        for (const std::wstring &path : wide)
            narrow.push_back(sandbox::Narrow(path));
        CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
        CComPtr<IDataObject> selection = row.wideList ? MakeWideSelection(wide) : MakeSelection(narrow);
        ASSERT_EQ(S_OK, handler->Initialize(nullptr, selection.Get(), nullptr));
        DialogAnswerer answers({IDOK, IDOK});
        CFileCallLog log;
        EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));

        Paths texts = {kConfirmSeveral};
        for (const std::string &path : row.reported)
            texts.push_back("Unable to delete file " + path);
        EXPECT_EQ(texts, answers.Texts());
        EXPECT_FALSE(sandbox::Exists(plain)) << "the rest of the selection goes on";
        for (const std::wstring &path : row.gone)
            EXPECT_FALSE(sandbox::Exists(path)) << sandbox::Narrow(path);
        for (const std::wstring &path : row.made) {
            const bool goes = std::any_of(row.gone.begin(), row.gone.end(),
                                          [&](const std::wstring &gone) { return path.rfind(gone, 0) == 0; });
            if (!goes) {
                EXPECT_EQ("bytes of " + sandbox::Narrow(path), sandbox::ReadFileBytes(path)) << sandbox::Narrow(path);
            }
        }
        EXPECT_EQ(row.overwritten, log.m_writesBeforeDeletion.size());
        for (const auto &deleted : log.m_writesBeforeDeletion)
            EXPECT_EQ(3u, deleted.second) << "three sweeps before " << deleted.first;
    }
    sandbox::RemoveTree("T:\\handler_relative.txt");
}

TEST(HandlerCommand, WithTwoPassesEveryDeletedFileWasWrittenSixTimesFirstWhicheverWayTheCommandCame)
{
    enum Mode { Menu, PathListMode, RecycleMode };
    for (Mode mode : {Menu, PathListMode, RecycleMode}) {
        SCOPED_TRACE(mode);
        const std::string folder = sandbox::FreshFolder("handler_passes");
        const std::map<std::string, size_t> sixEach = {
            {folder + "\\a.txt", 6}, {folder + "\\tree\\b.bin", 6}, {folder + "\\tree\\deeper\\c.txt", 6}};
        ASSERT_TRUE(SHCreateDirectoryExA(nullptr, (folder + "\\tree\\deeper").c_str(), nullptr) == ERROR_SUCCESS);
        MakeFile(folder + "\\a.txt", "ten bytes!");
        MakeFile(folder + "\\tree\\b.bin", std::string(51200, 'b'));
        MakeFile(folder + "\\tree\\deeper\\c.txt", "c");
        MakeFile(folder + "\\desktop.ini", "[.ShellClassInfo]");
        CPassCountSetting passes(2);
        CEmptyBinSpy bins;
        DialogAnswerer answers({IDOK});
        CFileCallLog log;
        CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
        PathListRequest list;
        RecycleRequest recycle;
        AppendAll(list.paths, {folder + "\\a.txt", folder + "\\tree"});
        AppendAll(recycle.folders, {folder + "\\"});
        recycle.useKeepList = true;
        recycle.keepList.Append("desktop.ini");
        switch (mode) {
        case Menu:
            ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(Strings(list.paths)).Get(), nullptr));
            EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
            break;
        case PathListMode:
            EXPECT_EQ(S_OK, handler->ClearRaw(AsUnknown(&list)));
            break;
        case RecycleMode:
            EXPECT_EQ(S_OK, handler->ClearRecycle(AsUnknown(&recycle)));
            break;
        }
        EXPECT_EQ(sixEach, log.m_writesBeforeDeletion) << "2 passes of 3 sweeps, one chunk each";
        EXPECT_EQ("[.ShellClassInfo]", sandbox::ReadFileBytes(folder + "\\desktop.ini"));
        EXPECT_EQ(mode == Menu ? Paths{kConfirmSeveral} : Paths(), answers.Texts());
    }
}

TEST(HandlerCommand, CancelClickedDuringAMenuRunOfSeveralItemsKeepsTheLaterItemsWhole)
{
    const std::string folder = sandbox::FreshFolder("handler_cancel");
    const std::string bytes(2 * 51200, 'k');
    Paths selection;
    for (const char *name : {"\\f0.bin", "\\f1.bin", "\\f2.bin", "\\f3.bin", "\\f4.bin"}) {
        selection.push_back(folder + name);
        MakeFile(selection.back(), bytes);
    }
    CPassCountSetting passes(1);
    CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(selection).Get(), nullptr));
    DialogAnswerer answers({IDOK});
    CFileCallLog log;
    // Six chunk writes per file: the click comes while the third item is being written.
    log.m_onWrite = [&](size_t writes) {
        if (writes == 6 * 2 + 3)
            ClickCancel(*handler.Get());
    };
    EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));

    EXPECT_EQ(Paths{kConfirmSeveral}, answers.Texts());
    EXPECT_FALSE(sandbox::Exists(selection[0]));
    EXPECT_FALSE(sandbox::Exists(selection[1]));
    bool exists = false;
    EXPECT_NE(bytes, sandbox::ReadFileBytes(selection[2], &exists)) << "partly overwritten";
    EXPECT_TRUE(exists) << "the item being written when the click came stays";
    EXPECT_EQ(bytes, sandbox::ReadFileBytes(selection[3])) << "after the click";
    EXPECT_EQ(bytes, sandbox::ReadFileBytes(selection[4])) << "after the click";
}

// A selected drive root gives up its contents but itself stays, attributes and all; so does a
// folder handed over with a trailing backslash (a Recycle Bin's). No path that the user is shown
// or that is opened holds a doubled backslash. The root is T:'s, the test tree's own scratch
// drive (the prefix maps it into the build tree); the case empties it first, through the sandbox
// helpers, which refuse any other drive, and checks that it holds only what the case made.
TEST(HandlerCommand, ADriveRootOrABinFolderLosesItsContentsAndStays)
{
    const DWORD rootAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const struct
    {
        const char *root;
        bool viaRecycle;
        bool busyFile; // one file that cannot be deleted, so that the user is shown its path
    } rows[] = {{"T:\\", false, false}, {"T:\\", false, true}, {"S:\\handler_bin\\", true, true}};
    for (const auto &row : rows) {
        const std::string root = row.root;
        SCOPED_TRACE(root + (row.busyFile ? " with a busy file" : ""));
        if (row.viaRecycle) {
            sandbox::FreshFolder("handler_bin");
        } else {
            WIN32_FIND_DATAW left;
            const CFindHandle leftovers(FindFirstFileW(L"T:\\*", &left));
            for (BOOL more = leftovers.IsValid(); more; more = FindNextFileW(leftovers.Get(), &left))
                if (std::wcscmp(left.cFileName, L".") && std::wcscmp(left.cFileName, L".."))
                    sandbox::RemoveTree(std::wstring(L"T:\\") + left.cFileName);
        }
        MakeFile(root + "a.txt");
        ASSERT_TRUE(CreateDirectoryA((root + "dir").c_str(), nullptr));
        MakeFile(root + "dir\\inner.txt");
        MakeFile(root + "busy.txt");
        CFileHandle busy(CreateFileA((root + "busy.txt").c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        if (!row.busyFile) {
            busy.Reset();
            DeleteFileA((root + "busy.txt").c_str());
        }
        Paths made;
        WIN32_FIND_DATAA entry;
        const CFindHandle listing(FindFirstFileA((root + "*").c_str(), &entry));
        for (BOOL more = listing.IsValid(); more; more = FindNextFileA(listing.Get(), &entry))
            if (std::strcmp(entry.cFileName, ".") && std::strcmp(entry.cFileName, ".."))
                made.push_back(entry.cFileName);
        std::sort(made.begin(), made.end());
        ASSERT_EQ(row.busyFile ? Paths({"a.txt", "busy.txt", "dir"}) : Paths({"a.txt", "dir"}), made)
            << "the drive holds something this case did not make";
        ASSERT_TRUE(SetFileAttributesA(root.c_str(), rootAttributes));

        const std::string busyReport = "Unable to delete file " + root + "busy.txt";
        Paths expected = row.viaRecycle ? Paths() : Paths{kConfirmOne};
        if (row.busyFile)
            expected.push_back(busyReport);
        CEmptyBinSpy bins;
        DialogAnswerer answers({IDOK, IDOK});
        CFileCallLog log;
        CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
        RecycleRequest recycle;
        recycle.useKeepList = true;
        recycle.folders.Append(root.c_str());
        if (row.viaRecycle) {
            EXPECT_EQ(S_OK, handler->ClearRecycle(AsUnknown(&recycle)));
        } else {
            ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection({root}).Get(), nullptr));
            EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
        }

        EXPECT_EQ(expected, answers.Texts());
        EXPECT_FALSE(sandbox::Exists(root + "a.txt"));
        EXPECT_FALSE(sandbox::Exists(root + "dir"));
        EXPECT_EQ(row.busyFile, sandbox::Exists(root + "busy.txt"));
        EXPECT_EQ(rootAttributes, GetFileAttributesA(root.c_str())) << "the root itself is left as it was";
        for (const std::string &path : log.m_paths)
            EXPECT_EQ(std::string::npos, path.find("\\\\")) << path;
        busy.Reset();
        SetFileAttributesA(root.c_str(), FILE_ATTRIBUTE_NORMAL);
        sandbox::RemoveTree(root + "busy.txt");
    }
}
