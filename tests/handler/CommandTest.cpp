// The Secure Delete command however it is started: from the menu, through ClearRaw (the shell-link
// handler's way) or ClearRecycle (the Recycle Bin cleaner's way), and through those two handlers.
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"
#include "link/CShelLinkHandler.h"
#include "module/ObjectMap.h"
#include "recycle/COrvexRecycleCleaner.h"

#include <algorithm>
#include <cctype>
#include <new>

namespace {

using Handler = CComPtr<COrvexDeleteFile>;

const char kConfirmOne[] = "Do you really want delete selected item\rusing Talmior 2005 Secure Delete ?";
const char kConfirmSeveral[] = "Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?";
const char kConfirmLink[] = "Do you really want to delete selected items\nusing Talmior 2005 Trial Secure Delete?";
const char kConfirmBins[] = "Do you really want delete items in Recycle Bin(s)\rusing Talmior 2005 Trial Secure Delete ?";

// The records travel as IUnknown pointers but are never COM objects.
IUnknown *AsUnknown(void *record) { return static_cast<IUnknown *>(record); }

// The command information a shell passes: an offset ("0" names the handler's item; "0!" forbids
// dialogs), an ANSI verb, or "L" and a wide verb (CMIC_MASK_UNICODE, with the item's offset in lpVerb).
struct CommandInfo : CMINVOKECOMMANDINFOEX
{
    explicit CommandInfo(const char *verb) : CMINVOKECOMMANDINFOEX{}, wide(sandbox::Wide(verb + 1))
    {
        cbSize = sizeof(CMINVOKECOMMANDINFOEX);
        const bool offset = std::isdigit(verb[0]), unicode = verb[0] == 'L';
        lpVerb = offset ? MAKEINTRESOURCEA(verb[0] - '0') : unicode ? nullptr : verb;
        lpVerbW = unicode ? wide.c_str() : nullptr;
        fMask = unicode ? CMIC_MASK_UNICODE : offset && verb[1] == '!' ? CMIC_MASK_FLAG_NO_UI : 0;
        nShow = SW_SHOWNORMAL;
    }
    CMINVOKECOMMANDINFO *Get() { return reinterpret_cast<CMINVOKECOMMANDINFO *>(static_cast<CMINVOKECOMMANDINFOEX *>(this)); }
    std::wstring wide;
};

// For its lifetime, the Secure Delete class that CoCreateInstance finds on this thread: the
// module's own, one whose creation fails, or one that answers as a proxy does (IMultiQI) and
// counts the calls that reach it. Lives as long as its registration, so it counts no references.
class CDeleteClass : public IClassFactory, public ICOrvexDeleteFile
{
public:
    enum Kind { Real, Failing, Proxy };
    explicit CDeleteClass(Kind kind) : m_kind(kind)
    {
        CComPtr<IUnknown> real;
        if (kind == Real)
            g_objectMap.GetClassObject(CLSID_CCOrvexDeleteFile, IID_IUnknown, real.ReceiveVoid());
        EXPECT_EQ(S_OK, CoRegisterClassObject(CLSID_CCOrvexDeleteFile, real ? real.Get() : static_cast<IClassFactory *>(this),
                                              CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie));
    }
    ~CDeleteClass() { CoRevokeClassObject(m_cookie); }
    int calls = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
            *ppv = static_cast<IClassFactory *>(this);
        else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_ICOrvexDeleteFile) || IsEqualIID(riid, IID_IMultiQI))
            *ppv = static_cast<ICOrvexDeleteFile *>(this);
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown *, REFIID riid, void **ppv) override
    {
        *ppv = nullptr;
        return m_kind == Failing ? E_OUTOFMEMORY : QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    STDMETHODIMP GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override { return E_NOTIMPL; }
    STDMETHODIMP ClearRecycle(IUnknown *) override { return ++calls, S_OK; }
    STDMETHODIMP ClearRaw(IUnknown *) override { return ++calls, S_OK; }
    const Kind m_kind;
    DWORD m_cookie = 0;
};

} // namespace

