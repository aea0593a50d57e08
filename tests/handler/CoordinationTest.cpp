// What each handler puts into a menu, and how handler instances in one process or several keep
// out of each other's way: the sync mutex, the shared command-id block, the cleaner mutex.
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "delete/COrvexDeleteFile.h"
#include "link/CShelLinkHandler.h"
#include "recycle/COrvexRecycleCleaner.h"

namespace {

const char kItem[] = "Talmior 2005 Trial Secure Delete";
const char kBinItem[] = "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete";
const char kSyncMutex[] = "Orvex2005ShellSychMutex";
const char kCleanerMutex[] = "Orvex2005ShellRecycleCleanerMutex";

// The shared command-id block as another process reads it; 0 when it does not exist.
UINT ReadCommandBlock()
{
    const CKernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, "Talmior 2005 Trial_memFile"));
    const CMappedView view(block ? MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
    return view ? *static_cast<const UINT32 *>(view.Get()) : 0;
}

// What a wait of another thread, which owns nothing, gives at once on a named mutex:
// WAIT_OBJECT_0 when it is free, WAIT_TIMEOUT while a thread owns it, WAIT_FAILED when none exists.
DWORD WaitFromAnotherThread(const char *name)
{
    DWORD wait = WAIT_FAILED;
    OnAnotherThread([&] {
        const CKernelHandle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name));
        wait = mutex ? WaitForSingleObject(mutex.Get(), 0) : WAIT_FAILED;
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            ReleaseMutex(mutex.Get());
    });
    return wait;
}

template <typename T> CComPtr<T> Initialized(CComPtr<T> handler, const Paths &selection = {"S:\\a.txt"})
{
    EXPECT_EQ(S_OK, handler->Initialize(nullptr, selection.empty() ? nullptr : Selection(selection).Get(), nullptr));
    return handler;
}

// What the cleaner learns of the system while the test's hooks live: Windows XP or 98 if set, T: a
// removable drive if set; the rest from the system itself, past this program's import slots.
enum System { AsItIs, XP, Windows98 } g_system = AsItIs;
bool g_removableT = false;
template <typename F> F Kernel32(F, const char *name) { return F(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name))); }
BOOL WINAPI VersionAnswer(OSVERSIONINFOA *info)
{
    const BOOL ok = Kernel32(&GetVersionExA, "GetVersionExA")(info);
    if (g_system == XP)
        info->dwMajorVersion = 5, info->dwMinorVersion = 1;
    if (g_system == Windows98)
        info->dwMajorVersion = 4, info->dwMinorVersion = 10, info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return ok;
}
UINT WINAPI DriveTypeAnswer(LPCSTR root) { return g_removableT && (*root | 0x20) == 't' ? DRIVE_REMOVABLE : Kernel32(&GetDriveTypeA, "GetDriveTypeA")(root); }

} // namespace

