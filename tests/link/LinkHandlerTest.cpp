// The shell-link handler: its COM face, the drop list, the sync mutex it takes or finds, the
// Secure Delete item it takes over, its hand-over; and both handlers in a shell host's menu.
#include "../recycle/DeleteClassStub.h"
#include "support/NamedMutexProbe.h"
#include "support/ShellHostRun.h"
#include "support/TestObjects.h"
#include "DropDataObject.h"
#include "common/ComPtr.h"
#include "common/Scoped.h"
#include "link/CShelLinkHandler.h"
#include "module/Module.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

namespace {

const char kConfirmText[] = "Do you really want to delete selected items\nusing Talmior 2005 Trial Secure Delete?";
const char kMenuText[] = "Talmior 2005 Trial Secure Delete";

using LinkRef = CObjectRef<CShelLinkHandler, IShellinkHandler, IID_IShellinkHandler>;

HRESULT InitializeWith(IShellExtInit *handler, const Paths &paths)
{
    CComPtr<IDataObject> data;
    EXPECT_EQ(CDropDataObject::Create(paths, true, data.Receive()), S_OK);
    return handler->Initialize(nullptr, data.Get(), nullptr);
}

bool SyncMutexExists()
{
    return NamedMutexExists(g_syncMutexName.c_str());
}

DWORD SyncMutexWait()
{
    return WaitFromAnotherThread(g_syncMutexName.c_str());
}

// An outer object that counts what its inner object delegates to it.
class COuter : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override
    {
        ++queries;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    int queries = 0;
};

} // namespace

class LinkHandler : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(SyncMutexExists()) << "a handler of an earlier test still holds the mutex";
        m_folder = sandbox::FreshFolder("link");
        for (const char *name : {"Dc1.txt", "Dc2.doc", "Dc3.bin", "neighbour.txt"}) {
            m_files.push_back(m_folder + "\\" + name);
            sandbox::WriteFileBytes(m_files.back(), std::string("content of ") + name);
        }
        m_neighbour = m_files.back();
        m_files.pop_back();
    }
    void TearDown() override
    {
        sandbox::RemoveTree(m_folder);
        CoUninitialize();
    }
    void ExpectFilesKept() const
    {
        for (const std::string &file : m_files)
            EXPECT_EQ(sandbox::ReadFileBytes(file), "content of " + file.substr(file.rfind('\\') + 1)) << file;
        EXPECT_EQ(sandbox::ReadFileBytes(m_neighbour), "content of neighbour.txt");
    }

    std::string m_folder;
    Paths m_files;
    std::string m_neighbour;
};

TEST_F(LinkHandler, ComFaceWithADispatchThatServesNothing)
{
    EXPECT_EQ(CShelLinkHandler::CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    const LONG locks = g_module.LockCount();
    {
        LinkRef handler;
        EXPECT_EQ(g_module.LockCount(), locks + 1);
        ExpectInterfaces(static_cast<IShellinkHandler *>(handler.Get()),
                         {IID_IUnknown, IID_IDispatch, IID_IShellinkHandler, IID_IContextMenu, IID_IShellExtInit,
                          IID_IProvideClassInfo});
        ExpectTypeInfo(handler.Get(), handler.Get(), IID_IShellinkHandler, CLSID_CShelLinkHandler);

        OLECHAR name[] = L"Initialize";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
        DISPPARAMS none = {};
        VARIANT result = {};
        result.vt = VT_I4;
        EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(result.vt, VT_EMPTY);
        EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
        DISPPARAMS one = {&result, nullptr, 1, 0};
        EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
                  DISP_E_BADPARAMCOUNT);
    }
    EXPECT_EQ(g_module.LockCount(), locks);
}

