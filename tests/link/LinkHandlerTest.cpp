// The shell-link handler: creation and aggregation, its empty IDispatch, the drop list, the
// sync mutex it takes or finds, the Secure Delete item it takes over, and its hand-over.
#include <gtest/gtest.h>

#include "../recycle/DeleteClassStub.h"
#include "../recycle/NamedMutexProbe.h"
#include "DropDataObject.h"
#include "common/ComPtr.h"
#include "delete/COrvexDeleteFile.h"
#include "link/CShelLinkHandler.h"
#include "module/Module.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

using Paths = std::vector<std::string>;

namespace {

const char kConfirmText[] = "Do you really want to delete selected items\nusing Talmior 2005 Trial Secure Delete?";
const char kMenuText[] = "Talmior 2005 Trial Secure Delete";

class LinkRef
{
public:
    LinkRef() : m_handler(nullptr)
    {
        void *object = nullptr;
        EXPECT_EQ(CShelLinkHandler::CreateInstance(nullptr, IID_IShellinkHandler, &object), S_OK);
        m_handler = static_cast<CShelLinkHandler *>(static_cast<IShellinkHandler *>(object));
    }
    ~LinkRef() { Reset(); }
    LinkRef(const LinkRef &) = delete;
    LinkRef &operator=(const LinkRef &) = delete;
    CShelLinkHandler *operator->() const { return m_handler; }
    void Reset()
    {
        if (m_handler)
            m_handler->Release();
        m_handler = nullptr;
    }
    HRESULT Initialize(const Paths &paths)
    {
        CComPtr<IDataObject> data;
        EXPECT_EQ(CDropDataObject::Create(paths, true, data.Receive()), S_OK);
        return m_handler->Initialize(nullptr, data.Get(), nullptr);
    }
    Paths Files() const
    {
        Paths files;
        for (size_t i = 0; i < m_handler->m_files.Count(); ++i)
            files.push_back(m_handler->m_files[i].c_str());
        return files;
    }

private:
    CShelLinkHandler *m_handler;
};

bool SyncMutexExists()
{
    return NamedMutexExists(g_syncMutexName.c_str());
}

// WAIT_OBJECT_0 while the sync mutex is free, WAIT_TIMEOUT while a thread owns it.
DWORD SyncMutexWait()
{
    return WaitFromAnotherThread(g_syncMutexName.c_str());
}

// The command-id block as a Secure Delete handler publishes it.
class PublishedCommandId
{
public:
    explicit PublishedCommandId(UINT idCmd)
        : m_block(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                     (g_productTitle + "_memFile").c_str())),
          m_view(m_block ? MapViewOfFile(m_block, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr)
    {
        if (m_view)
            *static_cast<UINT *>(m_view) = idCmd;
    }
    ~PublishedCommandId()
    {
        if (m_view)
            UnmapViewOfFile(m_view);
        if (m_block)
            CloseHandle(m_block);
    }
    bool Ok() const { return m_view != nullptr; }

private:
    HANDLE m_block;
    void *m_view;
};

std::vector<std::pair<UINT, std::string>> MenuItems(HMENU menu)
{
    std::vector<std::pair<UINT, std::string>> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        items.emplace_back(GetMenuItemID(menu, i), text);
    }
    return items;
}

using Items = std::vector<std::pair<UINT, std::string>>;

class CMenu
{
public:
    CMenu() : m_menu(CreatePopupMenu()) {}
    ~CMenu() { DestroyMenu(m_menu); }
    HMENU Get() const { return m_menu; }

private:
    HMENU m_menu;
};

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
        for (const char *name : {"Dc1.txt", "Dc2.doc", "Dc3.bin"}) {
            m_files.push_back(m_folder + "\\" + name);
            sandbox::WriteFileBytes(m_files.back(), std::string("content of ") + name);
        }
        m_neighbour = m_folder + "\\neighbour.txt";
        sandbox::WriteFileBytes(m_neighbour, "neighbour");
    }
    void TearDown() override
    {
        sandbox::RemoveTree(m_folder);
        CoUninitialize();
    }

    std::string m_folder;
    Paths m_files;
    std::string m_neighbour;
};

