#include <gtest/gtest.h>

#include "HandlerHarness.h"

#include <new>
#include <oleauto.h>

#include "OrvexShellExtensions.h"
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

// A recording handler initialised with the selection, as the shell leaves it before the menu.
CComPtr<CRecordingHandler> InitializedHandler(const std::vector<std::string> &paths)
{
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    EXPECT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(paths).Get(), nullptr));
    return handler;
}

std::vector<std::string> Paths(const PathList &list)
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < list.Count(); ++i)
        paths.push_back(list[i].c_str());
    return paths;
}

// Same layout as a path-list request, but not one of the module's records.
struct LookalikeRequest
{
    PathList paths;
    PathList unused;
};

} // namespace

TEST(HandlerInterfaces, IUnknownAndIDispatchGiveTheAutomationFace)
{
    CComPtr<ICOrvexDeleteFile> handler = MakeHandler<ICOrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_TRUE(handler);
    CComPtr<IUnknown> unknown;
    CComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, handler->QueryInterface(IID_IUnknown, unknown.ReceiveVoid()));
    ASSERT_EQ(S_OK, handler->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()));
    EXPECT_EQ(static_cast<void *>(handler.Get()), static_cast<void *>(unknown.Get()));
    EXPECT_EQ(static_cast<void *>(handler.Get()), static_cast<void *>(dispatch.Get()));

    for (const IID *iid : {&IID_IShellExtInit, &IID_IContextMenu, &IID_IProvideClassInfo}) {
        CComPtr<IUnknown> face;
        EXPECT_EQ(S_OK, handler->QueryInterface(*iid, face.ReceiveVoid()));
        EXPECT_TRUE(face);
    }
    for (const IID *iid : {&IID_IClassFactory, &IID_IContextMenu2, &IID_IDataObject, &IID_IShellinkHandler}) {
        void *face = reinterpret_cast<void *>(1);
        EXPECT_EQ(E_NOINTERFACE, handler->QueryInterface(*iid, &face));
        EXPECT_EQ(nullptr, face);
    }
}

TEST(HandlerInterfaces, TypeInformationComesFromTheModulesLibrary)
{
    CComPtr<IDispatch> dispatch = MakeHandler<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(dispatch);
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, dispatch->GetTypeInfoCount(nullptr));

    CComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, info.Receive()));
    BSTR name = nullptr;
    ASSERT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr));
    EXPECT_STREQ(L"ICOrvexDeleteFile", name);
    SysFreeString(name);

    OLECHAR *names[] = {const_cast<OLECHAR *>(L"ClearRecycle"), const_cast<OLECHAR *>(L"ClearRaw")};
    DISPID ids[2] = {};
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &ids[0]));
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &ids[1]));
    EXPECT_EQ(kClearRecycleId, ids[0]);
    EXPECT_EQ(kClearRawId, ids[1]);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->GetIDsOfNames(IID_IUnknown, &names[1], 1, 0, &ids[1]));

    CComPtr<IProvideClassInfo> classInfo = MakeHandler<IProvideClassInfo>(IID_IProvideClassInfo);
    ASSERT_TRUE(classInfo);
    EXPECT_EQ(E_POINTER, classInfo->GetClassInfo(nullptr));
    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, classInfo->GetClassInfo(coclass.Receive()));
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualCLSID(CLSID_CCOrvexDeleteFile, attributes->guid));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    coclass->ReleaseTypeAttr(attributes);
}

TEST(HandlerInitialize, CopiesTheDropListInTheShellsOrder)
{
    const std::vector<std::string> selection = {"S:\\b.txt", "S:\\a folder", "T:\\c.bin", "S:\\not there"};
    CComPtr<CRecordingHandler> handler = InitializedHandler(selection);
    EXPECT_EQ(selection, Paths(handler->m_paths));
    EXPECT_TRUE(handler->m_hSyncMutex) << "the selection's handler owns the sync mutex";
    EXPECT_FALSE(handler->m_bMutexExisted);
}

