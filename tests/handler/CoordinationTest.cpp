// What each handler puts into a menu, and how handler instances in one process or several keep
// out of each other's way: the sync mutex, the shared command-id block, the cleaner mutex.
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "delete/COrvexDeleteFile.h"
#include "link/CShelLinkHandler.h"
#include "recycle/COrvexRecycleCleaner.h"

#include <cstdlib>

namespace {

const char kItem[] = "Talmior 2005 Trial Secure Delete";
const char kBinItem[] = "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete";
const char kSyncMutex[] = "Orvex2005ShellSychMutex";
const char kCleanerMutex[] = "Orvex2005ShellRecycleCleanerMutex";

// The shared command-id block as another process reads it; false when it does not exist.
bool ReadCommandBlock(UINT &id)
{
    const CKernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, "Talmior 2005 Trial_memFile"));
    const CMappedView view(block ? MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
    if (view)
        id = *static_cast<const UINT32 *>(view.Get());
    return bool(view);
}

template <typename T>
CComPtr<T> Initialized(CComPtr<T> handler, const Paths &selection = {"S:\\a.txt"})
{
    EXPECT_EQ(S_OK, handler->Initialize(nullptr, selection.empty() ? nullptr : Selection(selection).Get(), nullptr));
    return handler;
}

// Starts and ends with no recycle folders on S: and T:, and none elsewhere that could be listed.
class Bins : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(NoBinOutsideTheSandbox());
        TearDown();
    }
    void TearDown() override
    {
        for (const wchar_t *bin : {L"S:\\recycler", L"S:\\recycled", L"T:\\recycler", L"T:\\recycled"})
            sandbox::Remove(bin);
    }
    static Paths Scan()
    {
        CComPtr<COrvexRecycleCleaner> cleaner = Initialized(NewCleaner(), {});
        Paths bins;
        for (size_t i = 0; i < cleaner->m_bins.Count(); ++i)
            bins.push_back(cleaner->m_bins[i].c_str());
        return bins;
    }
};

} // namespace

// Each handler inserts its one item at the place the host gives and counts it in its result,
// for every kind of request; the cleaner's only in a full menu, greyed when there is nothing to
// empty or another cleaner is alive. A shell-link handler that finds the Secure Delete handler in
// the menu (it holds the mutex and published its id) takes that item's place. None of them
// answers GetCommandString.
TEST(ContextMenus, EachHandlerPutsItsItemWhereTheHostAsks)
{
    sandbox::Make(L"S:\\recycler\\Dc1.txt");
    const auto added = [](const char *text, UINT id = 731) { return Items{{1, "Open"}, {id, text}, {2, "Properties"}}; };
    const Items plain = {{1, "Open"}, {2, "Properties"}};
    const std::string greyed = std::string(kBinItem) + " (greyed)";
    const struct
    {
        const char *label;
        std::function<IContextMenu *()> handler;
        UINT flags;
        Items items;
        HRESULT result;
    } rows[] = {
        {"Secure Delete", [] { return Initialized(NewHandler()).Detach(); }, CMF_NORMAL, added(kItem), 1},
        {"Secure Delete, default only", [] { return Initialized(NewHandler()).Detach(); }, CMF_DEFAULTONLY, added(kItem), 1},
        {"Secure Delete, explore", [] { return Initialized(NewHandler()).Detach(); }, CMF_EXPLORE, added(kItem), 1},
        {"shell link", [] { return Initialized(NewLinkHandler()).Detach(); }, CMF_VERBSONLY, added(kItem), 1},
        {"cleaner", [] { return Initialized(NewCleaner(), {}).Detach(); }, CMF_NORMAL, added(kBinItem), 1},
        {"cleaner, verbs only", [] { return Initialized(NewCleaner(), {}).Detach(); }, CMF_VERBSONLY, added(kBinItem), 1},
        {"cleaner, explore", [] { return Initialized(NewCleaner(), {}).Detach(); }, CMF_EXPLORE, plain, 1},
        {"cleaner, default only", [] { return Initialized(NewCleaner(), {}).Detach(); }, CMF_DEFAULTONLY, plain, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        CComPtr<IContextMenu> handler;
        *handler.Receive() = row.handler();
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "Open");
        AppendMenuA(menu, MF_STRING, 2, "Properties");
        EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, row.result), handler->QueryContextMenu(menu, 1, 731, 800, row.flags));
        EXPECT_EQ(row.items, MenuItems(menu));
        char name[64] = "untouched";
        EXPECT_EQ(E_NOTIMPL, handler->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)));
        EXPECT_STREQ("untouched", name);
        DestroyMenu(menu);
    }

    // Greyed: nothing to empty, or another cleaner alive, which alone scans.
    sandbox::Remove(L"S:\\recycler");
    for (bool another : {false, true}) {
        if (another)
            sandbox::Make(L"S:\\recycler\\Dc1.txt");
        CComPtr<COrvexRecycleCleaner> first = Initialized(NewCleaner(), {});
        CComPtr<COrvexRecycleCleaner> second = another ? Initialized(NewCleaner(), {}) : first;
        HMENU menu = CreatePopupMenu();
        second->QueryContextMenu(menu, 0, 40, 90, CMF_NORMAL);
        EXPECT_EQ(Items({{40, greyed}}), MenuItems(menu)) << (another ? "another cleaner alive" : "empty bins");
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitFromAnotherThread(kCleanerMutex)) << "owned by the scanning thread";
        DestroyMenu(menu);
    }
    EXPECT_EQ(DWORD(WAIT_FAILED), WaitFromAnotherThread(kCleanerMutex)) << "every handle closed at the final release";

    // Both Secure Delete handlers in one menu: the shell-link handler's item stays.
    CComPtr<COrvexDeleteFile> first = Initialized(NewHandler());
    CComPtr<CShelLinkHandler> link = Initialized(NewLinkHandler());
    HMENU menu = CreatePopupMenu();
    first->QueryContextMenu(menu, 0, 100, 300, CMF_NORMAL);
    link->QueryContextMenu(menu, 0, 200, 300, CMF_NORMAL);
    EXPECT_EQ(Items({{200, kItem}}), MenuItems(menu));
    link->QueryContextMenu(menu, 0, 100, 300, CMF_NORMAL);
    EXPECT_EQ(Items({{100, kItem}, {200, kItem}}), MenuItems(menu)) << "a stale id equal to its own spares its item";
    DestroyMenu(menu);
    sandbox::Remove(L"S:\\recycler");
}