// What the module's aggregation matrix leaves out: the aggregate's module lock, and the inner
// unknown answering IUnknown with itself while its other interfaces count on the outer object.
TEST_F(LinkHandler, AnAggregatedHandlerDelegatesToItsOuterObject)
{
    COuter outer;
    const LONG locks = g_module.LockCount();
    void *object = nullptr;
    ASSERT_EQ(CShelLinkHandler::CreateInstance(&outer, IID_IUnknown, &object), S_OK);
    IUnknown *inner = static_cast<IUnknown *>(object);
    EXPECT_EQ(g_module.LockCount(), locks + 1);
    {
        CComPtr<IContextMenu> menu;
        ASSERT_EQ(inner->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()), S_OK);
        EXPECT_EQ(outer.refs, 2u);
        void *init = nullptr;
        EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, &init), E_NOINTERFACE) << "asked of the outer object";
        EXPECT_EQ(outer.queries, 1);
        CComPtr<IUnknown> innerAgain;
        EXPECT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.ReceiveVoid()), S_OK);
        EXPECT_EQ(innerAgain.Get(), inner);
    }
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(g_module.LockCount(), locks);
}

TEST_F(LinkHandler, InitializeTakesTheDropListAndOwnsTheMutexAndTheItemIsAlwaysAdded)
{
    LinkRef handler;
    EXPECT_EQ(handler->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    CComPtr<IDataObject> noDropList;
    ASSERT_EQ(CDropDataObject::Create(m_files, false, noDropList.Receive()), S_OK);
    EXPECT_EQ(handler->Initialize(nullptr, noDropList.Get(), nullptr), E_FAIL);
    EXPECT_EQ(InitializeWith(handler.Get(), {}), E_FAIL);
    EXPECT_FALSE(SyncMutexExists()) << "no mutex for an empty drop list";

    EXPECT_EQ(InitializeWith(handler.Get(), m_files), S_OK);
    EXPECT_EQ(Strings(handler->m_files), m_files);
    EXPECT_FALSE(handler->m_bMutexExisted);
    EXPECT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT)) << "owned by this thread";
    for (UINT flags : {CMF_DEFAULTONLY, CMF_NORMAL, CMF_EXPLORE}) {
        CMenu menu;
        AppendMenuA(menu.Get(), MF_STRING, 1, "Open");
        EXPECT_EQ(handler->QueryContextMenu(menu.Get(), 0, 40, 90, flags), MAKE_HRESULT(0, 0, 1)) << flags;
        EXPECT_EQ(MenuItems(menu.Get()), Items({{40u, kMenuText}, {1u, "Open"}})) << flags;
    }
    char name[64] = {};
    EXPECT_EQ(handler->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)), E_NOTIMPL);

    // A repeated call starts over: one list, one handle.
    EXPECT_EQ(InitializeWith(handler.Get(), {m_neighbour}), S_OK);
    EXPECT_EQ(Strings(handler->m_files), Paths({m_neighbour}));
    EXPECT_FALSE(handler->m_bMutexExisted);
    handler.Reset();
    EXPECT_FALSE(SyncMutexExists()) << "the final release closes the handle";
}