TEST_F(LinkHandler, CreationCountsTheModuleLockAndAnswersItsInterfaces)
{
    EXPECT_EQ(CShelLinkHandler::CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    const LONG locks = g_module.LockCount();
    {
        LinkRef handler;
        EXPECT_EQ(g_module.LockCount(), locks + 1);
        for (REFIID riid : {IID_IUnknown, IID_IDispatch, IID_IShellinkHandler, IID_IContextMenu, IID_IShellExtInit,
                            IID_IProvideClassInfo}) {
            CComPtr<IUnknown> face;
            EXPECT_EQ(handler->QueryInterface(riid, face.ReceiveVoid()), S_OK);
        }
        void *other = reinterpret_cast<void *>(1);
        EXPECT_EQ(handler->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
    }
    EXPECT_EQ(g_module.LockCount(), locks);
}

TEST_F(LinkHandler, AnAggregatedHandlerDelegatesToItsOuterObject)
{
    COuter outer;
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(CShelLinkHandler::CreateInstance(&outer, IID_IContextMenu, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    const LONG locks = g_module.LockCount();
    ASSERT_EQ(CShelLinkHandler::CreateInstance(&outer, IID_IUnknown, &object), S_OK);
    IUnknown *inner = static_cast<IUnknown *>(object);
    EXPECT_NE(inner, static_cast<IUnknown *>(&outer));
    EXPECT_EQ(g_module.LockCount(), locks + 1);

    CComPtr<IContextMenu> menu;
    ASSERT_EQ(inner->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()), S_OK);
    EXPECT_EQ(outer.refs, 2u) << "an interface of the aggregate counts on the outer object";
    void *init = nullptr;
    EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, &init), E_NOINTERFACE) << "asked of the outer object";
    EXPECT_EQ(outer.queries, 1);
    CComPtr<IUnknown> innerAgain;
    EXPECT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.ReceiveVoid()), S_OK);
    EXPECT_EQ(innerAgain.Get(), inner) << "the inner unknown answers IUnknown with itself";
    innerAgain.Reset();
    menu.Reset();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(g_module.LockCount(), locks);
}

TEST_F(LinkHandler, ItsDispatchServesNothing)
{
    LinkRef handler;
    UINT count = 0;
    EXPECT_EQ(handler->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    CComPtr<ITypeInfo> info;
    EXPECT_EQ(handler->GetTypeInfo(1, 0, info.Receive()), DISP_E_BADINDEX);
    ASSERT_EQ(handler->GetTypeInfo(0, 0, info.Receive()), S_OK);
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IShellinkHandler));
    info->ReleaseTypeAttr(attributes);

    OLECHAR name[] = L"Initialize";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    DISPPARAMS none = {};
    VARIANT result;
    result.vt = VT_I4;
    result.lVal = 7;
    EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = 1;
    DISPPARAMS one = {&argument, nullptr, 1, 0};
    EXPECT_EQ(handler->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);

    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(handler->GetClassInfo(coclass.Receive()), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_CShelLinkHandler));
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(attributes);
}

TEST_F(LinkHandler, InitializeTakesTheDropListInOrderAndOwnsTheMutex)
{
    LinkRef handler;
    EXPECT_EQ(handler->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    CComPtr<IDataObject> noDropList;
    ASSERT_EQ(CDropDataObject::Create(m_files, false, noDropList.Receive()), S_OK);
    EXPECT_EQ(handler->Initialize(nullptr, noDropList.Get(), nullptr), E_FAIL);
    EXPECT_EQ(handler.Initialize({}), E_FAIL);
    EXPECT_FALSE(SyncMutexExists()) << "no mutex for an empty drop list";

    EXPECT_EQ(handler.Initialize(m_files), S_OK);
    EXPECT_EQ(handler.Files(), m_files);
    EXPECT_FALSE(handler->m_bMutexExisted);
    EXPECT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT)) << "owned by this thread";

    // A repeated call starts over: one list, one handle.
    EXPECT_EQ(handler.Initialize({m_neighbour}), S_OK);
    EXPECT_EQ(handler.Files(), Paths({m_neighbour}));
    EXPECT_FALSE(handler->m_bMutexExisted);
    handler.Reset();
    EXPECT_FALSE(SyncMutexExists()) << "the final release closes the handle";
}

