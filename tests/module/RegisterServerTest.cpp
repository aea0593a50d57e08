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

std::wstring HelpString(ITypeInfo *info)
{
    BSTR doc = nullptr;
    if (FAILED(info->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr)))
        return L"?";
    const std::wstring text = doc ? doc : L"";
    SysFreeString(doc);
    return text;
}

// The vtable side of a dual interface, or the type it derives from.
HRESULT Related(ITypeInfo *info, UINT index, ITypeInfo **related)
{
    HREFTYPE reference = 0;
    const HRESULT hr = info->GetRefTypeOfImplType(index, &reference);
    return FAILED(hr) ? hr : info->GetRefTypeInfo(reference, related);
}

// What automation clients rely on: names, versions, flags and dispatch ids.
TEST_F(RegisterServerTest, TypeLibraryAsDescribed)
{
    CComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive()));
    TLIBATTR *libAttributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&libAttributes));
    EXPECT_EQ(SYS_WIN32, libAttributes->syskind);
    EXPECT_EQ(0u, libAttributes->lcid);
    EXPECT_EQ(1, libAttributes->wMajorVerNum);
    EXPECT_EQ(0, libAttributes->wMinorVerNum);
    library->ReleaseTLibAttr(libAttributes);
    BSTR name = nullptr;
    BSTR doc = nullptr;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_STREQ(L"OrvexShellExtensions", name);
    EXPECT_STREQ(L"OrvexShellExtensions 1.0 Type Library", doc);
    SysFreeString(name);
    SysFreeString(doc);
    EXPECT_EQ(6u, library->GetTypeInfoCount());

    const struct
    {
        const GUID *guid;
        const wchar_t *help;
        const GUID *defaultInterface; // for a coclass
        WORD methods;                 // for an interface
        bool aggregatable;
    } types[] = {
        {&CLSID_CCOrvexDeleteFile, L"COrvexDeleteFile Class", &IID_ICOrvexDeleteFile, 0, true},
        {&CLSID_CShelLinkHandler, L"ShellinkHandler Class", &IID_IShellinkHandler, 0, false},
        {&CLSID_COrvexRecycleCleaner, L"OrvexRecycleCleaner Class", &IID_IOrvexRecycleCleaner, 0, true},
        {&IID_ICOrvexDeleteFile, L"ICOrvexDeleteFile Interface", nullptr, 2, false},
        {&IID_IShellinkHandler, L"IShellinkHandler Interface", nullptr, 0, false},
        {&IID_IOrvexRecycleCleaner, L"IOrvexRecycleCleaner Interface", nullptr, 1, false},
    };
    for (const auto &type : types) {
        SCOPED_TRACE(type.help);
        CComPtr<ITypeInfo> info;
        CComPtr<ITypeInfo> related;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*type.guid, info.Receive()));
        const TYPEATTR attributes = Attributes(info.Get());
        EXPECT_EQ(type.help, HelpString(info.Get()));
        if (type.defaultInterface) {
            EXPECT_EQ(TKIND_COCLASS, attributes.typekind);
            EXPECT_EQ(1, attributes.wMajorVerNum);
            EXPECT_EQ(0, attributes.wMinorVerNum);
            EXPECT_TRUE(attributes.wTypeFlags & TYPEFLAG_FCANCREATE);
            EXPECT_EQ(type.aggregatable, (attributes.wTypeFlags & TYPEFLAG_FAGGREGATABLE) != 0);
            INT implFlags = 0;
            EXPECT_EQ(S_OK, info->GetImplTypeFlags(0, &implFlags));
            EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);
            ASSERT_EQ(S_OK, Related(info.Get(), 0, related.Receive()));
            EXPECT_TRUE(IsEqualIID(*type.defaultInterface, Attributes(related.Get()).guid));
            continue;
        }
        EXPECT_EQ(TKIND_DISPATCH, attributes.typekind);
        ASSERT_EQ(S_OK, Related(info.Get(), static_cast<UINT>(-1), related.Receive()));
        const TYPEATTR vtable = Attributes(related.Get());
        EXPECT_EQ(TKIND_INTERFACE, vtable.typekind);
        EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION, vtable.wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION));
        EXPECT_EQ(type.methods, vtable.cFuncs);
        // Derived from IDispatch of the standard OLE library.
        CComPtr<ITypeInfo> base;
        CComPtr<ITypeLib> baseLibrary;
        UINT index = 0;
        ASSERT_EQ(S_OK, Related(related.Get(), 0, base.Receive()));
        EXPECT_TRUE(IsEqualIID(IID_IDispatch, Attributes(base.Get()).guid));
        ASSERT_EQ(S_OK, base->GetContainingTypeLib(baseLibrary.Receive(), &index));
        ASSERT_EQ(S_OK, baseLibrary->GetLibAttr(&libAttributes));
        EXPECT_TRUE(IsEqualGUID(IID_StdOle, libAttributes->guid));
        baseLibrary->ReleaseTLibAttr(libAttributes);
    }

    // The methods: found by name with their dispatch ids, in the slots right after IDispatch's
    // seven, each taking one [in] IUnknown pointer named pUnk (Init none).
    const struct
    {
        const IID *iid;
        const wchar_t *name;
        UINT slot;
        MEMBERID id;
        bool takesUnknown;
    } methods[] = {
        {&IID_ICOrvexDeleteFile, L"ClearRecycle", 0, 0x60020000, true},
        {&IID_ICOrvexDeleteFile, L"ClearRaw", 1, 0x60020001, true},
        {&IID_IOrvexRecycleCleaner, L"Init", 0, 0x60020000, false},
    };
    for (const auto &method : methods) {
        SCOPED_TRACE(method.name);
        CComPtr<ITypeInfo> dispatch;
        CComPtr<ITypeInfo> vtable;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*method.iid, dispatch.Receive()));
        ASSERT_EQ(S_OK, Related(dispatch.Get(), static_cast<UINT>(-1), vtable.Receive()));
        LPOLESTR lookup = const_cast<LPOLESTR>(method.name);
        MEMBERID found = MEMBERID_NIL;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(&lookup, 1, &found));
        EXPECT_EQ(method.id, found);

        FUNCDESC *function = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(method.slot, &function));
        EXPECT_EQ(method.id, function->memid);
        EXPECT_EQ(static_cast<SHORT>((7 + method.slot) * sizeof(void *)), function->oVft);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        EXPECT_EQ(method.takesUnknown ? 1 : 0, function->cParams);
        if (method.takesUnknown && function->cParams == 1) {
            EXPECT_EQ(VT_UNKNOWN, function->lprgelemdescParam[0].tdesc.vt);
            EXPECT_TRUE(function->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FIN);
            BSTR names[2] = {};
            UINT count = 0;
            EXPECT_EQ(S_OK, vtable->GetNames(method.id, names, 2, &count));
            EXPECT_STREQ(L"pUnk", count == 2 ? names[1] : L"");
            for (UINT i = 0; i < count; ++i)
                SysFreeString(names[i]);
        }
        vtable->ReleaseFuncDesc(function);
    }
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