// A handler that found the mutex (the Secure Delete handler came first) takes the other item out
// once the block names it, and at its command only closes the mutex: a ReleaseMutex on this, the
// owning thread, would free it.
TEST_F(LinkHandler, AHandlerThatFoundTheMutexTakesTheOtherItemOutAndOnlyClosesIt)
{
    HANDLE held = CreateMutexA(nullptr, TRUE, g_syncMutexName.c_str());
    ASSERT_NE(held, nullptr);
    {
        LinkRef handler;
        ASSERT_EQ(InitializeWith(handler.Get(), m_files), S_OK);
        EXPECT_TRUE(handler->m_bMutexExisted);
        auto menuAfter = [&handler](UINT idCmdFirst, bool withOtherItem) {
            CMenu menu;
            if (withOtherItem)
                AppendMenuA(menu.Get(), MF_STRING, 100, kMenuText);
            handler->QueryContextMenu(menu.Get(), 0, idCmdFirst, 300, CMF_NORMAL);
            return MenuItems(menu.Get());
        };
        EXPECT_EQ(menuAfter(200, true), Items({{200u, kMenuText}, {100u, kMenuText}})) << "no block: both stay";
        // The command-id block as a Secure Delete handler publishes it.
        CKernelHandle block(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                               (g_productTitle + "_memFile").c_str()));
        CMappedView view(block ? MapViewOfFile(block.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr);
        ASSERT_TRUE(view);
        *static_cast<UINT *>(view.Get()) = 100;
        EXPECT_EQ(menuAfter(200, true), Items({{200u, kMenuText}}));
        EXPECT_EQ(menuAfter(100, false), Items({{100u, kMenuText}})) << "a stale id equal to ours spares our item";

        DialogAnswerer answers({IDCANCEL});
        EXPECT_EQ(handler->InvokeCommand(nullptr), S_OK);
        EXPECT_EQ(handler->m_hSyncMutex.Get(), nullptr);
        EXPECT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT)) << "still owned by this thread";
    }
    EXPECT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT));
    ReleaseMutex(held);
    CloseHandle(held);
    EXPECT_FALSE(SyncMutexExists()) << "the handler's own handle was closed";
}

// A handler that owned the mutex releases and closes it when its command starts, even when the
// user declines, which leaves every file in place.
TEST_F(LinkHandler, DecliningReleasesTheOwnedMutexAndLeavesTheFiles)
{
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    LinkRef handler;
    ASSERT_EQ(InitializeWith(handler.Get(), m_files), S_OK);
    ASSERT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT));
    DialogAnswerer answers({IDCANCEL});
    CMINVOKECOMMANDINFO info = CommandInfo(MAKEINTRESOURCEA(0));
    EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
    EXPECT_EQ(answers.Texts(), Paths({kConfirmText}));
    EXPECT_EQ(deleter.Log().created, 0);
    EXPECT_EQ(handler->m_hSyncMutex.Get(), nullptr);
    EXPECT_FALSE(SyncMutexExists()) << "released and closed";
    ExpectFilesKept();
}

TEST_F(LinkHandler, ConfirmingHandsTheDropListOverOrFailsWithoutADeleteClass)
{
    {
        LinkRef empty;
        EXPECT_EQ(InitializeWith(empty.Get(), {}), E_FAIL);
        DialogAnswerer nothingAsked({});
        EXPECT_EQ(empty->InvokeCommand(nullptr), E_FAIL);
        EXPECT_EQ(nothingAsked.Texts(), Paths());
    }
    // A proxy is never handed the record: it would read the record as an interface.
    for (auto kind : {DeleteClassRegistration::Recording, DeleteClassRegistration::Failing, DeleteClassRegistration::Proxy}) {
        SCOPED_TRACE(kind);
        DeleteClassRegistration deleter(kind);
        ASSERT_EQ(deleter.RegistrationResult(), S_OK);
        LinkRef handler;
        ASSERT_EQ(InitializeWith(handler.Get(), m_files), S_OK);
        DialogAnswerer answers({IDOK});
        CMINVOKECOMMANDINFO info = CommandInfo("anything");
        const bool recording = kind == DeleteClassRegistration::Recording;
        EXPECT_EQ(handler->InvokeCommand(&info), recording ? S_OK : E_FAIL);
        EXPECT_EQ(deleter.Log().rawCalls, recording ? 1 : 0);
        EXPECT_EQ(deleter.Log().recycleCalls, 0);
        EXPECT_EQ(deleter.Log().paths, recording ? m_files : Paths());
        ExpectFilesKept();
    }
}

