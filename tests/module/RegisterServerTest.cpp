#include "OrvexShellExtensions.h"
#include "RegistrationSupport.h"
#include "common/ComPtr.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <shlwapi.h>

using namespace registration;

namespace {

struct ExpectedClass
{
    const CLSID *clsid;
    const char *progId;
    const char *versionIndependentProgId;
    const char *friendlyName;
};

const ExpectedClass kClasses[] = {
    {&CLSID_CCOrvexDeleteFile, "OrvexShellExtensions.COrvexDeleteFile.1", "OrvexShellExtensions.COrvexDeleteFile",
     "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, "OrvexShellExtensions.ShellinkHandler.1", "OrvexShellExtensions.ShellinkHandler",
     "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, "OrvexShellExtensions.OrvexRecycleClea.1", "OrvexShellExtensions.OrvexRecycleCleane",
     "COrvexRecycleCleaner Object"},
};

std::string ClassKey(const ExpectedClass &entry)
{
    return "CLSID\\" + GuidText(*entry.clsid);
}

std::string Read(const std::string &path, const std::string &name = "", bool *found = nullptr)
{
    return ReadString(HKEY_CLASSES_ROOT, path, name, found);
}

bool SamePath(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Every test registers through the system's regsvr32 and leaves the module unregistered.
class RegisterServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(0u, RegisterModule()) << "regsvr32 /s b:\\OrvexSE.dll"; }
    void TearDown() override { UnregisterModule(); }
};

TEST_F(RegisterServerTest, WritesEveryKeyAndValueOfTheThreeClasses)
{
    const std::string libId = GuidText(LIBID_OrvexShellExtensions);
    for (const ExpectedClass &entry : kClasses) {
        SCOPED_TRACE(entry.friendlyName);
        const std::string clsid = GuidText(*entry.clsid);
        EXPECT_EQ(entry.friendlyName, Read(entry.progId));
        EXPECT_EQ(clsid, Read(std::string(entry.progId) + "\\CLSID"));
        EXPECT_EQ(entry.friendlyName, Read(entry.versionIndependentProgId));
        EXPECT_EQ(clsid, Read(std::string(entry.versionIndependentProgId) + "\\CLSID"));
        EXPECT_EQ(entry.progId, Read(std::string(entry.versionIndependentProgId) + "\\CurVer"));

        const std::string key = ClassKey(entry);
        EXPECT_EQ(entry.friendlyName, Read(key));
        EXPECT_EQ(entry.progId, Read(key + "\\ProgID"));
        EXPECT_EQ(entry.versionIndependentProgId, Read(key + "\\VersionIndependentProgID"));
        bool found = true;
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Programmable"));
        Read(key + "\\Programmable", "", &found);
        EXPECT_FALSE(found) << "Programmable has no value";
        EXPECT_TRUE(SamePath("b:\\OrvexSE.dll", Read(key + "\\InprocServer32")))
            << "unquoted module path, got " << Read(key + "\\InprocServer32");
        EXPECT_EQ("apartment", Read(key + "\\InprocServer32", "ThreadingModel"));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + "\\LocalServer32"));
        found = false;
        EXPECT_EQ("", Read(key, "AppID", &found));
        EXPECT_TRUE(found) << "AppID is an empty string";
        EXPECT_EQ(libId, Read(key + "\\TypeLib"));
        EXPECT_EQ(5, SubkeyCount(HKEY_CLASSES_ROOT, key)) << "nothing else under the class key";
    }
    const std::string version = "TypeLib\\" + libId + "\\1.0";
    EXPECT_EQ("OrvexShellExtensions 1.0 Type Library", Read(version));
    EXPECT_TRUE(SamePath("b:\\OrvexSE.dll", Read(version + "\\0\\win32")));
    EXPECT_TRUE(SamePath("b:\\", Read(version + "\\HELPDIR"))) << Read(version + "\\HELPDIR");
}

TEST_F(RegisterServerTest, RegisteringAgainRebuildsTheClassKeys)
{
    for (const ExpectedClass &entry : kClasses) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, (ClassKey(entry) + "\\Stray").c_str(), REG_SZ, "s", 1));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueA(HKEY_CLASSES_ROOT, (ClassKey(entry) + "\\Programmable\\Stray").c_str(), REG_SZ, "s", 1));
    }
    ASSERT_EQ(0u, RegisterModule());
    for (const ExpectedClass &entry : kClasses) {
        SCOPED_TRACE(entry.friendlyName);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry) + "\\Stray"));
        EXPECT_EQ(0, SubkeyCount(HKEY_CLASSES_ROOT, ClassKey(entry) + "\\Programmable"));
        EXPECT_EQ(5, SubkeyCount(HKEY_CLASSES_ROOT, ClassKey(entry)));
        EXPECT_EQ(entry.friendlyName, Read(ClassKey(entry)));
    }
}