// The first Secure Delete handler of all processes takes the sync mutex; a later one withdraws
// (E_INVALIDARG: the shell leaves it out of the menu) without touching it, until the owner's
// command starts or the owner goes. A shell-link handler never withdraws: it owns the mutex when
// it comes first and gives it up when its command starts (even when declined), and only closes
// its handle to a mutex it found.
TEST(SyncMutex, OnlyTheFirstHandlerOfAllProcessesOffersTheItem)
{
    {
        CComPtr<COrvexDeleteFile> owner = Initialized(NewHandler());
        EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitFromAnotherThread(kSyncMutex));
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

    // The owner in another process: the handler here withdraws, and the holder's item id is published.
    RunHost("S:\\held.txt", [] {
        EXPECT_EQ(E_INVALIDARG, NewHandler()->Initialize(nullptr, Selection(Paths{"S:\\a"}).Get(), nullptr));
        UINT id = 0;
        EXPECT_TRUE(ReadCommandBlock(id) && id == 100) << "the host's first command id, published";
    });
    EXPECT_EQ(S_OK, NewHandler()->Initialize(nullptr, Selection(Paths{"S:\\a"}).Get(), nullptr));
}

// The last handler to fill a menu wins, with all 32 bits; the block goes with the last handler.
TEST(CommandBlock, HoldsTheLastPublishedIdAndGoesWithItsHandlers)
{
    CComPtr<COrvexDeleteFile> first = Initialized(NewHandler()), second = NewHandler();
    HMENU menu = CreatePopupMenu();
    const std::pair<COrvexDeleteFile *, UINT> steps[] = {{first.Get(), 0x5A17}, {second.Get(), 42}, {first.Get(), 0xFFFF1234}};
    for (const auto &[handler, id] : steps) {
        UINT read = 0;
        handler->QueryContextMenu(menu, 0, id, 0xFFFFFFFF, CMF_NORMAL);
        EXPECT_TRUE(ReadCommandBlock(read) && read == id) << std::hex << read << " instead of " << id;
    }
    DestroyMenu(menu);
    UINT id = 0;
    first.Reset();
    EXPECT_TRUE(ReadCommandBlock(id)) << "still held by the second handler";
    second.Reset();
    EXPECT_FALSE(ReadCommandBlock(id)) << "the block goes with the last handler";
}

using RecycleDiscovery = Bins;

// Each row makes its files (a name ending in a backslash is a folder) on empty drives.
TEST_F(RecycleDiscovery, ABinIsListedWhenItHoldsMoreThanItsHousekeeping)
{
    const WPaths housekeeping = {L"S:\\recycler\\S-1-5-21-100\\DESKTOP.INI", L"S:\\recycler\\S-1-5-21-100\\Info2",
                                 L"T:\\recycled\\desktop.Ini", L"T:\\recycled\\INFO2"};
    WPaths more = housekeeping;
    more.insert(more.end(), {L"S:\\recycler\\S-1-5-21-100\\Dc1.txt", L"T:\\recycled\\INFO2.old"});
    const struct
    {
        const char *label;
        WPaths made;
        Paths listed;
    } rows[] = {
        {"no bins", {}, {}},
        {"housekeeping files in any case", housekeeping, {}},
        {"one more file", more, {"S:\\recycler\\S-1-5-21-100\\", "T:\\recycled\\"}},
        {"an empty subfolder", {L"T:\\recycled\\Dc2\\"}, {"T:\\recycled\\"}},
        {"a lower-case mark", {L"S:\\recycler\\s-1-5-18\\Dc1.txt"}, {"S:\\recycler\\s-1-5-18\\"}},
        {"a file named like a per-user folder", {L"S:\\recycler\\S-stray", L"S:\\recycler\\Dc1.txt", L"T:\\recycler\\Dc1.txt"},
         {"T:\\recycler\\"}},
        {"recycled after recycler, drives in order", {L"T:\\recycler\\S-1-5-21-7\\Dc1.txt", L"S:\\recycled\\Dc2.txt"},
         {"S:\\recycled\\", "T:\\recycler\\S-1-5-21-7\\"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        TearDown();
        for (const std::wstring &path : row.made)
            sandbox::Make(path);
        EXPECT_EQ(row.listed, Scan());
    }
}

// Run by with-cdrom-drive.sh, which makes T: a CD-ROM drive for this program only.
TEST_F(RecycleDiscovery, NonFixedDriveIsNeverListed)
{
    if (!std::getenv("ORVEX_CDROM_DRIVE"))
        GTEST_SKIP() << "needs T: as a CD-ROM drive (test handler_tests_cdrom)";
    ASSERT_EQ(UINT(DRIVE_CDROM), GetDriveTypeA("T:\\"));
    sandbox::MakeTree(L"T:", {L"recycler\\S-1-5-21-6\\Dc1.txt", L"recycled\\Dc2.txt"});
    sandbox::Make(L"S:\\recycled\\Dc3.txt");
    EXPECT_EQ(Paths({"S:\\recycled\\"}), Scan());
}
