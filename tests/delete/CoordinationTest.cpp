#include <gtest/gtest.h>

#include <string>

#include "HandlerHarness.h"
#include "NamedMutexProbe.h"
#include "delete/Requests.h"
#include "support/TestSupport.h"

namespace {

const char kHost[] = "b:\\shellhost.exe";
const DWORD kHostLimitMs = 60000;

// Whether the sync mutex is owned by some thread, seen from a thread that owns nothing.
bool SyncMutexOwnedElsewhere()
{
    return WaitFromAnotherThread("Orvex2005ShellSychMutex") == WAIT_TIMEOUT;
}

// Another process of the logon: the shell host, started with the arguments. Its exit code is the
// result it reports (for --init-only, the Secure Delete handler's Initialize).
class CHostProcess
{
public:
    explicit CHostProcess(const std::string &arguments)
    {
        std::string command = std::string(kHost) + " " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            ADD_FAILURE() << "cannot start " << command << ", error " << GetLastError();
            return;
        }
        CloseHandle(process.hThread);
        m_process = process.hProcess;
    }
    ~CHostProcess()
    {
        if (m_process) {
            if (WaitForSingleObject(m_process, kHostLimitMs) == WAIT_TIMEOUT) {
                ADD_FAILURE() << "the host did not end";
                TerminateProcess(m_process, 1);
            }
            CloseHandle(m_process);
        }
    }
    CHostProcess(const CHostProcess &) = delete;
    CHostProcess &operator=(const CHostProcess &) = delete;

    HANDLE Handle() const { return m_process; }

    // Waits for the end; a host that hangs fails the test.
    DWORD ExitCode()
    {
        if (!m_process)
            return STILL_ACTIVE;
        if (WaitForSingleObject(m_process, kHostLimitMs) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "the host did not end";
            TerminateProcess(m_process, 1);
        }
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process, &code);
        return code;
    }
    // For --init-only and --hold the exit code is the first handler's Initialize result.
    HRESULT InitializeResult() { return static_cast<HRESULT>(ExitCode()); }

private:
    HANDLE m_process = nullptr;
};

HRESULT InitializeInAnotherProcess()
{
    return CHostProcess("--dll b:\\OrvexSE.dll --init-only S:\\coord_probe.txt").InitializeResult();
}

} // namespace

TEST(SyncMutex, SecondHandlerInTheSameThreadWithdrawsWithoutReleasing)
{
    CComPtr<CRecordingHandler> first = MakeRecordingHandler();
    ASSERT_EQ(S_OK, first->Initialize(nullptr, MakeSelection({"S:\\a"}).Get(), nullptr));
    CComPtr<CRecordingHandler> second = MakeRecordingHandler();
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
    CComPtr<CRecordingHandler> owner = MakeRecordingHandler();
    ASSERT_EQ(S_OK, owner->Initialize(nullptr, MakeSelection({"S:\\p1", "S:\\p2"}).Get(), nullptr));
    EXPECT_EQ(E_INVALIDARG, InitializeInAnotherProcess());

    // While the owner's command runs, another process's menu gets its item again.
    HRESULT duringCommand = E_UNEXPECTED;
    owner->m_onDelete = [&](size_t handed) {
        if (handed == 1)
            duringCommand = InitializeInAnotherProcess();
    };
    PathListRequest request;
    request.paths.Append("S:\\p1");
    EXPECT_EQ(S_OK, owner->ClearRaw(reinterpret_cast<IUnknown *>(&request)));
    EXPECT_EQ(S_OK, duringCommand);
}