TEST_F(RegisterServerTest, UnregisteringRemovesTheClassesAndKeepsClsid)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, "CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}",
                                          REG_SZ, "a neighbour", 11));
    ASSERT_EQ(0u, UnregisterModule());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ("a neighbour", Read("CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}"));
    SHDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}");
    for (const ExpectedClass &entry : kClasses) {
        SCOPED_TRACE(entry.friendlyName);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.progId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.versionIndependentProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry)));
    }
    CComPtr<ITypeLib> library;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive())));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(LIBID_OrvexShellExtensions) + "\\1.0"));
}

// The names, flags and dispatch ids that automation clients rely on.
class TypeLibraryTest : public RegisterServerTest
{
protected:
    void SetUp() override
    {
        RegisterServerTest::SetUp();
        ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive()));
    }

    std::wstring HelpString(REFGUID guid)
    {
        CComPtr<ITypeInfo> info;
        BSTR doc = nullptr;
        if (FAILED(library->GetTypeInfoOfGuid(guid, info.Receive())) ||
            FAILED(info->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr)))
            return L"?";
        std::wstring text = doc ? doc : L"";
        SysFreeString(doc);
        return text;
    }

    TYPEATTR Attributes(ITypeInfo *info)
    {
        TYPEATTR copy = {};
        TYPEATTR *attributes = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
            copy = *attributes;
            info->ReleaseTypeAttr(attributes);
        }
        return copy;
    }

    void ExpectCoclass(REFCLSID clsid, REFIID defaultInterface, const wchar_t *help, bool aggregatable)
    {
        CComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(clsid, info.Receive()));
        const TYPEATTR attributes = Attributes(info.Get());
        EXPECT_EQ(TKIND_COCLASS, attributes.typekind);
        EXPECT_EQ(1, attributes.wMajorVerNum);
        EXPECT_EQ(0, attributes.wMinorVerNum);
        EXPECT_TRUE(attributes.wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(aggregatable, (attributes.wTypeFlags & TYPEFLAG_FAGGREGATABLE) != 0);
        EXPECT_EQ(help, HelpString(clsid));
        ASSERT_EQ(1, attributes.cImplTypes);
        INT implFlags = 0;
        EXPECT_EQ(S_OK, info->GetImplTypeFlags(0, &implFlags));
        EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);
        HREFTYPE reference = 0;
        CComPtr<ITypeInfo> implemented;
        ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &reference));
        ASSERT_EQ(S_OK, info->GetRefTypeInfo(reference, implemented.Receive()));
        EXPECT_TRUE(IsEqualIID(defaultInterface, Attributes(implemented.Get()).guid));
    }

    // The dual interface's vtable side: IDispatch's seven slots, then the methods in order.
    void ExpectInterface(REFIID iid, const wchar_t *help, WORD methods)
    {
        CComPtr<ITypeInfo> dispatch;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(iid, dispatch.Receive()));
        const TYPEATTR dispatchAttributes = Attributes(dispatch.Get());
        EXPECT_EQ(TKIND_DISPATCH, dispatchAttributes.typekind);
        EXPECT_TRUE(dispatchAttributes.wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_EQ(help, HelpString(iid));

        HREFTYPE reference = 0;
        CComPtr<ITypeInfo> vtable;
        ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &reference));
        ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Receive()));
        const TYPEATTR attributes = Attributes(vtable.Get());
        EXPECT_EQ(TKIND_INTERFACE, attributes.typekind);
        EXPECT_TRUE(attributes.wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_TRUE(attributes.wTypeFlags & TYPEFLAG_FOLEAUTOMATION) << "every dual interface is automation-compatible";
        EXPECT_EQ(methods, attributes.cFuncs);

        // Its base is IDispatch, taken from the standard OLE library.
        CComPtr<ITypeInfo> base;
        CComPtr<ITypeLib> baseLibrary;
        UINT index = 0;
        ASSERT_EQ(S_OK, vtable->GetRefTypeOfImplType(0, &reference));
        ASSERT_EQ(S_OK, vtable->GetRefTypeInfo(reference, base.Receive()));
        EXPECT_TRUE(IsEqualIID(IID_IDispatch, Attributes(base.Get()).guid));
        ASSERT_EQ(S_OK, base->GetContainingTypeLib(baseLibrary.Receive(), &index));
        TLIBATTR *libAttributes = nullptr;
        ASSERT_EQ(S_OK, baseLibrary->GetLibAttr(&libAttributes));
        EXPECT_TRUE(IsEqualGUID(IID_StdOle, libAttributes->guid)) << "stdole2";
        baseLibrary->ReleaseTLibAttr(libAttributes);
    }

    // Method number slot (0-based after IDispatch) of an interface: its name, id and parameters.
    void ExpectMethod(REFIID iid, UINT slot, const wchar_t *name, MEMBERID id, bool takesUnknown)
    {
        CComPtr<ITypeInfo> dispatch;
        CComPtr<ITypeInfo> vtable;
        HREFTYPE reference = 0;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(iid, dispatch.Receive()));
        ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &reference));
        ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, vtable.Receive()));

        FUNCDESC *function = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(slot, &function));
        EXPECT_EQ(id, function->memid);
        EXPECT_EQ(static_cast<SHORT>((7 + slot) * sizeof(void *)), function->oVft);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        ASSERT_EQ(takesUnknown ? 1 : 0, function->cParams);
        if (takesUnknown) {
            EXPECT_EQ(VT_UNKNOWN, function->lprgelemdescParam[0].tdesc.vt);
            EXPECT_TRUE(function->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FIN);
        }
        vtable->ReleaseFuncDesc(function);

        BSTR names[2] = {};
        UINT count = 0;
        ASSERT_EQ(S_OK, vtable->GetNames(id, names, 2, &count));
        ASSERT_EQ(takesUnknown ? 2u : 1u, count);
        EXPECT_STREQ(name, names[0]);
        if (takesUnknown) {
            EXPECT_STREQ(L"pUnk", names[1]);
        }
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);

        // Automation clients find the same id by name through the dispatch side.
        LPOLESTR lookup = const_cast<LPOLESTR>(name);
        MEMBERID found = MEMBERID_NIL;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(&lookup, 1, &found));
        EXPECT_EQ(id, found);
    }

    CComPtr<ITypeLib> library;
};