TEST(HandlerInitialize, MissingOrUnusableDataObjectGivesUpTheMutex)
{
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    EXPECT_EQ(E_INVALIDARG, handler->Initialize(nullptr, nullptr, nullptr));
    EXPECT_FALSE(handler->m_hSyncMutex);
    EXPECT_EQ(E_FAIL, handler->Initialize(nullptr, MakeSelection({"S:\\x"}, false).Get(), nullptr));
    EXPECT_FALSE(handler->m_hSyncMutex);
    EXPECT_EQ(0u, handler->m_paths.Count());
    // Nothing is left held: the next handler takes the mutex as if alone.
    CComPtr<CRecordingHandler> next = InitializedHandler({"S:\\x"});
    EXPECT_FALSE(next->m_bMutexExisted);
}

// Out of memory while the selection is copied: E_OUTOFMEMORY, no half selection kept, and the
// mutex given up so that the next menu is not left without its item.
TEST(HandlerInitialize, OutOfMemoryKeepsNoHalfSelection)
{
    const std::vector<std::string> selection = {"S:\\one", "S:\\two", "S:\\three", "S:\\four"};
    bool refusedSomewhere = false;
    for (size_t allowed = 0; allowed < 12; ++allowed) {
        CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
        CComPtr<IDataObject> data = MakeSelection(selection);
        HRESULT hr;
        bool refused;
        {
            CFailingMalloc failing(allowed);
            hr = handler->Initialize(nullptr, data.Get(), nullptr);
            refused = CFailingMalloc::Refused();
        }
        refusedSomewhere = refusedSomewhere || refused;
        if (!refused) {
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(selection, Paths(handler->m_paths));
            continue;
        }
        EXPECT_EQ(E_OUTOFMEMORY, hr) << "after " << allowed << " allocations";
        EXPECT_EQ(0u, handler->m_paths.Count());
        EXPECT_FALSE(handler->m_hSyncMutex);
    }
    EXPECT_TRUE(refusedSomewhere) << "no allocation was ever refused: the case tests nothing";
}

TEST(HandlerMenu, InsertsOneItemAtTheGivenPlaceForEveryKindOfRequest)
{
    for (UINT flags : {CMF_NORMAL, CMF_DEFAULTONLY, CMF_VERBSONLY, CMF_EXPLORE}) {
        CComPtr<CRecordingHandler> handler = InitializedHandler({"S:\\x"});
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "Open");
        AppendMenuA(menu, MF_STRING, 2, "Properties");
        const HRESULT hr = handler->QueryContextMenu(menu, 1, 731, 800, flags);
        EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1), hr) << "flags " << flags;
        ASSERT_EQ(3, GetMenuItemCount(menu));
        EXPECT_EQ(731u, GetMenuItemID(menu, 1));
        char text[100] = {};
        GetMenuStringA(menu, 1, text, sizeof(text), MF_BYPOSITION);
        EXPECT_STREQ(kMenuText, text);
        DestroyMenu(menu);
    }
}

TEST(HandlerMenu, HasNoCommandStrings)
{
    CComPtr<IContextMenu> menu = MakeHandler<IContextMenu>(IID_IContextMenu);
    ASSERT_TRUE(menu);
    char buffer[64] = "untouched";
    for (UINT type : {GCS_VERBA, GCS_HELPTEXTA, GCS_VALIDATEA, GCS_VERBW, GCS_HELPTEXTW})
        EXPECT_EQ(E_NOTIMPL, menu->GetCommandString(0, type, nullptr, buffer, sizeof(buffer))) << "type " << type;
    EXPECT_STREQ("untouched", buffer);
}

TEST(HandlerCommand, AnyVerbOrNoArgumentRunsTheSameCommand)
{
    CMINVOKECOMMANDINFO byOffset = InvokeByOffset(0);
    CMINVOKECOMMANDINFO byOtherOffset = InvokeByOffset(7);
    CMINVOKECOMMANDINFO byVerb = InvokeByVerb("delete");
    for (CMINVOKECOMMANDINFO *info : {&byOffset, &byOtherOffset, &byVerb, static_cast<CMINVOKECOMMANDINFO *>(nullptr)}) {
        CComPtr<CRecordingHandler> handler = InitializedHandler({"S:\\one.txt"});
        DialogAnswerer answers({IDOK});
        EXPECT_EQ(S_OK, handler->InvokeCommand(info));
        EXPECT_EQ(std::vector<std::string>{kConfirmOne}, answers.Texts());
        EXPECT_EQ(std::vector<std::string>{"S:\\one.txt"}, handler->m_deleted);
        EXPECT_TRUE(handler->m_progressOpen) << "deletion runs with the progress dialog open";
    }
}

