// The cleaner's COM face, its menu item and its hand-over to the Secure Delete class.
#include <gtest/gtest.h>

#include "BinFolders.h"
#include "DeleteClassStub.h"
#include "common/ComPtr.h"
#include "module/Module.h"
#include "resource.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

using Paths = std::vector<std::string>;

namespace {

const char kConfirmText[] = "Do you really want delete items in Recycle Bin(s)\rusing Talmior 2005 Trial Secure Delete ?";

std::string ItemText(HMENU menu, UINT position)
{
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
    return text;
}

class CMenu
{
public:
    CMenu() : m_menu(CreatePopupMenu()) {}
    ~CMenu() { DestroyMenu(m_menu); }
    HMENU Get() const { return m_menu; }
    int Count() const { return GetMenuItemCount(m_menu); }

private:
    HMENU m_menu;
};

CMINVOKECOMMANDINFO CommandInfo(const char *verb)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    info.nShow = SW_SHOWNORMAL;
    return info;
}

} // namespace

class RecycleCleaner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(bins::FoldersOutsideSandbox(), Paths()) << "a bin outside the sandbox would be listed";
        bins::RemoveAll();
    }
    void TearDown() override
    {
        bins::RemoveAll();
        CoUninitialize();
    }
};

TEST_F(RecycleCleaner, CreationRefusesAggregationAndCountsTheModuleLock)
{
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(COrvexRecycleCleaner::CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    IUnknown *outer = reinterpret_cast<IUnknown *>(&object);
    EXPECT_EQ(COrvexRecycleCleaner::CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    const LONG locks = g_module.LockCount();
    {
        CleanerRef cleaner;
        EXPECT_EQ(g_module.LockCount(), locks + 1);
    }
    EXPECT_EQ(g_module.LockCount(), locks);
}

TEST_F(RecycleCleaner, AnswersItsInterfacesAndNoOther)
{
    CleanerRef cleaner;
    IUnknown *primary = static_cast<IOrvexRecycleCleaner *>(cleaner.Get());
    for (REFIID riid : {IID_IUnknown, IID_IDispatch, IID_IOrvexRecycleCleaner}) {
        void *face = nullptr;
        ASSERT_EQ(cleaner->QueryInterface(riid, &face), S_OK);
        EXPECT_EQ(face, primary);
        static_cast<IUnknown *>(face)->Release();
    }
    CComPtr<IContextMenu> menu;
    EXPECT_EQ(cleaner->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()), S_OK);
    CComPtr<IShellExtInit> init;
    EXPECT_EQ(cleaner->QueryInterface(IID_IShellExtInit, init.ReceiveVoid()), S_OK);
    CComPtr<IProvideClassInfo> classInfo;
    EXPECT_EQ(cleaner->QueryInterface(IID_IProvideClassInfo, classInfo.ReceiveVoid()), S_OK);
    void *other = reinterpret_cast<void *>(1);
    EXPECT_EQ(cleaner->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST_F(RecycleCleaner, TypeInformationComesFromTheModuleLibrary)
{
    CleanerRef cleaner;
    UINT count = 0;
    EXPECT_EQ(cleaner->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    CComPtr<ITypeInfo> info;
    EXPECT_EQ(cleaner->GetTypeInfo(1, 0, info.Receive()), DISP_E_BADINDEX);
    ASSERT_EQ(cleaner->GetTypeInfo(0, 0, info.Receive()), S_OK);
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IOrvexRecycleCleaner));
    info->ReleaseTypeAttr(attributes);

    CComPtr<ITypeInfo> coclass;
    ASSERT_EQ(cleaner->GetClassInfo(coclass.Receive()), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_COrvexRecycleCleaner));
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    coclass->ReleaseTypeAttr(attributes);
}

TEST_F(RecycleCleaner, MenuFlagsDecideWhetherTheItemIsAdded)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    CleanerRef cleaner;
    cleaner.Scan();
    {
        CMenu menu;
        EXPECT_EQ(cleaner->QueryContextMenu(menu.Get(), 0, 100, 200, CMF_DEFAULTONLY), S_OK);
        EXPECT_EQ(menu.Count(), 0);
    }
    {
        CMenu menu;
        EXPECT_EQ(cleaner->QueryContextMenu(menu.Get(), 0, 100, 200, CMF_EXPLORE), MAKE_HRESULT(0, 0, 1));
        EXPECT_EQ(menu.Count(), 0);
    }
    for (UINT flags : {CMF_NORMAL, CMF_VERBSONLY, CMF_CANRENAME}) {
        CMenu menu;
        AppendMenuA(menu.Get(), MF_STRING, 1, "Open");
        AppendMenuA(menu.Get(), MF_STRING, 2, "Empty Recycle Bin");
        EXPECT_EQ(cleaner->QueryContextMenu(menu.Get(), 1, 100, 200, flags), MAKE_HRESULT(0, 0, 1)) << flags;
        ASSERT_EQ(menu.Count(), 3);
        EXPECT_EQ(ItemText(menu.Get(), 1), "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete");
        EXPECT_EQ(GetMenuItemID(menu.Get(), 1), 100u);
        EXPECT_FALSE(GetMenuState(menu.Get(), 100, MF_BYCOMMAND) & MF_GRAYED) << "bins have content";
    }
    char name[64] = {};
    EXPECT_EQ(cleaner->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)), E_NOTIMPL);
    EXPECT_EQ(cleaner->GetCommandString(0, GCS_HELPTEXTA, nullptr, name, sizeof(name)), E_NOTIMPL);
}

