// The cleaner's COM face, its menu item and its hand-over to the Secure Delete class.
#include "BinFolders.h"
#include "DeleteClassStub.h"
#include "module/Module.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

namespace {

const char kConfirmText[] = "Do you really want delete items in Recycle Bin(s)\rusing Talmior 2005 Trial Secure Delete ?";
const char kItemText[] = "Empty Recycle Bin(s) With Talmior 2005 Trial Secure Delete";

HRESULT Invoke(COrvexRecycleCleaner *cleaner, const char *verb)
{
    CMINVOKECOMMANDINFO info = CommandInfo(verb);
    return cleaner->InvokeCommand(&info);
}

// The items after QueryContextMenu on a menu that has "Open" and "Empty Recycle Bin", at position 1.
Items MenuAfter(COrvexRecycleCleaner *cleaner, UINT flags, HRESULT expected)
{
    CMenu menu;
    AppendMenuA(menu.Get(), MF_STRING, 1, "Open");
    AppendMenuA(menu.Get(), MF_STRING, 2, "Empty Recycle Bin");
    EXPECT_EQ(cleaner->QueryContextMenu(menu.Get(), 1, 100, 200, flags), expected) << flags;
    return MenuItems(menu.Get());
}

} // namespace

using RecycleCleaner = BinsTest;