TEST(HandlerCommand, ConfirmedSeveralItemsAreAllHandedOnInOrder)
{
    CComPtr<CRecordingHandler> handler = InitializedHandler({"S:\\1", "S:\\2", "S:\\3"});
    DialogAnswerer answers({IDOK});
    EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
    EXPECT_EQ(std::vector<std::string>{kConfirmSeveral}, answers.Texts());
    EXPECT_EQ((std::vector<std::string>{"S:\\1", "S:\\2", "S:\\3"}), handler->m_deleted);
    EXPECT_TRUE(handler->m_progressOpen);
    EXPECT_FALSE(IsWindow(handler->m_progress.m_hWnd)) << "the progress dialog is closed at the end";
}

TEST(HandlerCommand, DecliningDeletesNothingAndOpensNoProgress)
{
    const std::string folder = sandbox::FreshFolder("handler_decline");
    const std::string one = folder + "\\only.txt", two = folder + "\\second.txt";
    MakeFile(one);
    MakeFile(two);

    CComPtr<COrvexDeleteFile> single = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_EQ(S_OK, single->Initialize(nullptr, MakeSelection({one}).Get(), nullptr));
    {
        DialogAnswerer answers({IDCANCEL});
        EXPECT_EQ(E_FAIL, single->InvokeCommand(nullptr)) << "one item declined";
        EXPECT_EQ(std::vector<std::string>{kConfirmOne}, answers.Texts());
    }
    EXPECT_EQ(nullptr, single->m_progress.m_hWnd);
    single.Reset();

    CComPtr<COrvexDeleteFile> several = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_EQ(S_OK, several->Initialize(nullptr, MakeSelection({one, two, folder}).Get(), nullptr));
    {
        DialogAnswerer answers({IDCANCEL});
        EXPECT_EQ(S_OK, several->InvokeCommand(nullptr)) << "several items declined";
        EXPECT_EQ(std::vector<std::string>{kConfirmSeveral}, answers.Texts());
    }
    EXPECT_EQ(nullptr, several->m_progress.m_hWnd);
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(one));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(two));
}

TEST(HandlerCommand, ConfirmedSelectionIsDestroyedAndNothingBesideIt)
{
    const std::string folder = sandbox::FreshFolder("handler_confirm");
    const std::string chosen = folder + "\\chosen.txt", neighbour = folder + "\\neighbour.txt";
    const std::string tree = folder + "\\tree";
    MakeFile(chosen);
    MakeFile(neighbour);
    ASSERT_TRUE(CreateDirectoryA(tree.c_str(), nullptr));
    MakeFile(tree + "\\inside.bin", std::string(70000, 'x'));

    CComPtr<COrvexDeleteFile> handler = MakeHandler<COrvexDeleteFile>(IID_ICOrvexDeleteFile);
    ASSERT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection({chosen, tree}).Get(), nullptr));
    DialogAnswerer answers({IDOK});
    EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
    EXPECT_EQ(std::vector<std::string>{kConfirmSeveral}, answers.Texts()) << "no error reported";
    EXPECT_FALSE(sandbox::Exists(chosen));
    EXPECT_FALSE(sandbox::Exists(tree));
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(neighbour));
}

// Wine's DragQueryFileA counts an empty drop list as one or more empty paths, so the empty
// selection is set up directly: a handler whose list is empty when its command runs.
TEST(HandlerCommand, EmptySelectionIsReportedAndEndsTheCommand)
{
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    DialogAnswerer answers({IDOK});
    EXPECT_EQ(E_FAIL, handler->InvokeCommand(nullptr));
    EXPECT_EQ(std::vector<std::string>{kEmptySelection}, answers.Texts()) << "no confirmation follows the message";
    EXPECT_EQ(0u, answers.Unexpected());
    EXPECT_TRUE(handler->m_deleted.empty());
    EXPECT_EQ(nullptr, handler->m_progress.m_hWnd);
}