// A host thread in the multithreaded apartment: COM would give it a proxy of the
// apartment-threaded Secure Delete class, which must never receive the record. The selection is
// destroyed all the same, and only the selection.
TEST_F(LinkHandler, OnAHostThreadInTheMultithreadedApartmentTheSelectionIsDestroyed)
{
    RunInMultithreadedApartment([&] {
        LinkRef handler;
        ASSERT_EQ(InitializeWith(handler.Get(), m_files), S_OK);
        DialogAnswerer answers({IDOK});
        CMINVOKECOMMANDINFO info = CommandInfo(MAKEINTRESOURCEA(0));
        EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
        EXPECT_EQ(answers.Texts(), Paths({kConfirmText})) << "asked once, no error reported";
    });
    for (const std::string &file : m_files)
        EXPECT_FALSE(sandbox::Exists(file)) << file;
    EXPECT_EQ(sandbox::ReadFileBytes(m_neighbour), "content of neighbour.txt");
}

// Both Secure Delete handlers in one menu, in either order: one item stays.
TEST_F(LinkHandler, InAnotherProcessOneItemRemainsAndDeletesTheSelection)
{
    const std::string selection = m_files[0] + " " + m_files[1] + " " + m_files[2];
    for (const char *order : {"both-delete-first", "both-link-first"}) {
        HostResult menu = RunShellHost(std::string("--handler ") + order + " --menu-only " + selection);
        EXPECT_EQ(menu.exitCode, 0u) << menu.output;
        EXPECT_EQ(HostMenuItems(menu.output), Paths({kMenuText})) << order << "\n" << menu.output;
    }
    HostResult confirmed = RunShellHost("--handler both-delete-first --answer ok " + selection);
    EXPECT_EQ(confirmed.exitCode, 0u) << confirmed.output;
    for (const std::string &file : m_files)
        EXPECT_FALSE(sandbox::Exists(file)) << file;
    EXPECT_EQ(sandbox::ReadFileBytes(m_neighbour), "content of neighbour.txt");
}

// Each item is handed over under a path that reaches it and nothing else (a name the ANSI code
// page cannot spell by its short name); an item without one is reported after the question and
// never handed over. A selection of such items only still gets its item and its question.
TEST_F(LinkHandler, ItemsAreHandedOverUnderTheirOwnPathsOrReported)
{
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    const std::wstring folder = sandbox::Wide(m_folder);
    const std::wstring longPath = folder + L"\\" + std::wstring(MAX_PATH, L'V') + L".txt";
    const std::wstring omega = folder + L"\\\x03A9mega.txt", plain = sandbox::Wide(m_files[0]);
    sandbox::WriteFileBytes(omega, "omega");
    const std::string longReport = "Unable to delete file " + ShownPath(sandbox::Narrow(longPath));
    const struct
    {
        std::vector<std::wstring> selection;
        Paths texts;
        std::vector<std::wstring> handedOver; // the items the handed paths lead to
    } rows[] = {
        {{longPath, omega, plain}, {kConfirmText, longReport}, {omega, plain}},
        {{longPath}, {kConfirmText, longReport}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.selection.size());
        const int before = deleter.Log().rawCalls;
        LinkRef handler;
        CComPtr<IDataObject> data;
        ASSERT_EQ(CDropDataObject::Create(row.selection, data.Receive()), S_OK);
        ASSERT_EQ(handler->Initialize(nullptr, data.Get(), nullptr), S_OK);
        DialogAnswerer answers({IDOK, IDOK});
        EXPECT_EQ(handler->InvokeCommand(nullptr), S_OK);
        EXPECT_EQ(answers.Texts(), row.texts);
        EXPECT_EQ(deleter.Log().rawCalls - before, row.handedOver.empty() ? 0 : 1);
        if (row.handedOver.empty())
            continue;
        std::vector<std::wstring> reached;
        for (const std::string &path : deleter.Log().paths) {
            wchar_t longForm[MAX_PATH] = {};
            GetLongPathNameW(sandbox::Wide(path).c_str(), longForm, MAX_PATH);
            reached.push_back(longForm);
        }
        EXPECT_TRUE(reached == row.handedOver) << testing::PrintToString(deleter.Log().paths);
    }
    ExpectFilesKept();
    EXPECT_EQ(sandbox::ReadFileBytes(omega), "omega");
}