// Each handler inserts its one item at the place the host gives and counts it in its result,
// except in a default-only menu (a double-click); the cleaner's only in a full menu, greyed when
// there is nothing to empty or another cleaner is alive. A shell-link handler that finds the
// Secure Delete handler in the menu (it holds the mutex and published its id) takes that item's
// place, also while handlers of a default-only menu live. None of them answers GetCommandString.
TEST(ContextMenus, EachHandlerPutsItsItemWhereTheHostAsks)
{
    sandbox::RemoveBins();
    sandbox::Make(L"S:\\recycler\\Dc1.txt");
    const auto added = [](const char *text) { return Items{{1, "Open"}, {731, text}, {2, "Properties"}}; };
    const Items plain = {{1, "Open"}, {2, "Properties"}};
    enum Kind { Delete, Link, Bin };
    const struct { const char *label; Kind kind; UINT flags; Items items; HRESULT result = 0; } rows[] = {
        {"Secure Delete", Delete, CMF_NORMAL, added(kItem), 1}, {"Secure Delete, default only", Delete, CMF_DEFAULTONLY, plain},
        {"Secure Delete, explore", Delete, CMF_EXPLORE, added(kItem), 1}, {"shell link", Link, CMF_VERBSONLY, added(kItem), 1},
        {"shell link, default only", Link, CMF_DEFAULTONLY, plain},
        {"cleaner", Bin, CMF_NORMAL, added(kBinItem), 1}, {"cleaner, verbs", Bin, CMF_VERBSONLY, added(kBinItem), 1},
        {"cleaner, explore", Bin, CMF_EXPLORE, plain, 1}, {"cleaner, default only", Bin, CMF_DEFAULTONLY, plain},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        using Menu = IContextMenu *;
        CComPtr<IContextMenu> handler(row.kind == Delete ? Menu(Initialized(NewHandler()).Get())
                                      : row.kind == Link ? Menu(Initialized(NewLinkHandler()).Get())
                                                         : Menu(Initialized(NewCleaner(), {}).Get()));
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "Open");
        AppendMenuA(menu, MF_STRING, 2, "Properties");
        EXPECT_EQ(row.result, handler->QueryContextMenu(menu, 1, 731, 800, row.flags)) << "items it counts";
        EXPECT_EQ(row.items, MenuItems(menu));
        char name[64] = "untouched";
        EXPECT_EQ(E_NOTIMPL, handler->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)));
        EXPECT_STREQ("untouched", name);
        DestroyMenu(menu);
    }

    // Greyed: nothing to empty at the first cleaner's scan; a later one, while the first lives, does not scan.
    sandbox::RemoveBins();
    CComPtr<COrvexRecycleCleaner> first = Initialized(NewCleaner(), {});
    sandbox::Make(L"S:\\recycler\\Dc1.txt");
    CComPtr<COrvexRecycleCleaner> second = Initialized(NewCleaner(), {});
    for (const auto &[cleaner, why] : {std::pair{first.Get(), "empty bins"}, {second.Get(), "another cleaner alive"}}) {
        HMENU menu = CreatePopupMenu();
        cleaner->QueryContextMenu(menu, 0, 40, 90, CMF_NORMAL);
        EXPECT_EQ(Items({{40, std::string(kBinItem) + " (greyed)"}}), MenuItems(menu)) << why;
        DestroyMenu(menu);
    }
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitFromAnotherThread(kCleanerMutex)) << "owned by the scanning thread";
    first.Reset();
    second.Reset();
    EXPECT_EQ(DWORD(WAIT_FAILED), WaitFromAnotherThread(kCleanerMutex)) << "every handle closed at the final release";

    // A default-only menu whose handlers live on publishes nothing and holds no mutex.
    CComPtr<COrvexDeleteFile> quick = Initialized(NewHandler());
    CComPtr<CShelLinkHandler> quickLink = Initialized(NewLinkHandler());
    HMENU menu = CreatePopupMenu();
    quick->QueryContextMenu(menu, 0, 5, 90, CMF_DEFAULTONLY);
    quickLink->QueryContextMenu(menu, 0, 6, 90, CMF_DEFAULTONLY);
    EXPECT_EQ(0u, ReadCommandBlock());

    // Both Secure Delete handlers in one menu: the shell-link handler's item stays. It finds the
    // other's item by the id published in the named command-id block, with all 32 bits; the block
    // goes with the last handler.
    CComPtr<COrvexDeleteFile> owner = Initialized(NewHandler());
    CComPtr<CShelLinkHandler> link = Initialized(NewLinkHandler());
    owner->QueryContextMenu(menu, 0, 0xFFFF1234, 0xFFFFFFFF, CMF_NORMAL);
    EXPECT_EQ(0xFFFF1234u, ReadCommandBlock());
    link->QueryContextMenu(menu, 0, 200, 300, CMF_NORMAL);
    EXPECT_EQ(Items({{200, kItem}}), MenuItems(menu));
    link->QueryContextMenu(menu, 0, 0xFFFF1234, 0xFFFFFFFF, CMF_NORMAL);
    EXPECT_EQ(Items({{0xFFFF1234, kItem}, {200, kItem}}), MenuItems(menu)) << "a stale id equal to its own spares it";
    DestroyMenu(menu);
    owner.Reset();
    link.Reset();
    quick.Reset();
    EXPECT_EQ(0u, ReadCommandBlock()) << "the block goes with the last handler";
    sandbox::RemoveBins();
}

// The first Secure Delete handler of all processes takes the named sync mutex; a later one withdraws
// (E_INVALIDARG: the shell leaves it out of the menu) without touching it, until the owner's
// command starts or the owner goes. A shell-link handler never withdraws: it owns the mutex when
// it comes first and gives it up when its command starts (even when declined), and only closes
// its handle to a mutex it found.
TEST(SyncMutex, OnlyTheFirstHandlerOfAllProcessesOffersTheItem)
{
    {
        CComPtr<COrvexDeleteFile> owner = Initialized(NewHandler());
        EXPECT_EQ(E_INVALIDARG, NewHandler()->Initialize(nullptr, Selection(Paths{"S:\\b"}).Get(), nullptr));
        CComPtr<CShelLinkHandler> link = Initialized(NewLinkHandler());
        DialogAnswerer answers({IDCANCEL});
        EXPECT_EQ(S_OK, link->InvokeCommand(nullptr));
        link.Reset();
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitFromAnotherThread(kSyncMutex)) << "the later handlers left it to its owner";
    }
    EXPECT_EQ(DWORD(WAIT_FAILED), WaitFromAnotherThread(kSyncMutex)) << "the owner gave it up when it went";

    CComPtr<CShelLinkHandler> link = Initialized(NewLinkHandler());
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitFromAnotherThread(kSyncMutex)) << "the first handler owns it";
    DialogAnswerer answers({IDCANCEL});
    EXPECT_EQ(S_OK, link->InvokeCommand(nullptr));
    EXPECT_EQ(DWORD(WAIT_FAILED), WaitFromAnotherThread(kSyncMutex)) << "released and closed at the command";
}