// Every file goes only after it was written over 3 times per pass, however the command was
// started. A Cancel click stops the run: what was done is done, the file being written stays
// partly overwritten, the items after it stay whole, attributes included, and a bin is emptied in
// the shell's books (quietly) only when it was done; the shell is told of every bin that lost
// anything, also a cancelled one. Declining deletes nothing (E_FAIL when one
// item was asked about). A host's WM_QUIT met during the run is queued again, once, when the
// command returns, and a report in the middle of the run still waits for the user. Meanwhile
// another menu gets its Secure Delete item again.
TEST(SecureDeleteCommand, EveryWayOfStartingItOverwritesBeforeDeletingOrStopsAtCancel)
{
    // items: files, each in a bin of its own for Recycle, all in one folder for the folder modes;
    // verb: as CommandInfo takes it, nullptr: no command information at all; cancelAt: the write
    // after which Cancel is clicked, or 0; lockedFile: one more item that cannot be overwritten;
    // emptied, told: the first bins emptied in the shell's books, and those the shell was told of.
    // Another handler's command (a verb, an offset not ours) or one without dialogs is refused
    // (E_FAIL) before a question, however answered.
    enum Mode { Menu, Raw, RawFolder, Recycle, RecycleFolder };
    const struct { const char *label; Mode mode; size_t items; DWORD passes; int answer; const char *verb; size_t cancelAt;
                   bool lockedFile; HRESULT result; Paths texts; size_t gone, partly, emptied = 0, told = 0; } rows[] = {
        {"menu, two passes", Menu, 5, 2, IDOK, "0", 0, false, S_OK, {kConfirmSeveral}, 5, 0},
        {"menu, one item declined", Menu, 1, 1, IDCANCEL, nullptr, 0, false, E_FAIL, {kConfirmOne}, 0, 0},
        {"menu, several declined", Menu, 5, 1, IDCANCEL, "0", 0, false, S_OK, {kConfirmSeveral}, 0, 0},
        {"menu, Cancel in the third item", Menu, 5, 1, IDOK, "0", 15, false, S_OK, {kConfirmSeveral}, 2, 1},
        {"menu, verb open", Menu, 2, 1, IDOK, "open", 0, false, E_FAIL, {}, 0, 0},
        {"menu, wide verb print", Menu, 2, 1, IDOK, "Lprint", 0, false, E_FAIL, {}, 0, 0},
        {"menu, verb properties", Menu, 1, 1, IDOK, "properties", 0, false, E_FAIL, {}, 0, 0},
        {"menu, another handler's offset", Menu, 2, 1, IDOK, "1", 0, false, E_FAIL, {}, 0, 0},
        {"menu, no dialogs allowed", Menu, 2, 1, IDOK, "0!", 0, false, E_FAIL, {}, 0, 0},
        {"ClearRaw, two passes, a report", Raw, 5, 2, 0, nullptr, 0, true, S_OK, {"Unable to corrupt file locked.bin"}, 5, 0},
        {"ClearRaw of a folder, Cancel", RawFolder, 5, 1, 0, nullptr, 15, false, S_OK, {}, 2, 1},
        {"ClearRecycle, two passes", Recycle, 5, 2, 0, nullptr, 0, false, S_OK, {}, 5, 0, 5, 5},
        {"ClearRecycle, Cancel in the third bin", Recycle, 5, 1, 0, nullptr, 15, false, S_OK, {}, 2, 1, 2, 2},
        {"ClearRecycle of one bin, Cancel", RecycleFolder, 5, 1, 0, nullptr, 15, false, S_OK, {}, 2, 1, 0, 1},
    };
    const std::string bytes(2 * 51200, 'k');
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const std::wstring root = sandbox::FreshFolder(L"modes");
        const bool oneFolder = row.mode == RawFolder || row.mode == RecycleFolder, bins = row.mode == Recycle || row.mode == RecycleFolder;
        WPaths files, selection;
        for (size_t i = 0; i < row.items; ++i) {
            const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
            const std::wstring bin = oneFolder ? root + L"\\dir\\" : root + L"\\b" + std::to_wstring(i) + L"\\";
            files.push_back(bins || oneFolder ? bin + name : root + L"\\" + name);
            sandbox::Make(files.back(), bytes);
            SetFileAttributesW(files.back().c_str(), attributes);
            if (bins)
                sandbox::Make(bin + L"desktop.ini", "[.ShellClassInfo]");
            if (!oneFolder || i == 0)
                selection.push_back(row.mode == RawFolder ? root + L"\\dir" : bins ? bin : files.back());
        }
        const std::wstring locked = root + L"\\locked.bin";
        sandbox::Make(locked);
        const CFileHandle lock(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (row.lockedFile)
            selection.push_back(locked);

        CPassSetting passes(row.passes);
        Handler handler = NewHandler();
        CFileCalls calls;
        HRESULT otherMenu = E_UNEXPECTED;
        const int quitCode = 10 + static_cast<int>(&row - rows);
        calls.onWrite = [&](size_t n) {
            if (n == 1) {
                PostQuitMessage(quitCode);
                otherMenu = NewHandler()->Initialize(nullptr, Selection(Paths{"S:\\other"}).Get(), nullptr);
            }
            if (n == row.cancelAt)
                ClickCancel(*handler.Get());
        };
        DialogAnswerer answers({row.answer ? row.answer : IDOK, IDOK});
        PathListRequest list;
        RecycleRequest recycle;
        Paths narrow;
        for (const std::wstring &path : selection) {
            narrow.push_back(sandbox::Narrow(path));
            list.paths.Append(narrow.back().c_str());
            recycle.folders.Append(narrow.back().c_str());
        }
        recycle.useKeepList = true;
        recycle.keepList.Append("desktop.ini");
        HRESULT hr = E_UNEXPECTED;
        if (row.mode == Menu) {
            ASSERT_EQ(S_OK, handler->Initialize(nullptr, Selection(selection).Get(), nullptr));
            hr = handler->InvokeCommand(row.verb ? CommandInfo(row.verb).Get() : nullptr);
        } else {
            hr = bins ? handler->ClearRecycle(AsUnknown(&recycle)) : handler->ClearRaw(AsUnknown(&list));
        }

        EXPECT_EQ(row.result, hr);
        EXPECT_EQ(row.texts, answers.Texts());
        size_t gone = 0, partly = 0;
        for (const std::wstring &file : files) {
            bool exists = false;
            const std::string now = sandbox::Read(file, &exists);
            gone += !exists;
            partly += exists && now != bytes;
            // The walk of a cancelled folder still visits every later entry, which resets its
            // attributes without writing a byte; the other loops stop at the next item.
            if (exists && now == bytes && !oneFolder) {
                EXPECT_EQ(attributes, GetFileAttributesW(file.c_str()) & attributes) << "a whole item is left as it was";
            }
        }
        EXPECT_EQ(row.gone, gone);
        EXPECT_EQ(row.partly, partly);
        for (const auto &deleted : calls.writesBeforeDeletion)
            EXPECT_EQ(3 * row.passes * 2, deleted.second) << deleted.first;
        EXPECT_EQ(row.emptied, calls.emptiedBins.size()) << "bins emptied in the shell's books";
        for (size_t i = 0; i < calls.emptiedBins.size(); ++i)
            EXPECT_EQ(std::make_pair(narrow[i], DWORD(SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND)), calls.emptiedBins[i]);
        EXPECT_EQ(Paths(narrow.begin(), narrow.begin() + row.told), calls.updatedFolders) << "bins the shell was told of";
        for (const std::wstring &bin : selection)
            if (bins) {
                EXPECT_EQ("[.ShellClassInfo]", sandbox::Read(bin + L"desktop.ini"));
            }
        EXPECT_EQ(oneFolder, sandbox::Exists(root + L"\\dir")) << "a folder cancelled half-way stays, and so does a bin";
        MSG quit = {};
        const bool wrote = !calls.writes.empty();
        EXPECT_EQ(wrote, PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE) << "the quit was dropped";
        EXPECT_EQ(wrote ? WPARAM(quitCode) : 0, quit.wParam);
        EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "one quit, posted once";
        if (wrote) {
            EXPECT_EQ(S_OK, otherMenu) << "another menu's Secure Delete handler withdrew during the run";
        }
    }
}