TEST_F(RecycleCleaner, TheItemIsGreyedWithEmptyBinsOrWithAnotherCleanerAlive)
{
    CleanerRef empty;
    empty.Scan();
    CMenu emptyMenu;
    empty->QueryContextMenu(emptyMenu.Get(), 0, 100, 200, CMF_NORMAL);
    EXPECT_TRUE(GetMenuState(emptyMenu.Get(), 100, MF_BYCOMMAND) & MF_GRAYED);
    empty.Reset();

    bins::MakeFile("T:\\recycled\\Dc1.txt");
    CleanerRef first;
    first.Scan();
    CleanerRef second;
    second.Scan();
    CMenu firstMenu, secondMenu;
    first->QueryContextMenu(firstMenu.Get(), 0, 100, 200, CMF_NORMAL);
    second->QueryContextMenu(secondMenu.Get(), 0, 100, 200, CMF_NORMAL);
    EXPECT_FALSE(GetMenuState(firstMenu.Get(), 100, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(secondMenu.Get(), 100, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(RecycleCleaner, InitHandsTheBinsOverWithTheKeepListAndAsksNothing)
{
    bins::MakeFile("S:\\recycler\\S-1-5-21-3\\Dc1.txt");
    bins::MakeFile("T:\\recycled\\Dc2.txt");
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    ASSERT_EQ(deleter.RegistrationResult(), S_OK);
    DialogAnswerer answers({});
    CleanerRef cleaner;
    EXPECT_EQ(cleaner->Init(), S_OK);
    EXPECT_EQ(deleter.Log().created, 1);
    EXPECT_EQ(deleter.Log().recycleCalls, 1);
    EXPECT_EQ(deleter.Log().rawCalls, 0);
    EXPECT_TRUE(deleter.Log().useKeepList);
    EXPECT_EQ(deleter.Log().folders, Paths({"S:\\recycler\\S-1-5-21-3\\", "T:\\recycled\\"}));
    EXPECT_EQ(deleter.Log().keepList, Paths({"desktop.ini"}));
    EXPECT_EQ(answers.Texts(), Paths()) << "Init asks nothing";
}

TEST_F(RecycleCleaner, InitWhileAnotherCleanerLivesStillCallsClearRecycleWithNoFolders)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    CleanerRef first;
    first.Scan();
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    CleanerRef second;
    EXPECT_EQ(second->Init(), S_OK);
    EXPECT_EQ(deleter.Log().recycleCalls, 1);
    EXPECT_EQ(deleter.Log().folders, Paths());
    EXPECT_EQ(deleter.Log().keepList, Paths({"desktop.ini"}));
    EXPECT_TRUE(sandbox::Exists("S:\\recycler\\Dc1.txt"));
}

TEST_F(RecycleCleaner, InitRunsThroughIDispatch)
{
    bins::MakeFile("T:\\recycler\\Dc1.txt");
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    CleanerRef cleaner;
    OLECHAR name[] = L"Init";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(cleaner->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0x60020000);
    DISPPARAMS none = {};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(cleaner->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(deleter.Log().recycleCalls, 1);
    EXPECT_EQ(deleter.Log().folders, Paths({"T:\\recycler\\"}));
}

TEST_F(RecycleCleaner, DecliningTheConfirmationCreatesNothing)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    CleanerRef cleaner;
    cleaner.Scan();
    DialogAnswerer answers({IDCANCEL});
    CMINVOKECOMMANDINFO info = CommandInfo(MAKEINTRESOURCEA(0));
    EXPECT_EQ(cleaner->InvokeCommand(&info), S_OK);
    EXPECT_EQ(answers.Texts(), Paths({kConfirmText}));
    EXPECT_EQ(deleter.Log().created, 0);
    EXPECT_TRUE(sandbox::Exists("S:\\recycler\\Dc1.txt"));
}

TEST_F(RecycleCleaner, ConfirmingRunsTheCommandForAnyVerb)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
    CleanerRef cleaner;
    cleaner.Scan();
    DialogAnswerer answers({IDOK, IDOK});
    CMINVOKECOMMANDINFO byOffset = CommandInfo(MAKEINTRESOURCEA(0));
    EXPECT_EQ(cleaner->InvokeCommand(&byOffset), S_OK);
    CMINVOKECOMMANDINFO byName = CommandInfo("delete");
    EXPECT_EQ(cleaner->InvokeCommand(&byName), S_OK);
    EXPECT_EQ(answers.Texts(), Paths({kConfirmText, kConfirmText}));
    EXPECT_EQ(deleter.Log().recycleCalls, 2);
    EXPECT_EQ(deleter.Log().folders, Paths({"S:\\recycler\\"}));
}

TEST_F(RecycleCleaner, ADeleteClassThatCannotBeCreatedGivesEFail)
{
    bins::MakeFile("S:\\recycler\\Dc1.txt");
    DeleteClassRegistration deleter(DeleteClassRegistration::Failing);
    CleanerRef cleaner;
    cleaner.Scan();
    EXPECT_EQ(cleaner->InvokeCommand(nullptr), E_FAIL);
    EXPECT_EQ(cleaner->Init(), S_OK) << "Init gives S_OK whatever happened";
    EXPECT_TRUE(sandbox::Exists("S:\\recycler\\Dc1.txt"));
}

// The real Secure Delete class empties the listed bins: the top-level bin folders and every
// "desktop.ini" stay, the rest goes; nothing outside the listed folders is touched.
TEST_F(RecycleCleaner, EmptyingKeepsDesktopIniAndTouchesNothingOutsideTheBins)
{
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\Dc1.txt");
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\desktop.ini", "[.ShellClassInfo]");
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\INFO2");
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\Dc2\\desktop.ini", "[.ShellClassInfo]");
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\Dc2\\inner\\photo.jpg");
    bins::MakeFile("S:\\recycler\\S-1-5-21-1\\Dc2\\notes.txt");
    bins::MakeFile("T:\\recycled\\desktop.ini", "[.ShellClassInfo]");
    bins::MakeFile("T:\\recycled\\Dc3.doc");
    bins::MakeFolder("T:\\recycled\\Dc4");
    const std::string outside = sandbox::FreshFolder("recycle-outside") + "\\kept.txt";
    sandbox::WriteFileBytes(outside, "kept");

    CleanerRef probe;
    probe.Scan();
    // The other user's folder: the search may return either first; whichever is not listed must stay.
    bins::MakeFile("S:\\recycler\\S-1-5-21-2\\other.txt", "other user");
    ASSERT_EQ(probe.Bins(), Paths({"S:\\recycler\\S-1-5-21-1\\", "T:\\recycled\\"}));
    probe.Reset();

    CleanerRef cleaner;
    cleaner.Scan();
    const Paths listed = cleaner.Bins();
    ASSERT_EQ(listed.size(), 2u);
    const bool firstUserListed = listed[0] == "S:\\recycler\\S-1-5-21-1\\";
    DeleteClassRegistration deleter(DeleteClassRegistration::Real);
    DialogAnswerer answers({});
    EXPECT_EQ(cleaner->Init(), S_OK);
    EXPECT_EQ(deleter.Log().created, 1);
    EXPECT_EQ(answers.Texts(), Paths()) << "no question and no error report";

    EXPECT_TRUE(sandbox::Exists("S:\\recycler"));
    EXPECT_TRUE(sandbox::Exists("T:\\recycled"));
    EXPECT_TRUE(sandbox::Exists("T:\\recycled\\desktop.ini"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc3.doc"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc4"));
    EXPECT_EQ(sandbox::ReadFileBytes(outside), "kept");
    const std::string user1 = "S:\\recycler\\S-1-5-21-1\\";
    if (firstUserListed) {
        EXPECT_TRUE(sandbox::Exists(user1));
        EXPECT_EQ(sandbox::ReadFileBytes(user1 + "desktop.ini"), "[.ShellClassInfo]");
        EXPECT_EQ(sandbox::ReadFileBytes(user1 + "Dc2\\desktop.ini"), "[.ShellClassInfo]");
        EXPECT_FALSE(sandbox::Exists(user1 + "Dc1.txt"));
        EXPECT_FALSE(sandbox::Exists(user1 + "INFO2"));
        EXPECT_FALSE(sandbox::Exists(user1 + "Dc2\\notes.txt"));
        EXPECT_FALSE(sandbox::Exists(user1 + "Dc2\\inner"));
        EXPECT_EQ(sandbox::ReadFileBytes("S:\\recycler\\S-1-5-21-2\\other.txt"), "other user");
    } else {
        EXPECT_EQ(listed[0], "S:\\recycler\\S-1-5-21-2\\");
        EXPECT_FALSE(sandbox::Exists("S:\\recycler\\S-1-5-21-2\\other.txt"));
        EXPECT_EQ(sandbox::ReadFileBytes(user1 + "Dc1.txt"), "recycled content");
        EXPECT_TRUE(sandbox::Exists(user1 + "Dc2\\notes.txt"));
    }
    sandbox::RemoveTree("S:\\recycle-outside");
}