TEST(HandlerCommand, BothRequestsSetMeansShellModeWithAQuestion)
{
    RecycleRequest recycle;
    recycle.useKeepList = true;
    PathListRequest list;
    CComPtr<CRecordingHandler> handler = InitializedHandler({"S:\\a", "S:\\b"});
    handler->m_pRecycleRequest = &recycle;
    handler->m_pPathListRequest = &list;
    DialogAnswerer answers({IDCANCEL});
    EXPECT_EQ(S_OK, handler->InvokeCommand(nullptr));
    EXPECT_EQ(std::vector<std::string>{kConfirmSeveral}, answers.Texts());
    EXPECT_TRUE(handler->m_deleted.empty());
}

TEST(HandlerAutomation, ClearRawDeletesTheListWithoutAskingAndStopsOnCancel)
{
    PathListRequest request;
    for (const char *path : {"S:\\p1", "S:\\p2", "S:\\p3"})
        request.paths.Append(path);
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    handler->m_onDelete = [&](size_t handed) {
        if (handed == 2)
            handler->m_bCancelled = true; // as the progress dialog's Cancel does
    };
    DialogAnswerer answers({});
    EXPECT_EQ(S_OK, handler->ClearRaw(reinterpret_cast<IUnknown *>(&request)));
    EXPECT_EQ((std::vector<std::string>{"S:\\p1", "S:\\p2"}), handler->m_deleted) << "stopped before the third path";
    EXPECT_TRUE(answers.Texts().empty()) << "no question in path-list mode";
    EXPECT_EQ(E_FAIL, handler->ClearRaw(nullptr));
}

TEST(HandlerAutomation, OutOfMemoryWhileTakingTheRequestDeletesNothing)
{
    PathListRequest request;
    for (const char *path : {"S:\\r1", "S:\\r2", "S:\\r3"})
        request.paths.Append(path);
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    HRESULT hr;
    {
        CFailingMalloc failing(0);
        hr = handler->ClearRaw(reinterpret_cast<IUnknown *>(&request));
    }
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_TRUE(handler->m_deleted.empty());
    EXPECT_EQ(0u, handler->m_paths.Count());
}

TEST(HandlerAutomation, ClearRawDestroysRealFilesWithNoDialog)
{
    const std::string folder = sandbox::FreshFolder("handler_raw");
    PathListRequest request;
    for (const char *name : {"\\x.txt", "\\y.txt"}) {
        MakeFile(folder + name);
        request.paths.Append((folder + name).c_str());
    }
    MakeFile(folder + "\\kept.txt");
    CComPtr<ICOrvexDeleteFile> handler = MakeHandler<ICOrvexDeleteFile>(IID_ICOrvexDeleteFile);
    DialogAnswerer answers({});
    EXPECT_EQ(S_OK, handler->ClearRaw(reinterpret_cast<IUnknown *>(&request)));
    EXPECT_TRUE(answers.Texts().empty());
    EXPECT_FALSE(sandbox::Exists(folder + "\\x.txt"));
    EXPECT_FALSE(sandbox::Exists(folder + "\\y.txt"));
    EXPECT_TRUE(sandbox::Exists(folder + "\\kept.txt"));
}

TEST(HandlerAutomation, ClearRecycleCleansAndEmptiesEachBinQuietly)
{
    RecycleRequest request;
    request.useKeepList = true;
    request.folders.Append("S:\\bin1");
    request.folders.Append("T:\\bin2");
    CEmptyBinSpy bins;
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    DialogAnswerer answers({});
    EXPECT_EQ(S_OK, handler->ClearRecycle(reinterpret_cast<IUnknown *>(&request)));
    EXPECT_EQ((std::vector<std::string>{"S:\\bin1", "T:\\bin2"}), handler->m_deleted);
    ASSERT_EQ(2u, bins.Calls().size());
    EXPECT_EQ("S:\\bin1", bins.Calls()[0].root);
    EXPECT_EQ("T:\\bin2", bins.Calls()[1].root);
    const DWORD quietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
    EXPECT_EQ(quietly, bins.Calls()[0].flags);
    EXPECT_EQ(quietly, bins.Calls()[1].flags);
    EXPECT_TRUE(answers.Texts().empty()) << "no question in recycle mode";
}

