#include <gtest/gtest.h>

#include <string>

#include "HandlerHarness.h"
#include "support/NamedMutexProbe.h"
#include "support/ShellHostRun.h"
#include "delete/Requests.h"
#include "support/TestSupport.h"

namespace {

// Whether the sync mutex is owned by some thread, seen from a thread that owns nothing.
bool SyncMutexOwnedElsewhere()
{
    return WaitFromAnotherThread("Orvex2005ShellSychMutex") == WAIT_TIMEOUT;
}

// The shared command-id block as another process reads it; false when it does not exist.
bool ReadCommandBlock(UINT &id)
{
    const CKernelHandle block(OpenFileMappingA(FILE_MAP_READ, FALSE, "Talmior 2005 Trial_memFile"));
    if (!block)
        return false;
    const CMappedView view(MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, 0));
    if (view)
        id = *static_cast<const UINT32 *>(view.Get());
    return bool(view);
}

HRESULT InitializeInAnotherProcess()
{
    return HRESULT(RunShellHost("--init-only S:\\coord_probe.txt").exitCode);
}

} // namespace

TEST(SyncMutex, SecondHandlerInTheSameThreadWithdrawsWithoutReleasing)
{
    CComPtr<CRecordingHandler> first = RecordingHandler({"S:\\a"});
    CComPtr<CRecordingHandler> second = RecordingHandler();
    EXPECT_EQ(E_INVALIDARG, second->Initialize(nullptr, MakeSelection({"S:\\b"}).Get(), nullptr));
    EXPECT_TRUE(second->m_bMutexExisted);
    EXPECT_FALSE(second->m_hSyncMutex) << "its own handle is closed";
    // The two share a thread: a ReleaseMutex by the second would have freed the first's ownership.
    EXPECT_TRUE(SyncMutexOwnedElsewhere());
    second.Reset();
    EXPECT_TRUE(SyncMutexOwnedElsewhere()) << "the withdrawn handler's end changes nothing";
    first.Reset();
    EXPECT_FALSE(SyncMutexOwnedElsewhere()) << "the owner gave it up when it went";
}

TEST(SyncMutex, HandlerInAnotherProcessWithdrawsUntilTheCommandStarts)
{
    CComPtr<CRecordingHandler> owner = RecordingHandler({"S:\\p1", "S:\\p2"});
    EXPECT_EQ(E_INVALIDARG, InitializeInAnotherProcess());

    // While the owner's command runs, another process's menu gets its item again.
    HRESULT duringCommand = E_UNEXPECTED;
    owner->m_onDelete = [&](size_t handed) {
        if (handed == 1)
            duringCommand = InitializeInAnotherProcess();
    };
    PathListRequest request;
    request.paths.Append("S:\\p1");
    EXPECT_EQ(S_OK, owner->ClearRaw(static_cast<IUnknown *>(static_cast<void *>(&request))));
    EXPECT_EQ(S_OK, duringCommand);
}

TEST(SyncMutex, HandlerHereWithdrawsWhileAnotherProcessHoldsIt)
{
    {
        CHeldShellHost holder("S:\\held.txt");
        ASSERT_TRUE(holder.Ready()) << "the holder never got ready";
        EXPECT_EQ(E_INVALIDARG, RecordingHandler()->Initialize(nullptr, MakeSelection({"S:\\a"}).Get(), nullptr));
        UINT id = 0;
        EXPECT_TRUE(ReadCommandBlock(id)) << "the holder published its item";
        EXPECT_EQ(100u, id) << "the host's first command id";
    }
    EXPECT_FALSE(RecordingHandler({"S:\\a"})->m_bMutexExisted) << "the holder gave it up when it ended";
}

TEST(CommandBlock, HoldsTheLastPublishedIdAndGoesWithItsHandlers)
{
    CComPtr<CRecordingHandler> first = RecordingHandler({"S:\\a"});
    CComPtr<CRecordingHandler> second = RecordingHandler();
    HMENU menu = CreatePopupMenu();
    const struct
    {
        CRecordingHandler *handler;
        UINT idCmdFirst, idCmdLast;
    } rows[] = {{first.Get(), 0x5A17, 0x7FFF}, {second.Get(), 42, 0x7FFF}, {first.Get(), 0xFFFF1234, 0xFFFFFFFF}};
    for (const auto &row : rows) {
        UINT id = 0;
        row.handler->QueryContextMenu(menu, 0, row.idCmdFirst, row.idCmdLast, CMF_NORMAL);
        ASSERT_TRUE(ReadCommandBlock(id));
        EXPECT_EQ(row.idCmdFirst, id) << "the last writer wins, with all 32 bits";
    }
    DestroyMenu(menu);
    UINT id = 0;
    first.Reset();
    EXPECT_TRUE(ReadCommandBlock(id)) << "still held by the second handler";
    second.Reset();
    EXPECT_FALSE(ReadCommandBlock(id)) << "the block goes with the last handler";
}

// The whole way a shell goes, in a process of its own: the module file's class object, a drop
// list, a real menu, the item invoked by its offset, the question answered as a user would.
TEST(ShellHost, DeletesExactlyTheSelectionOnceConfirmed)
{
    const std::string folder = sandbox::FreshFolder("coord_host");
    MakeFile(folder + "\\chosen.txt");
    MakeFile(folder + "\\neighbour.txt");
    EXPECT_EQ(1u, RunShellHost("--answer cancel " + folder + "\\chosen.txt").exitCode) << "declined: E_FAIL, one item";
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(folder + "\\chosen.txt"));
    EXPECT_EQ(0u, RunShellHost("--answer ok " + folder + "\\chosen.txt").exitCode);
    EXPECT_FALSE(sandbox::Exists(folder + "\\chosen.txt"));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(folder + "\\neighbour.txt"));
}

TEST(ShellHost, RegisteredModuleIsCreatedThroughTheRegistryAndLeftAsFound)
{
    const auto registered = [] {
        HKEY key = nullptr;
        const LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT,
                                          "CLSID\\{80090F73-8663-4824-8D83-64C6BC679538}\\InprocServer32", 0, KEY_READ, &key);
        const CRegKey owner(key);
        return result == ERROR_SUCCESS;
    };
    const bool registeredBefore = registered();
    const std::string chosen = sandbox::FreshFolder("coord_registered") + "\\chosen.txt";
    MakeFile(chosen);

    // No fallback with --register: a module that cannot be registered or created from the
    // registry ends the host with a non-zero code.
    EXPECT_EQ(0u, RunProgram("b:\\shellhost.exe --register --answer ok " + chosen).exitCode);
    EXPECT_FALSE(sandbox::Exists(chosen));
    EXPECT_EQ(registeredBefore, registered()) << "the registration is as the host found it";
}
