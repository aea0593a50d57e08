#include "OrvexShellExtensions.h"
#include "RegistrationSupport.h"
#include "common/ComPtr.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <shlwapi.h>

using namespace registration;

namespace {

const struct ExpectedClass
{
    const CLSID *clsid;
    const char *progId;
    const char *versionIndependentProgId;
    const char *friendlyName;
} kClasses[] = {
    {&CLSID_CCOrvexDeleteFile, "OrvexShellExtensions.COrvexDeleteFile.1", "OrvexShellExtensions.COrvexDeleteFile",
     "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, "OrvexShellExtensions.ShellinkHandler.1", "OrvexShellExtensions.ShellinkHandler",
     "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, "OrvexShellExtensions.OrvexRecycleClea.1", "OrvexShellExtensions.OrvexRecycleCleane",
     "COrvexRecycleCleaner Object"},
};

std::string ClassKey(const ExpectedClass &entry) { return "CLSID\\" + GuidText(*entry.clsid); }
std::string Read(const std::string &path, const char *name = "", bool *found = nullptr)
{
    return ReadString(HKEY_CLASSES_ROOT, path, name, found);
}
bool IsModulePath(const std::string &path) { return lstrcmpiA("b:\\OrvexSE.dll", path.c_str()) == 0; }

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
        for (const std::string progId : {entry.progId, entry.versionIndependentProgId}) {
            EXPECT_EQ(entry.friendlyName, Read(progId));
            EXPECT_EQ(GuidText(*entry.clsid), Read(progId + "\\CLSID"));
        }
        EXPECT_EQ(entry.progId, Read(std::string(entry.versionIndependentProgId) + "\\CurVer"));

        const std::string key = ClassKey(entry);
        EXPECT_EQ(entry.friendlyName, Read(key));
        EXPECT_EQ(entry.progId, Read(key + "\\ProgID"));
        EXPECT_EQ(entry.versionIndependentProgId, Read(key + "\\VersionIndependentProgID"));
        bool found = true;
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Programmable"));
        Read(key + "\\Programmable", "", &found);
        EXPECT_FALSE(found) << "Programmable has no value";
        EXPECT_TRUE(IsModulePath(Read(key + "\\InprocServer32"))) << "unquoted, got " << Read(key + "\\InprocServer32");
        EXPECT_EQ("apartment", Read(key + "\\InprocServer32", "ThreadingModel"));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + "\\LocalServer32"));
        EXPECT_EQ("", Read(key, "AppID", &found));
        EXPECT_TRUE(found) << "AppID is an empty string";
        EXPECT_EQ(libId, Read(key + "\\TypeLib"));
        EXPECT_EQ(5, SubkeyCount(HKEY_CLASSES_ROOT, key)) << "nothing else under the class key";
    }
    const std::string version = "TypeLib\\" + libId + "\\1.0";
    EXPECT_EQ("OrvexShellExtensions 1.0 Type Library", Read(version));
    EXPECT_TRUE(IsModulePath(Read(version + "\\0\\win32")));
    EXPECT_EQ(0, lstrcmpiA("b:\\", Read(version + "\\HELPDIR").c_str())) << Read(version + "\\HELPDIR");
}

TEST_F(RegisterServerTest, RegisteringAgainRebuildsTheClassKeys)
{
    for (const ExpectedClass &entry : kClasses) {
        for (const char *stray : {"\\Stray", "\\Programmable\\Stray"})
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, (ClassKey(entry) + stray).c_str(), REG_SZ, "s", 1));
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
    const char neighbour[] = "CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour, REG_SZ, "a neighbour", 11));
    ASSERT_EQ(0u, UnregisterModule());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ("a neighbour", Read(neighbour));
    SHDeleteKeyA(HKEY_CLASSES_ROOT, neighbour);
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

TLIBATTR Attributes(ITypeLib *library)
{
    TLIBATTR copy = {};
    TLIBATTR *attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
        copy = *attributes;
        library->ReleaseTLibAttr(attributes);
    }
    return copy;
}

// The vtable side of a dual interface (index -1), or the type it derives from (index 0).
CComPtr<ITypeInfo> Related(ITypeInfo *info, UINT index)
{
    HREFTYPE reference = 0;
    CComPtr<ITypeInfo> related;
    EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(index, &reference));
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(reference, related.Receive()));
    return related;
}