// A bin is listed when it holds more than its housekeeping; only fixed drives have their bins
// listed; of "recycler" and "recycled" on one drive, the NT family takes the first, the Windows 9x
// family the second. Vista and later (Wine by default) look first for "$Recycle.Bin", and in it
// only for the current user's folder; XP knows only the older names. Each row makes its files (a
// name ending in a backslash is a folder) on empty drives.
TEST(RecycleDiscovery, ABinOfAFixedDriveIsListedWhenItHoldsMoreThanItsHousekeeping)
{
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::wstring mine = sandbox::UserBin(L'S'), theirs = L"S:\\$Recycle.Bin\\S-1-5-21-1-2-3-500\\";
    const WPaths bothLayouts = {mine + L"$RAB12CD.txt", L"S:\\recycler\\S-1-5-21-9\\Dc1.txt"};
    const WPaths housekeeping = {L"S:\\recycler\\S-1-5-21-100\\DESKTOP.INI", L"S:\\recycler\\S-1-5-21-100\\Info2",
                                 L"T:\\recycled\\desktop.Ini", L"T:\\recycled\\INFO2"};
    WPaths more = housekeeping;
    more.insert(more.end(), {L"S:\\recycler\\S-1-5-21-100\\Dc1.txt", L"T:\\recycled\\INFO2.old"});
    const WPaths both = {L"S:\\recycler\\S-1-5-21-9\\Dc1.txt", L"S:\\recycled\\Dc2.txt"};
    const struct { const char *label; WPaths made; Paths listed; bool removableT = false; System system = AsItIs; } rows[] = {
        {"no bins", {}, {}}, {"housekeeping files in any case", housekeeping, {}},
        {"one more file", more, {"S:\\recycler\\S-1-5-21-100\\", "T:\\recycled\\"}},
        {"an empty subfolder", {L"T:\\recycled\\Dc2\\"}, {"T:\\recycled\\"}},
        {"a lower-case mark", {L"S:\\recycler\\s-1-5-18\\Dc1.txt"}, {"S:\\recycler\\s-1-5-18\\"}},
        {"a file named like a per-user folder", {L"S:\\recycler\\S-stray", L"S:\\recycler\\Dc1.txt", L"T:\\recycler\\Dc1.txt"}, {"T:\\recycler\\"}},
        {"recycled after recycler, drives in order", {L"T:\\recycler\\S-1-5-21-7\\Dc1.txt", L"S:\\recycled\\Dc2.txt"},
         {"S:\\recycled\\", "T:\\recycler\\S-1-5-21-7\\"}},
        {"T: a removable drive", {L"T:\\recycler\\S-1-5-21-6\\Dc1.txt", L"T:\\recycled\\Dc2.txt", L"S:\\recycled\\Dc3.txt"}, {"S:\\recycled\\"}, true},
        {"both names, NT", both, {"S:\\recycler\\S-1-5-21-9\\"}}, {"both names, Windows 98", both, {"S:\\recycled\\"}, false, Windows98},
        {"per-user bins: ours, beside another user's", {theirs + L"$IAB12CD.txt", mine + L"$IAB12CD.txt", mine + L"$RAB12CD\\"}, {sandbox::Narrow(mine)}},
        {"per-user bins: ours holds only desktop.ini", {mine + L"Desktop.INI", theirs + L"$RAB12CD.txt"}, {}},
        {"per-user bins: only another user's, an older bin", {theirs + L"$RAB12CD.txt", L"S:\\recycled\\Dc1.txt"}, {}},
        {"both layouts", bothLayouts, {sandbox::Narrow(mine)}}, {"both layouts, XP", bothLayouts, {"S:\\recycler\\S-1-5-21-9\\"}, false, XP},
    };
    const CImportHook version("kernel32.dll", "GetVersionExA", reinterpret_cast<void *>(&VersionAnswer));
    const CImportHook driveType("kernel32.dll", "GetDriveTypeA", reinterpret_cast<void *>(&DriveTypeAnswer));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        sandbox::RemoveBins();
        g_removableT = row.removableT;
        g_system = row.system;
        for (const std::wstring &path : row.made)
            sandbox::Make(path);
        CComPtr<COrvexRecycleCleaner> cleaner = Initialized(NewCleaner(), {});
        Paths listed;
        for (size_t i = 0; i < cleaner->m_bins.Count(); ++i)
            listed.push_back(cleaner->m_bins[i].c_str());
        EXPECT_EQ(row.listed, listed);
    }
    sandbox::RemoveBins();
}