TEST_F(LinkHandler, TheItemIsAddedForEveryKindOfRequest)
{
    LinkRef handler;
    ASSERT_EQ(handler.Initialize(m_files), S_OK);
    for (UINT flags : {CMF_DEFAULTONLY, CMF_NORMAL, CMF_EXPLORE}) {
        CMenu menu;
        AppendMenuA(menu.Get(), MF_STRING, 1, "Open");
        EXPECT_EQ(handler->QueryContextMenu(menu.Get(), 0, 40, 90, flags), MAKE_HRESULT(0, 0, 1)) << flags;
        EXPECT_EQ(MenuItems(menu.Get()), Items({{40u, kMenuText}, {1u, "Open"}})) << flags;
    }
    char name[64] = {};
    EXPECT_EQ(handler->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)), E_NOTIMPL);
}

TEST_F(LinkHandler, AFoundMutexAndAPublishedIdTakeTheOtherItemOut)
{
    HANDLE held = CreateMutexA(nullptr, TRUE, g_syncMutexName.c_str());
    ASSERT_NE(held, nullptr);
    {
        LinkRef handler;
        ASSERT_EQ(handler.Initialize(m_files), S_OK);
        EXPECT_TRUE(handler->m_bMutexExisted);
        {
            CMenu menu;
            AppendMenuA(menu.Get(), MF_STRING, 100, kMenuText);
            handler->QueryContextMenu(menu.Get(), 0, 200, 300, CMF_NORMAL);
            EXPECT_EQ(MenuItems(menu.Get()), Items({{200u, kMenuText}, {100u, kMenuText}})) << "no block: both stay";
        }
        PublishedCommandId published(100);
        ASSERT_TRUE(published.Ok());
        {
            CMenu menu;
            AppendMenuA(menu.Get(), MF_STRING, 100, kMenuText);
            handler->QueryContextMenu(menu.Get(), 0, 200, 300, CMF_NORMAL);
            EXPECT_EQ(MenuItems(menu.Get()), Items({{200u, kMenuText}}));
        }
        {
            // A stale id from another menu that equals ours must not take our own item.
            CMenu menu;
            handler->QueryContextMenu(menu.Get(), 0, 100, 300, CMF_NORMAL);
            EXPECT_EQ(MenuItems(menu.Get()), Items({{100u, kMenuText}}));
        }
    }
    ReleaseMutex(held);
    CloseHandle(held);
}

TEST_F(LinkHandler, AHandlerThatOwnedTheMutexReleasesItWhenTheCommandStarts)
{
    LinkRef handler;
    ASSERT_EQ(handler.Initialize(m_files), S_OK);
    ASSERT_EQ(SyncMutexWait(), static_cast<DWORD>(WAIT_TIMEOUT));
    DialogAnswerer answers({IDCANCEL});
    EXPECT_EQ(handler->InvokeCommand(nullptr), S_OK);
    EXPECT_EQ(handler->m_hSyncMutex.Get(), nullptr);
    EXPECT_FALSE(SyncMutexExists()) << "released and closed";
}