// Name and help string of a library (index -1) or of a type (MEMBERID_NIL).
template <typename Owner>
std::pair<std::wstring, std::wstring> Documentation(Owner *owner, INT index)
{
    BSTR name = nullptr, doc = nullptr;
    EXPECT_EQ(S_OK, owner->GetDocumentation(index, &name, &doc, nullptr, nullptr));
    std::pair<std::wstring, std::wstring> text(name ? name : L"", doc ? doc : L"");
    SysFreeString(name);
    SysFreeString(doc);
    return text;
}

// What automation clients rely on: names, versions, flags and dispatch ids.
TEST_F(RegisterServerTest, TypeLibraryAsDescribed)
{
    CComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive()));
    const TLIBATTR libAttributes = Attributes(library.Get());
    EXPECT_EQ(SYS_WIN32, libAttributes.syskind);
    EXPECT_EQ(0u, libAttributes.lcid);
    EXPECT_EQ(1, libAttributes.wMajorVerNum);
    EXPECT_EQ(0, libAttributes.wMinorVerNum);
    const auto libraryText = Documentation(library.Get(), -1);
    EXPECT_EQ(L"OrvexShellExtensions", libraryText.first);
    EXPECT_EQ(L"OrvexShellExtensions 1.0 Type Library", libraryText.second);
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
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*type.guid, info.Receive()));
        const TYPEATTR attributes = Attributes(info.Get());
        EXPECT_EQ(type.help, Documentation(info.Get(), MEMBERID_NIL).second);
        if (type.defaultInterface) {
            EXPECT_EQ(TKIND_COCLASS, attributes.typekind);
            EXPECT_EQ(1, attributes.wMajorVerNum);
            EXPECT_EQ(0, attributes.wMinorVerNum);
            EXPECT_TRUE(attributes.wTypeFlags & TYPEFLAG_FCANCREATE);
            EXPECT_EQ(type.aggregatable, (attributes.wTypeFlags & TYPEFLAG_FAGGREGATABLE) != 0);
            INT implFlags = 0;
            EXPECT_EQ(S_OK, info->GetImplTypeFlags(0, &implFlags));
            EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);
            CComPtr<ITypeInfo> implemented = Related(info.Get(), 0);
            ASSERT_TRUE(implemented);
            EXPECT_TRUE(IsEqualIID(*type.defaultInterface, Attributes(implemented.Get()).guid));
            continue;
        }
        EXPECT_EQ(TKIND_DISPATCH, attributes.typekind);
        CComPtr<ITypeInfo> vtable = Related(info.Get(), static_cast<UINT>(-1));
        ASSERT_TRUE(vtable);
        const TYPEATTR vtableAttributes = Attributes(vtable.Get());
        EXPECT_EQ(TKIND_INTERFACE, vtableAttributes.typekind);
        const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION;
        EXPECT_EQ(dual, vtableAttributes.wTypeFlags & dual);
        EXPECT_EQ(type.methods, vtableAttributes.cFuncs);
        // Derived from IDispatch of the standard OLE library.
        CComPtr<ITypeInfo> base = Related(vtable.Get(), 0);
        ASSERT_TRUE(base);
        EXPECT_TRUE(IsEqualIID(IID_IDispatch, Attributes(base.Get()).guid));
        CComPtr<ITypeLib> baseLibrary;
        UINT index = 0;
        ASSERT_EQ(S_OK, base->GetContainingTypeLib(baseLibrary.Receive(), &index));
        EXPECT_TRUE(IsEqualGUID(IID_StdOle, Attributes(baseLibrary.Get()).guid));
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
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*method.iid, dispatch.Receive()));
        CComPtr<ITypeInfo> vtable = Related(dispatch.Get(), static_cast<UINT>(-1));
        ASSERT_TRUE(vtable);
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
            for (BSTR text : names)
                SysFreeString(text);
        }
        vtable->ReleaseFuncDesc(function);
    }
}

// Removes a folder chain made by the test, deepest first (wide calls: the paths pass MAX_PATH).
void RemoveChain(const std::wstring &file, std::wstring folder, const std::wstring &top)
{
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
    for (; folder.size() >= top.size(); folder = folder.substr(0, folder.rfind(L'\\')))
        RemoveDirectoryW(folder.c_str());
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
    for (const char *entry : {"DllRegisterServer", "DllUnregisterServer"}) {
        auto call = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void (*)()>(GetProcAddress(module, entry)));
        ASSERT_NE(nullptr, call) << entry;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), call()) << entry;
    }
    FreeLibrary(module);
    RemoveChain(file, folder, top);
    for (const ExpectedClass &entry : kClasses) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry))) << entry.friendlyName;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.progId)) << entry.friendlyName;
    }
}

} // namespace