TEST_F(TypeLibraryTest, LibraryAttributes)
{
    TLIBATTR *attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(LIBID_OrvexShellExtensions, attributes->guid));
    EXPECT_EQ(SYS_WIN32, attributes->syskind);
    EXPECT_EQ(0u, attributes->lcid);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr;
    BSTR doc = nullptr;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_STREQ(L"OrvexShellExtensions", name);
    EXPECT_STREQ(L"OrvexShellExtensions 1.0 Type Library", doc);
    SysFreeString(name);
    SysFreeString(doc);
    EXPECT_EQ(6u, library->GetTypeInfoCount()) << "three coclasses and three interfaces";
}

TEST_F(TypeLibraryTest, Coclasses)
{
    ExpectCoclass(CLSID_CCOrvexDeleteFile, IID_ICOrvexDeleteFile, L"COrvexDeleteFile Class", true);
    ExpectCoclass(CLSID_CShelLinkHandler, IID_IShellinkHandler, L"ShellinkHandler Class", false);
    ExpectCoclass(CLSID_COrvexRecycleCleaner, IID_IOrvexRecycleCleaner, L"OrvexRecycleCleaner Class", true);
}

TEST_F(TypeLibraryTest, InterfacesAndDispatchIds)
{
    ExpectInterface(IID_ICOrvexDeleteFile, L"ICOrvexDeleteFile Interface", 2);
    ExpectMethod(IID_ICOrvexDeleteFile, 0, L"ClearRecycle", 0x60020000, true);
    ExpectMethod(IID_ICOrvexDeleteFile, 1, L"ClearRaw", 0x60020001, true);
    ExpectInterface(IID_IShellinkHandler, L"IShellinkHandler Interface", 0);
    ExpectInterface(IID_IOrvexRecycleCleaner, L"IOrvexRecycleCleaner Interface", 1);
    ExpectMethod(IID_IOrvexRecycleCleaner, 0, L"Init", 0x60020000, false);
}

} // namespace

namespace {

typedef HRESULT(WINAPI *RegistrationEntry)();

// Removes a folder chain made by the test, deepest first (wide calls: the paths pass MAX_PATH).
void RemoveChain(const std::wstring &file, std::wstring folder, const std::wstring &top)
{
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
    while (folder.size() >= top.size()) {
        RemoveDirectoryW(folder.c_str());
        folder = folder.substr(0, folder.rfind(L'\\'));
    }
}

// A module whose path fills the whole MAX_PATH buffer cannot name itself: nothing is registered.
TEST(ModulePathTest, PathLongerThanTheBufferFailsWithInsufficientBuffer)
{
    const std::wstring top = L"S:\\long-module-path";
    std::wstring folder = top;
    while (folder.size() < MAX_PATH)
        folder += L"\\" + std::wstring(40, L'd');
    const std::wstring file = folder + L"\\OrvexSE.dll";
    RemoveChain(file, folder, top); // what an earlier run may have left
    for (size_t end = top.size(); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        ASSERT_TRUE(CreateDirectoryW(folder.substr(0, end).c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(CopyFileW(L"b:\\OrvexSE.dll", file.c_str(), FALSE)) << GetLastError();

    HMODULE module = LoadLibraryW(file.c_str());
    if (!module) {
        RemoveChain(file, folder, top);
        GTEST_SKIP() << "this system loads no library from a path of " << file.size() << " characters";
    }
    auto registerServer = reinterpret_cast<RegistrationEntry>(GetProcAddress(module, "DllRegisterServer"));
    auto unregisterServer = reinterpret_cast<RegistrationEntry>(GetProcAddress(module, "DllUnregisterServer"));
    ASSERT_NE(nullptr, registerServer);
    ASSERT_NE(nullptr, unregisterServer);
    EXPECT_EQ(static_cast<HRESULT>(0x8007007A), registerServer());
    EXPECT_EQ(static_cast<HRESULT>(0x8007007A), unregisterServer());
    FreeLibrary(module);
    RemoveChain(file, folder, top);

    for (const ExpectedClass &entry : kClasses) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry))) << entry.friendlyName;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.progId)) << entry.friendlyName;
    }
}

} // namespace