TEST_F(LinkHandler, AHandlerThatFoundTheMutexOnlyClosesIt)
{
    // This thread owns the mutex: a ReleaseMutex by the handler (same thread) would free it.
    HANDLE held = CreateMutexA(nullptr, TRUE, g_syncMutexName.c_str());
    ASSERT_NE(held, nullptr);
    {
        LinkRef handler;
        ASSERT_EQ(handler.Initialize(m_files), S_OK);
        ASSERT_TRUE(handler->m_bMutexExisted);
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

TEST_F(LinkHandler, DecliningLeavesTheFilesInPlace)
{
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    LinkRef handler;
    ASSERT_EQ(handler.Initialize(m_files), S_OK);
    DialogAnswerer answers({IDCANCEL});
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
    EXPECT_EQ(answers.Texts(), Paths({kConfirmText}));
    EXPECT_EQ(deleter.Log().created, 0);
    for (const std::string &file : m_files)
        EXPECT_TRUE(sandbox::Exists(file)) << file;
}

TEST_F(LinkHandler, ConfirmingHandsTheDropListOverInOrder)
{
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    ASSERT_EQ(deleter.RegistrationResult(), S_OK);
    LinkRef handler;
    ASSERT_EQ(handler.Initialize(m_files), S_OK);
    DialogAnswerer answers({IDOK});
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = "anything";
    EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
    EXPECT_EQ(deleter.Log().rawCalls, 1);
    EXPECT_EQ(deleter.Log().recycleCalls, 0);
    EXPECT_EQ(deleter.Log().paths, m_files);
}

TEST_F(LinkHandler, NoFilesOrNoDeleteClassGiveEFail)
{
    {
        LinkRef empty;
        EXPECT_EQ(empty.Initialize({}), E_FAIL);
        DialogAnswerer nothingAsked({});
        EXPECT_EQ(empty->InvokeCommand(nullptr), E_FAIL);
        EXPECT_EQ(nothingAsked.Texts(), Paths());
    }

    DeleteClassRegistration deleter(DeleteClassRegistration::Failing);
    LinkRef handler;
    ASSERT_EQ(handler.Initialize(m_files), S_OK);
    DialogAnswerer answers({IDOK});
    EXPECT_EQ(handler->InvokeCommand(nullptr), E_FAIL);
    for (const std::string &file : m_files)
        EXPECT_TRUE(sandbox::Exists(file)) << file;
}

// Both Secure Delete handlers in one menu, in either order of initialisation: one item stays.
TEST_F(LinkHandler, WithTheSecureDeleteHandlerOneItemRemainsInEitherOrder)
{
    CComPtr<IDataObject> selection;
    ASSERT_EQ(CDropDataObject::Create(m_files, true, selection.Receive()), S_OK);
    IDataObject *data = selection.Get();
    {
        CComPtr<IContextMenu> secureDelete;
        ASSERT_EQ(COrvexDeleteFile::CreateInstance(nullptr, IID_IContextMenu, secureDelete.ReceiveVoid()), S_OK);
        CComPtr<IShellExtInit> secureDeleteInit;
        ASSERT_EQ(secureDelete->QueryInterface(IID_IShellExtInit, secureDeleteInit.ReceiveVoid()), S_OK);
        CMenu menu;
        ASSERT_EQ(secureDeleteInit->Initialize(nullptr, data, nullptr), S_OK);
        secureDelete->QueryContextMenu(menu.Get(), 0, 100, 199, CMF_NORMAL);
        LinkRef handler;
        ASSERT_EQ(handler->Initialize(nullptr, data, nullptr), S_OK);
        handler->QueryContextMenu(menu.Get(), 0, 200, 299, CMF_NORMAL);
        EXPECT_EQ(MenuItems(menu.Get()), Items({{200u, kMenuText}})) << "Secure Delete handler first";
    }
    EXPECT_FALSE(SyncMutexExists());
    {
        CMenu menu;
        LinkRef handler;
        ASSERT_EQ(handler->Initialize(nullptr, data, nullptr), S_OK);
        handler->QueryContextMenu(menu.Get(), 0, 200, 299, CMF_NORMAL);
        CComPtr<IShellExtInit> secureDeleteInit;
        ASSERT_EQ(COrvexDeleteFile::CreateInstance(nullptr, IID_IShellExtInit, secureDeleteInit.ReceiveVoid()), S_OK);
        // The shell leaves out a handler whose Initialize fails: its item is never asked for.
        EXPECT_EQ(secureDeleteInit->Initialize(nullptr, data, nullptr), E_INVALIDARG);
        EXPECT_EQ(MenuItems(menu.Get()), Items({{200u, kMenuText}})) << "shell-link handler first";
    }
    for (const std::string &file : m_files)
        EXPECT_TRUE(sandbox::Exists(file)) << file;
}