TEST(SyncMutex, HandlerHereWithdrawsWhileAnotherProcessHoldsIt)
{
    const std::string ready = "OrvexCoordReady" + std::to_string(GetCurrentProcessId());
    const std::string release = "OrvexCoordRelease" + std::to_string(GetCurrentProcessId());
    HANDLE readyEvent = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    HANDLE releaseEvent = CreateEventA(nullptr, TRUE, FALSE, release.c_str());
    {
        CHostProcess holder("--dll b:\\OrvexSE.dll --hold " + ready + " " + release + " S:\\held.txt");
        HANDLE waits[] = {readyEvent, holder.Handle()};
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, kHostLimitMs)) << "the holder never got ready";

        CComPtr<CRecordingHandler> here = MakeRecordingHandler();
        EXPECT_EQ(E_INVALIDARG, here->Initialize(nullptr, MakeSelection({"S:\\a"}).Get(), nullptr));
        UINT id = 0;
        EXPECT_TRUE(ReadCommandBlock(id)) << "the holder published its item";
        EXPECT_EQ(100u, id) << "the host's first command id";

        SetEvent(releaseEvent);
        EXPECT_EQ(S_OK, holder.InitializeResult()) << "the holder's own Initialize";
    }
    CComPtr<CRecordingHandler> after = MakeRecordingHandler();
    EXPECT_EQ(S_OK, after->Initialize(nullptr, MakeSelection({"S:\\a"}).Get(), nullptr));
    EXPECT_FALSE(after->m_bMutexExisted);
    CloseHandle(readyEvent);
    CloseHandle(releaseEvent);
}

TEST(CommandBlock, HoldsTheLastPublishedIdAndGoesWithItsHandlers)
{
    CComPtr<CRecordingHandler> first = MakeRecordingHandler();
    CComPtr<CRecordingHandler> second = MakeRecordingHandler();
    ASSERT_EQ(S_OK, first->Initialize(nullptr, MakeSelection({"S:\\a"}).Get(), nullptr));
    HMENU menu = CreatePopupMenu();
    UINT id = 0;

    first->QueryContextMenu(menu, 0, 0x5A17, 0x7FFF, CMF_NORMAL);
    ASSERT_TRUE(ReadCommandBlock(id));
    EXPECT_EQ(0x5A17u, id);
    second->QueryContextMenu(menu, 0, 42, 0x7FFF, CMF_NORMAL);
    ASSERT_TRUE(ReadCommandBlock(id));
    EXPECT_EQ(42u, id) << "the last writer wins";
    first->QueryContextMenu(menu, 0, 0xFFFF1234, 0xFFFFFFFF, CMF_NORMAL);
    ASSERT_TRUE(ReadCommandBlock(id));
    EXPECT_EQ(0xFFFF1234u, id) << "all 32 bits";

    first.Reset();
    EXPECT_TRUE(ReadCommandBlock(id)) << "still held by the second handler";
    second.Reset();
    EXPECT_FALSE(ReadCommandBlock(id)) << "the block goes with the last handler";
    DestroyMenu(menu);
}

// The whole way a shell goes, in a process of its own: the module file's class object, a drop
// list, a real menu, the item invoked by its offset, the question answered as a user would.
TEST(ShellHost, DeletesExactlyTheSelectionOnceConfirmed)
{
    const std::string folder = sandbox::FreshFolder("coord_host");
    MakeFile(folder + "\\chosen.txt");
    MakeFile(folder + "\\neighbour.txt");

    const DWORD commandFailed = 1;
    EXPECT_EQ(commandFailed, CHostProcess("--dll b:\\OrvexSE.dll --answer cancel " + folder + "\\chosen.txt").ExitCode())
        << "declined: E_FAIL for one item";
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(folder + "\\chosen.txt"));

    EXPECT_EQ(0u, CHostProcess("--dll b:\\OrvexSE.dll --answer ok " + folder + "\\chosen.txt").ExitCode());
    EXPECT_FALSE(sandbox::Exists(folder + "\\chosen.txt"));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(folder + "\\neighbour.txt"));
}

TEST(ShellHost, RegisteredModuleIsCreatedThroughTheRegistryAndLeftAsFound)
{
    const char classKey[] = "CLSID\\{80090F73-8663-4824-8D83-64C6BC679538}\\InprocServer32";
    auto registered = [&] {
        HKEY key = nullptr;
        const bool found = RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        return found;
    };
    const bool registeredBefore = registered();
    const std::string folder = sandbox::FreshFolder("coord_registered");
    MakeFile(folder + "\\chosen.txt");

    // No fallback with --register: a module that cannot be registered or created from the
    // registry ends the host with a non-zero code.
    EXPECT_EQ(0u, CHostProcess("--register --answer ok " + folder + "\\chosen.txt").ExitCode());
    EXPECT_FALSE(sandbox::Exists(folder + "\\chosen.txt"));
    EXPECT_EQ(registeredBefore, registered()) << "the registration is as the host found it";
}