// A selected item is used only under a path that reaches it and nothing else: never in
// DragQueryFileA's cut or best-fit forms, which name other files; a name that the ANSI code page
// cannot spell by the item's own short name. An item without such a path is reported once, after
// the question, and the rest of the selection goes on. A drive's root gives up its contents but
// stays, attributes and all, and no path shown or used holds a doubled backslash. Alike in both
// Secure Delete handlers.
TEST(SecureDeleteCommand, SelectedItemsAreReachedByTheirOwnPathsOrReportedAndNothingBesideIsTouched)
{
    const std::wstring at = sandbox::FreshFolder(L"selection") + L"\\";
    const std::wstring longPath = at + std::wstring(MAX_PATH - at.size() - 3, L'V') + L"-long.txt";
    const std::wstring omega = at + L"\x03A9mega.txt", other = at + L"\x03A9mega-other.txt", tree = at + L"\x03A9dir";
    const std::wstring dots = at + L"sub\\\xFF0E\xFF0E\xFF3Coutside.txt", plain = at + L"plain.txt";
    sandbox::Make(omega);
    sandbox::Make(other);
    // Beside the first, a name like its short name but for its number. The second's short name
    // borne by another file, made first, as its long name: some systems (Wine) allow it.
    std::wstring nextNumber = sandbox::ShortName(omega);
    wchar_t &digit = nextNumber[nextNumber.rfind(L'.') - 1];
    digit = digit == L'1' ? L'2' : L'1';
    const std::wstring squatter = sandbox::ShortName(other);
    DeleteFileW(other.c_str());
    sandbox::Make(squatter);
    sandbox::Make(other);
    const DWORD rootAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    // made: each with bytes of its own, kept unless it is to go; selected and gone: besides
    // plain.txt; overwritten: files overwritten, then deleted, plain.txt included; busy: T:\busy.txt,
    // which can be overwritten but not deleted, is there too.
    const struct { WPaths made, selected, gone; bool wideList; Paths reported; size_t overwritten; bool busy = false; } rows[] = {
        {{longPath, longPath.substr(0, MAX_PATH - 1)}, {longPath}, {}, false, {ShownPath(sandbox::Narrow(longPath))}, 1},
        {{omega, at + L"Omega.txt", at + L"\x03A9mega-b.txt", nextNumber}, {omega}, {omega}, true, {}, 2},
        {{dots, at + L"outside.txt"}, {dots}, {dots}, true, {}, 2},
        {{tree + L"\\\x6587\x4EF6.docx", tree + L"\\\x03A9sub\\x.txt", tree + L"\\name.txt", at + L"Odir\\x.txt"},
         {tree}, {tree}, true, {}, 4},
        {{other, squatter}, {other}, {}, true, {sandbox::Narrow(at) + "?mega-other.txt"}, 1},
        {{L"T:\\relative.txt"}, {L"T:"}, {}, false, {"T:"}, 1},
        {{L"T:\\a.txt", L"T:\\dir\\inner.txt"}, {L"T:\\"}, {L"T:\\a.txt", L"T:\\dir"}, false, {"T:\\busy.txt"}, 3, true},
    };
    CPassSetting passes(1);
    CDeleteClass deleteClass(CDeleteClass::Real);
    for (const bool link : {false, true}) {
        for (const auto &row : rows) {
            SCOPED_TRACE(sandbox::Narrow(row.selected[0]) + (link ? " through the shell-link handler" : ""));
            sandbox::Remove(L"T:\\");
            for (const std::wstring &path : row.made)
                sandbox::Make(path);
            sandbox::Make(plain);
            if (row.busy)
                sandbox::Make(L"T:\\busy.txt");
            const CFileHandle busy(CreateFileW(L"T:\\busy.txt", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
            SetFileAttributesW(L"T:\\", rootAttributes);
            WPaths wide = row.selected;
            wide.push_back(plain);
            Paths narrow;
            for (const std::wstring &path : wide)
                narrow.push_back(sandbox::Narrow(path));
            CComPtr<IDataObject> selection = row.wideList ? Selection(wide) : Selection(narrow);
            DialogAnswerer answers({IDOK, IDOK});
            CFileCalls calls;
            const auto run = [&](auto handler) {
                ASSERT_EQ(S_OK, handler->Initialize(nullptr, selection.Get(), nullptr));
                EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
            };
            link ? run(NewLinkHandler()) : run(NewHandler());

            Paths texts = {link ? kConfirmLink : kConfirmSeveral};
            for (const std::string &path : row.reported)
                texts.push_back("Unable to delete file " + path);
            EXPECT_EQ(texts, answers.Texts());
            EXPECT_FALSE(sandbox::Exists(plain)) << "the rest of the selection goes on";
            for (const std::wstring &path : row.gone)
                EXPECT_FALSE(sandbox::Exists(path)) << sandbox::Narrow(path);
            for (const std::wstring &path : row.made)
                if (std::none_of(row.gone.begin(), row.gone.end(), [&](auto &gone) { return !path.rfind(gone, 0); })) {
                    EXPECT_EQ(sandbox::Content(path), sandbox::Read(path)) << sandbox::Narrow(path);
                }
            EXPECT_EQ(row.overwritten, calls.writesBeforeDeletion.size());
            for (const auto &deleted : calls.writesBeforeDeletion)
                EXPECT_EQ(3u, deleted.second) << "three sweeps before " << deleted.first;
            for (const std::string &path : calls.paths)
                EXPECT_EQ(std::string::npos, path.find("\\\\", 2)) << "a doubled backslash in " << path;
            EXPECT_EQ(rootAttributes, GetFileAttributesW(L"T:\\")) << "the root itself is left as it was";
            SetFileAttributesW(L"T:\\", FILE_ATTRIBUTE_NORMAL);
        }
    }
    sandbox::Remove(L"T:\\");
}

// ClearRaw and ClearRecycle take only the module's own live records: anything else (another
// record that looks alike, one that has gone, a real COM object as an automation client hands over)
// is refused before a byte of it is read. A bin that has gone since it was found is passed over
// unreported and left to the shell. A record is the caller's for its one call: afterwards the same
// handler runs a path list without a question, and no keep list spares anything.
TEST(SecureDeleteAutomation, ForeignPointersAreRefusedUnreadAndARecordIsForgottenWhenItsCallReturns)
{
    const std::wstring folder = sandbox::FreshFolder(L"foreign");
    sandbox::MakeTree(folder, {L"victim.txt", L"bin\\desktop.ini", L"bin\\x.txt"});
    const std::string victim = sandbox::Narrow(folder + L"\\victim.txt");
    struct { PathList paths, unused; } lookalike; // the layout of a path-list request, not one of the module's records
    lookalike.paths.Append(victim.c_str());
    RecycleRequest recycle;
    recycle.useKeepList = true;
    recycle.folders.Append(victim.c_str());
    recycle.keepList.Append("desktop.ini");
    alignas(PathListRequest) char storage[sizeof(PathListRequest)];
    PathListRequest *gone = new (storage) PathListRequest;
    gone->paths.Append(victim.c_str());
    gone->~PathListRequest();
    CComPtr<IDataObject> object = Selection(Paths{victim});

    Handler handler = NewHandler();
    DialogAnswerer answers({});
    for (IUnknown *foreign : {AsUnknown(&lookalike), AsUnknown(&recycle), AsUnknown(gone), AsUnknown(object.Get())})
        EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(foreign));
    for (IUnknown *foreign : {AsUnknown(&lookalike), AsUnknown(object.Get())})
        EXPECT_EQ(E_INVALIDARG, handler->ClearRecycle(foreign));
    EXPECT_EQ(E_FAIL, handler->ClearRaw(nullptr));
    EXPECT_EQ(sandbox::Content(folder + L"\\victim.txt"), sandbox::Read(folder + L"\\victim.txt"));

    RecycleRequest other;
    other.useKeepList = true;
    other.keepList.Append("desktop.ini");
    other.folders.Append(sandbox::Narrow(folder + L"\\gone\\").c_str());
    CFileCalls calls;
    EXPECT_EQ(S_OK, handler->ClearRecycle(AsUnknown(&other)));
    EXPECT_TRUE(calls.emptiedBins.empty() && calls.updatedFolders.empty()) << "a bin that has gone was emptied";
    PathListRequest list;
    list.paths.Append(sandbox::Narrow(folder + L"\\bin").c_str());
    EXPECT_EQ(S_OK, handler->ClearRaw(AsUnknown(&list)));
    EXPECT_FALSE(sandbox::Exists(folder + L"\\bin")) << "a keep list outlived its call";
    EXPECT_EQ(Paths(), answers.Texts()) << "a question outlived its call";
}

// The shell-link handler and the Recycle Bin cleaner delete nothing themselves: after their own
// question they hand the selection or the bins to a fresh Secure Delete handler, also on a host
// thread of the multithreaded apartment (where COM would hand back a proxy). No Secure Delete
// class, or one that answers as a proxy, which would read the record as an interface: E_FAIL and
// nothing deleted. The cleaner empties the first per-user folder of an older bin and the current
// user's folder of a "$Recycle.Bin", never another user's, overwriting every file before it goes;
// desktop.ini and the bin folders stay (also names that only read "desktop.ini" in best fit), a
// deleted folder goes whole, and the shell is told of each bin. Another handler's command, or one
// without dialogs, each handler refuses (E_FAIL) without a question.
TEST(FrontEnds, TheLinkHandlerAndTheCleanerHandTheirItemsToTheSecureDeleteClass)
{
    enum Front { LinkMenu, CleanerMenu, CleanerInit };
    const std::vector<const char *> foreign = {"open", "print", "properties", "Lopen", "Lprint", "Lproperties", "1", "0!"};
    const struct { const char *label; Front front; CDeleteClass::Kind kind; bool mta; int answer; HRESULT result; bool deleted;
                   std::vector<const char *> verbs = {"0"}; } rows[] = {
        {"shell-link handler", LinkMenu, CDeleteClass::Real, false, IDOK, S_OK, true},
        {"shell-link handler in the MTA", LinkMenu, CDeleteClass::Failing, true, IDOK, S_OK, true},
        {"shell-link handler declined", LinkMenu, CDeleteClass::Real, false, IDCANCEL, S_OK, false},
        {"shell-link handler, no class", LinkMenu, CDeleteClass::Failing, false, IDOK, E_FAIL, false},
        {"shell-link handler, a proxy", LinkMenu, CDeleteClass::Proxy, false, IDOK, E_FAIL, false},
        {"cleaner", CleanerMenu, CDeleteClass::Real, false, IDOK, S_OK, true},
        {"cleaner in the MTA", CleanerMenu, CDeleteClass::Failing, true, IDOK, S_OK, true},
        {"cleaner declined", CleanerMenu, CDeleteClass::Real, false, IDCANCEL, S_OK, false},
        {"cleaner, a proxy", CleanerMenu, CDeleteClass::Proxy, false, IDOK, E_FAIL, false},
        {"cleaner's Init", CleanerInit, CDeleteClass::Real, false, 0, S_OK, true},
        {"shell-link handler, another's commands", LinkMenu, CDeleteClass::Real, false, 0, E_FAIL, false, foreign},
        {"cleaner, another's commands", CleanerMenu, CDeleteClass::Real, false, 0, E_FAIL, false, foreign},
    };
    const std::wstring mine = sandbox::UserBin(L'T'), theirs = L"T:\\$Recycle.Bin\\S-1-5-21-1-2-3-500\\";
    const WPaths bins = {L"S:\\recycler\\S-1-5-21-1\\", L"S:\\recycler\\S-1-5-21-2\\", mine, theirs};
    const WPaths binFiles = {L"Dc1.txt", L"INFO2", L"Dc2\\inner\\photo.jpg", L"Dc2\\Desktop.ini", L"Dc3\\",
                             L"\x03A9mega.txt", L"desktop.\x0131n\x0131"};
    const std::wstring front = sandbox::FreshFolder(L"front"), link = front + L"\\";
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const bool cleaner = row.front != LinkMenu;
        sandbox::RemoveBins();
        for (const std::wstring &bin : bins) {
            sandbox::Make(bin + (bin == mine ? L"Desktop.ini" : L"desktop.ini"), "[.ShellClassInfo]");
            for (const std::wstring &file : binFiles)
                sandbox::Make(bin + file);
        }
        sandbox::MakeTree(mine, {L"$IAB12CD.txt", L"$RAB12CD\\sub\\desktop.ini"});
        // Of two users' folders alike the search takes whichever comes first; the other stays whole.
        WIN32_FIND_DATAW first;
        FindClose(FindFirstFileW(L"S:\\recycler\\S-*", &first));
        const std::wstring otherUser = bins[bins[0].find(first.cFileName) == std::wstring::npos ? 0 : 1];
        WPaths items = {mine + L"$IAB12CD.txt", mine + L"$RAB12CD"};
        Paths told;
        for (const std::wstring &bin : bins)
            if (bin != otherUser && bin != theirs) {
                told.push_back(sandbox::Narrow(bin));
                for (const std::wstring &file : binFiles)
                    if (file.back() != L'\\')
                        items.push_back(bin + file);
            }
        const WPaths links = {link + L"Dc1.txt", link + L"Dc2.doc", link + L"\x03A9.txt"};
        sandbox::MakeTree(front, {L"Dc1.txt", L"Dc2.doc", L"\x03A9.txt", L"neighbour.txt"});
        if (!cleaner)
            items = links;
        CDeleteClass deleteClass(row.kind);
        std::vector<HRESULT> results;
        CFileCalls calls;
        Paths texts;
        const auto run = [&] {
            DialogAnswerer answers({row.answer});
            CComPtr<COrvexRecycleCleaner> bins = NewCleaner();
            CComPtr<CShelLinkHandler> handler = NewLinkHandler();
            bins->Initialize(nullptr, nullptr, nullptr);
            ASSERT_EQ(S_OK, handler->Initialize(nullptr, Selection(links).Get(), nullptr));
            IContextMenu *menu = cleaner ? static_cast<IContextMenu *>(bins.Get()) : handler.Get();
            for (const char *verb : row.verbs)
                results.push_back(row.front == CleanerInit ? bins->Init() : menu->InvokeCommand(CommandInfo(verb).Get()));
            texts = answers.Texts();
        };
        if (row.mta)
            OnAnotherThread(run, true);
        else
            run();

        EXPECT_EQ(std::vector<HRESULT>(row.verbs.size(), row.result), results);
        EXPECT_EQ(row.answer ? Paths{cleaner ? kConfirmBins : kConfirmLink} : Paths(), texts);
        EXPECT_EQ(0, deleteClass.calls) << "a proxy was handed the record";
        for (const std::wstring &item : items)
            EXPECT_EQ(!row.deleted, sandbox::Exists(item)) << sandbox::Narrow(item);
        for (const std::wstring &bin : bins)
            EXPECT_EQ("[.ShellClassInfo]", sandbox::Read(bin + L"desktop.ini"));
        for (const std::wstring &other : {otherUser, theirs})
            for (const std::wstring &file : binFiles)
                EXPECT_TRUE(sandbox::Exists(other + file)) << "another user's " << sandbox::Narrow(other + file);
        EXPECT_EQ(row.deleted, !calls.writesBeforeDeletion.empty());
        for (const auto &deleted : calls.writesBeforeDeletion)
            EXPECT_EQ(3u, deleted.second) << "three sweeps before " << deleted.first;
        EXPECT_EQ(cleaner && row.deleted ? told : Paths(), calls.updatedFolders) << "bins the shell was told of";
        EXPECT_EQ(sandbox::Content(link + L"neighbour.txt"), sandbox::Read(link + L"neighbour.txt"));
    }
    sandbox::RemoveBins();
}