TEST(HandlerAutomation, ClearRecycleNeedsTheKeepListAndStopsOnCancel)
{
    RecycleRequest request;
    request.folders.Append("S:\\bin1");
    request.folders.Append("S:\\bin2");
    CEmptyBinSpy bins;
    {
        CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
        DialogAnswerer answers({});
        EXPECT_EQ(E_FAIL, handler->ClearRecycle(reinterpret_cast<IUnknown *>(&request))) << "useKeepList false";
        EXPECT_TRUE(handler->m_deleted.empty());
        EXPECT_EQ(nullptr, handler->m_progress.m_hWnd);
        EXPECT_TRUE(answers.Texts().empty());
    }
    request.useKeepList = true;
    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    handler->m_onDelete = [&](size_t) { handler->m_bCancelled = true; };
    EXPECT_EQ(S_OK, handler->ClearRecycle(reinterpret_cast<IUnknown *>(&request)));
    EXPECT_EQ(std::vector<std::string>{"S:\\bin1"}, handler->m_deleted);
    EXPECT_TRUE(bins.Calls().empty()) << "the bin cancelled half-way is not emptied";
    EXPECT_EQ(E_FAIL, handler->ClearRecycle(nullptr));
}

TEST(HandlerAutomation, ForeignPointersAreRefusedUnread)
{
    const std::string folder = sandbox::FreshFolder("handler_foreign");
    const std::string victim = folder + "\\victim.txt";
    MakeFile(victim);
    LookalikeRequest lookalike;
    lookalike.paths.Append(victim.c_str());
    CComPtr<IDataObject> realObject = MakeSelection({victim});

    CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
    DialogAnswerer answers({});
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(reinterpret_cast<IUnknown *>(&lookalike)));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRecycle(reinterpret_cast<IUnknown *>(&lookalike)));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(realObject.Get()));
    EXPECT_EQ(E_INVALIDARG, handler->ClearRecycle(realObject.Get()));

    // A record of the other kind is not accepted either, nor one that has gone.
    RecycleRequest recycle;
    recycle.useKeepList = true;
    recycle.folders.Append(victim.c_str());
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(reinterpret_cast<IUnknown *>(&recycle)));
    alignas(PathListRequest) char storage[sizeof(PathListRequest)];
    PathListRequest *gone = new (storage) PathListRequest;
    gone->paths.Append(victim.c_str());
    gone->~PathListRequest();
    EXPECT_EQ(E_INVALIDARG, handler->ClearRaw(reinterpret_cast<IUnknown *>(gone)));

    EXPECT_TRUE(handler->m_deleted.empty());
    EXPECT_EQ(0u, handler->m_paths.Count());
    EXPECT_TRUE(answers.Texts().empty());
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(victim));
}

TEST(HandlerAutomation, InvokeThroughIDispatchWithARealObjectDeletesNothing)
{
    const std::string folder = sandbox::FreshFolder("handler_dispatch");
    const std::string victim = folder + "\\victim.txt";
    MakeFile(victim);
    CComPtr<IDataObject> realObject = MakeSelection({victim});

    for (DISPID id : {kClearRawId, kClearRecycleId}) {
        CComPtr<CRecordingHandler> handler = MakeRecordingHandler();
        VARIANTARG argument;
        VariantInit(&argument);
        argument.vt = VT_UNKNOWN;
        argument.punkVal = realObject.Get();
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        UINT argError = 0;
        DialogAnswerer answers({});
        const HRESULT hr = handler->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError);
        EXPECT_TRUE(FAILED(hr)) << "dispid " << std::hex << id << " gave " << hr;
        EXPECT_TRUE(handler->m_deleted.empty());
        EXPECT_TRUE(answers.Texts().empty());
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    EXPECT_EQ("secret bytes", sandbox::ReadFileBytes(victim));
}