TEST_F(RecycleCleaner, ComFaceAndModuleLock)
{
    EXPECT_EQ(COrvexRecycleCleaner::CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    const LONG locks = g_module.LockCount();
    {
        CleanerRef cleaner;
        EXPECT_EQ(g_module.LockCount(), locks + 1);
        IUnknown *primary = static_cast<IOrvexRecycleCleaner *>(cleaner.Get());
        for (REFIID riid : {IID_IUnknown, IID_IDispatch, IID_IOrvexRecycleCleaner}) {
            void *face = nullptr;
            ASSERT_EQ(cleaner->QueryInterface(riid, &face), S_OK);
            EXPECT_EQ(face, primary);
            static_cast<IUnknown *>(face)->Release();
        }
        ExpectInterfaces(primary, {IID_IContextMenu, IID_IShellExtInit, IID_IProvideClassInfo});
        ExpectTypeInfo(cleaner.Get(), cleaner.Get(), IID_IOrvexRecycleCleaner, CLSID_COrvexRecycleCleaner);
    }
    EXPECT_EQ(g_module.LockCount(), locks);
}

TEST_F(RecycleCleaner, TheMenuItemFollowsFlagsContentAndOtherCleaners)
{
    const Items plain = {{1u, "Open"}, {2u, "Empty Recycle Bin"}};
    const Items added = {{1u, "Open"}, {100u, kItemText}, {2u, "Empty Recycle Bin"}};
    const Items greyed = {{1u, "Open"}, {100u, std::string(kItemText) + " (greyed)"}, {2u, "Empty Recycle Bin"}};
    {
        CleanerRef empty;
        empty->Initialize(nullptr, nullptr, nullptr);
        EXPECT_EQ(MenuAfter(empty.Get(), CMF_NORMAL, MAKE_HRESULT(0, 0, 1)), greyed) << "empty bins";
    }
    bins::Make("S:\\recycler\\Dc1.txt");
    CleanerRef cleaner;
    cleaner->Initialize(nullptr, nullptr, nullptr);
    EXPECT_EQ(MenuAfter(cleaner.Get(), CMF_DEFAULTONLY, S_OK), plain);
    EXPECT_EQ(MenuAfter(cleaner.Get(), CMF_EXPLORE, MAKE_HRESULT(0, 0, 1)), plain);
    for (UINT flags : {CMF_NORMAL, CMF_VERBSONLY, CMF_CANRENAME})
        EXPECT_EQ(MenuAfter(cleaner.Get(), flags, MAKE_HRESULT(0, 0, 1)), added) << flags;
    char name[64] = {};
    EXPECT_EQ(cleaner->GetCommandString(0, GCS_VERBA, nullptr, name, sizeof(name)), E_NOTIMPL);
    EXPECT_EQ(cleaner->GetCommandString(0, GCS_HELPTEXTA, nullptr, name, sizeof(name)), E_NOTIMPL);

    CleanerRef second;
    second->Initialize(nullptr, nullptr, nullptr);
    EXPECT_EQ(MenuAfter(second.Get(), CMF_NORMAL, MAKE_HRESULT(0, 0, 1)), greyed) << "another cleaner alive";
}

// The command asks first, for any verb; Init (here through IDispatch) asks nothing. Both hand the
// bins over with the keep list; with another cleaner alive Init still calls ClearRecycle, with no
// folders.
TEST_F(RecycleCleaner, TheCommandAndInitHandTheBinsOverOrFailWithoutADeleteClass)
{
    bins::Make("S:\\recycler\\S-1-5-21-3\\Dc1.txt");
    bins::Make("T:\\recycled\\Dc2.txt");
    const Paths listed = {"S:\\recycler\\S-1-5-21-3\\", "T:\\recycled\\"};
    {
        DeleteClassRegistration deleter(DeleteClassRegistration::Recording);
        ASSERT_EQ(deleter.RegistrationResult(), S_OK);
        const HandOver &log = deleter.Log();
        {
            CleanerRef cleaner;
            cleaner->Initialize(nullptr, nullptr, nullptr);
            DialogAnswerer answers({IDCANCEL, IDOK, IDOK});
            EXPECT_EQ(Invoke(cleaner.Get(), MAKEINTRESOURCEA(0)), S_OK);
            EXPECT_EQ(log.created, 0) << "declined";
            EXPECT_EQ(Invoke(cleaner.Get(), MAKEINTRESOURCEA(0)), S_OK);
            EXPECT_EQ(Invoke(cleaner.Get(), "delete"), S_OK);
            EXPECT_EQ(answers.Texts(), Paths({kConfirmText, kConfirmText, kConfirmText}));
            EXPECT_EQ(log.recycleCalls, 2);
            EXPECT_EQ(log.folders, listed);
        }
        DialogAnswerer nothingAsked({});
        CleanerRef scripted;
        OLECHAR name[] = L"Init";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        ASSERT_EQ(scripted->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        EXPECT_EQ(id, 0x60020000);
        DISPPARAMS none = {};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(scripted->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
        EXPECT_EQ(log.created, 3);
        EXPECT_EQ(log.recycleCalls, 3);
        EXPECT_EQ(log.rawCalls, 0);
        EXPECT_TRUE(log.useKeepList);
        EXPECT_EQ(log.folders, listed);
        EXPECT_EQ(log.keepList, Paths({"desktop.ini"}));

        CleanerRef second;
        EXPECT_EQ(second->Init(), S_OK);
        EXPECT_EQ(log.recycleCalls, 4);
        EXPECT_EQ(log.folders, Paths());
        EXPECT_EQ(log.keepList, Paths({"desktop.ini"}));
        EXPECT_EQ(nothingAsked.Texts(), Paths());
    }
    // No Secure Delete class, or one that answers as a proxy: a proxy is never handed the record.
    for (auto kind : {DeleteClassRegistration::Failing, DeleteClassRegistration::Proxy}) {
        SCOPED_TRACE(kind);
        DeleteClassRegistration unusable(kind);
        CleanerRef cleaner;
        cleaner->Initialize(nullptr, nullptr, nullptr);
        EXPECT_EQ(cleaner->InvokeCommand(nullptr), E_FAIL);
        EXPECT_EQ(cleaner->Init(), S_OK) << "Init gives S_OK whatever happened";
        EXPECT_EQ(unusable.Log().recycleCalls, 0);
        EXPECT_TRUE(sandbox::Exists("S:\\recycler\\S-1-5-21-3\\Dc1.txt"));
    }
}

// The real Secure Delete class empties the listed bins: the top-level bin folders and every
// "desktop.ini" stay, the rest goes; nothing outside the listed folders is touched.
TEST_F(RecycleCleaner, EmptyingKeepsDesktopIniAndTouchesNothingOutsideTheBins)
{
    // Two users' folders alike: the search lists whichever comes first; the other must stay whole.
    const Paths userFiles = {"Dc1.txt", "INFO2", "Dc2\\inner\\photo.jpg", "Dc2\\notes.txt"};
    for (const char *user : {"S:\\recycler\\S-1-5-21-1\\", "S:\\recycler\\S-1-5-21-2\\"}) {
        for (const std::string &file : userFiles)
            bins::Make(user + file);
        bins::Make(user + std::string("desktop.ini"), "[.ShellClassInfo]");
        bins::Make(user + std::string("Dc2\\desktop.ini"), "[.ShellClassInfo]");
    }
    bins::Make("T:\\recycled\\desktop.ini", "[.ShellClassInfo]");
    bins::Make("T:\\recycled\\Dc3.doc");
    bins::Make("T:\\recycled\\Dc4\\");
    // Names the ANSI code page cannot spell go as well, by their short names; the keep list
    // matches long names exactly, so a name that only reads "desktop.ini" in best fit goes too.
    const std::wstring unspelled[] = {L"T:\\recycled\\Dc4\\\x03A9mega.txt", L"T:\\recycled\\desktop.\x0131n\x0131"};
    for (const std::wstring &path : unspelled)
        sandbox::WriteFileBytes(path, "recycled content");
    const std::string outside = sandbox::FreshFolder("recycle-outside") + "\\kept.txt";
    sandbox::WriteFileBytes(outside, "kept");

    CleanerRef cleaner;
    cleaner->Initialize(nullptr, nullptr, nullptr);
    const Paths listed = Bins(cleaner);
    ASSERT_EQ(listed.size(), 2u);
    ASSERT_EQ(listed[1], "T:\\recycled\\");
    const std::string user = listed[0];
    const std::string other = user == "S:\\recycler\\S-1-5-21-1\\" ? "S:\\recycler\\S-1-5-21-2\\" : "S:\\recycler\\S-1-5-21-1\\";
    ASSERT_NE(user, other);
    DeleteClassRegistration deleter(DeleteClassRegistration::Real);
    DialogAnswerer answers({});
    EXPECT_EQ(cleaner->Init(), S_OK);
    EXPECT_EQ(deleter.Log().created, 1);
    EXPECT_EQ(answers.Texts(), Paths()) << "no question and no error report";

    EXPECT_TRUE(sandbox::Exists("T:\\recycled"));
    EXPECT_TRUE(sandbox::Exists("T:\\recycled\\desktop.ini"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc3.doc"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc4"));
    for (const std::wstring &path : unspelled)
        EXPECT_FALSE(sandbox::Exists(path)) << sandbox::Narrow(path);
    EXPECT_EQ(sandbox::ReadFileBytes(outside), "kept");
    EXPECT_EQ(sandbox::ReadFileBytes(user + "desktop.ini"), "[.ShellClassInfo]");
    EXPECT_EQ(sandbox::ReadFileBytes(user + "Dc2\\desktop.ini"), "[.ShellClassInfo]");
    EXPECT_FALSE(sandbox::Exists(user + "Dc2\\inner"));
    for (const std::string &file : userFiles) {
        EXPECT_FALSE(sandbox::Exists(user + file)) << user + file;
        EXPECT_EQ(sandbox::ReadFileBytes(other + file), "recycled content") << other + file;
    }
    sandbox::RemoveTree("S:\\recycle-outside");
}

// A host thread in the multithreaded apartment: COM would give it a proxy of the
// apartment-threaded Secure Delete class, which must never receive the record. The bins are
// emptied all the same, desktop.ini and the bin folders staying.
TEST_F(RecycleCleaner, OnAHostThreadInTheMultithreadedApartmentTheBinsAreEmptied)
{
    bins::Make("S:\\recycler\\S-1-5-21-6\\Dc1.txt");
    bins::Make("S:\\recycler\\S-1-5-21-6\\desktop.ini", "[.ShellClassInfo]");
    bins::Make("T:\\recycled\\Dc2\\Dc3.txt");
    RunInMultithreadedApartment([] {
        CleanerRef cleaner;
        cleaner->Initialize(nullptr, nullptr, nullptr);
        DialogAnswerer answers({IDOK});
        EXPECT_EQ(Invoke(cleaner.Get(), MAKEINTRESOURCEA(0)), S_OK);
        EXPECT_EQ(answers.Texts(), Paths({kConfirmText})) << "asked once, no error reported";
    });
    EXPECT_FALSE(sandbox::Exists("S:\\recycler\\S-1-5-21-6\\Dc1.txt"));
    EXPECT_FALSE(sandbox::Exists("T:\\recycled\\Dc2"));
    EXPECT_EQ(sandbox::ReadFileBytes("S:\\recycler\\S-1-5-21-6\\desktop.ini"), "[.ShellClassInfo]");
    EXPECT_TRUE(sandbox::Exists("T:\\recycled"));
}
