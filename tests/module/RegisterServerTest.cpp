#include "OrvexShellExtensions.h"
#include "RegistrationSupport.h"
#include "common/ComPtr.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <shlwapi.h>

using namespace registration;

namespace {

std::string ClassKey(const RegisteredClass &entry) { return "CLSID\\" + GuidText(*entry.clsid); }

// Every test registers through the system's regsvr32 and leaves the module unregistered.
class RegisterServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(0u, RegisterModule()) << "regsvr32 /s b:\\OrvexSE.dll"; }
    void TearDown() override { UnregisterModule(); }
};

// Everything under the class key: the module path unquoted, "apartment", an empty AppID.
std::set<std::string> RegisteredClassTree(const RegisteredClass &entry)
{
    return {"=" + std::string(entry.friendlyName), "AppID=", "InprocServer32\\", "InprocServer32\\=b:\\OrvexSE.dll",
            "InprocServer32\\ThreadingModel=apartment", "ProgID\\", "ProgID\\=" + std::string(entry.progId),
            "Programmable\\", "TypeLib\\", "TypeLib\\=" + GuidText(LIBID_OrvexShellExtensions),
            "VersionIndependentProgID\\", "VersionIndependentProgID\\=" + std::string(entry.versionIndependentProgId)};
}

TEST_F(RegisterServerTest, WritesEveryKeyAndValueOfTheThreeClasses)
{
    for (const RegisteredClass &entry : kRegisteredClasses) {
        SCOPED_TRACE(entry.friendlyName);
        const std::string name = "=" + std::string(entry.friendlyName), clsid = "CLSID\\=" + GuidText(*entry.clsid);
        EXPECT_EQ((std::set<std::string>{name, "CLSID\\", clsid}), RegistryTree(HKEY_CLASSES_ROOT, entry.progId));
        EXPECT_EQ((std::set<std::string>{name, "CLSID\\", clsid, "CurVer\\", "CurVer\\=" + std::string(entry.progId)}),
                  RegistryTree(HKEY_CLASSES_ROOT, entry.versionIndependentProgId));
        EXPECT_EQ(RegisteredClassTree(entry), RegistryTree(HKEY_CLASSES_ROOT, ClassKey(entry)));
    }
    std::set<std::string> typeLib =
        RegistryTree(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(LIBID_OrvexShellExtensions) + "\\1.0");
    for (auto it = typeLib.begin(); it != typeLib.end();) // FLAGS is the system's own
        it = it->compare(0, 6, "FLAGS\\") == 0 ? typeLib.erase(it) : std::next(it);
    const std::string platform = sizeof(void *) == 8 ? "win64" : "win32"; // the module's own architecture
    EXPECT_EQ((std::set<std::string>{"=OrvexShellExtensions 1.0 Type Library", "0\\", "0\\" + platform + "\\",
                                     "0\\" + platform + "\\=b:\\OrvexSE.dll", "HELPDIR\\", "HELPDIR\\=b:\\"}),
              typeLib);
}

TEST_F(RegisterServerTest, RegisteringAgainRebuildsTheClassKeys)
{
    for (const RegisteredClass &entry : kRegisteredClasses) {
        for (const char *stray : {"\\Stray", "\\Programmable\\Stray"})
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, (ClassKey(entry) + stray).c_str(), REG_SZ, "s", 1));
    }
    ASSERT_EQ(0u, RegisterModule());
    for (const RegisteredClass &entry : kRegisteredClasses)
        EXPECT_EQ(RegisteredClassTree(entry), RegistryTree(HKEY_CLASSES_ROOT, ClassKey(entry))) << entry.friendlyName;
}

TEST_F(RegisterServerTest, UnregisteringRemovesTheClassesAndKeepsClsid)
{
    const char neighbour[] = "CLSID\\{6A2E5C11-0000-4000-8000-0000000000AA}";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour, REG_SZ, "a neighbour", 11));
    ASSERT_EQ(0u, UnregisterModule());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_EQ("a neighbour", ReadString(HKEY_CLASSES_ROOT, neighbour));
    SHDeleteKeyA(HKEY_CLASSES_ROOT, neighbour);
    for (const RegisteredClass &entry : kRegisteredClasses) {
        SCOPED_TRACE(entry.friendlyName);
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.progId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.versionIndependentProgId));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry)));
    }
    CComPtr<ITypeLib> library;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive())));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(LIBID_OrvexShellExtensions) + "\\1.0"));
}

template <typename Owner, typename Attr>
Attr Attributes(Owner *owner, HRESULT (STDMETHODCALLTYPE Owner::*get)(Attr **),
                void (STDMETHODCALLTYPE Owner::*release)(Attr *))
{
    Attr copy = {};
    Attr *attributes = nullptr;
    if (owner && SUCCEEDED((owner->*get)(&attributes))) {
        copy = *attributes;
        (owner->*release)(attributes);
    }
    return copy;
}
TYPEATTR Attributes(ITypeInfo *info) { return Attributes(info, &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr); }
TLIBATTR Attributes(ITypeLib *library) { return Attributes(library, &ITypeLib::GetLibAttr, &ITypeLib::ReleaseTLibAttr); }

std::string Narrow(const wchar_t *text)
{
    char buffer[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text ? text : L"", -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    return buffer;
}

// Name and help string of a library (index -1) or of a type (MEMBERID_NIL).
template <typename Owner>
std::string Documentation(Owner *owner, INT index)
{
    BSTR name = nullptr, doc = nullptr;
    owner->GetDocumentation(index, &name, &doc, nullptr, nullptr);
    const std::string text = Narrow(name) + ": " + Narrow(doc);
    SysFreeString(name);
    SysFreeString(doc);
    return text;
}

// The vtable side of a dual interface (index -1), or the type it implements or derives from (0).
CComPtr<ITypeInfo> Related(ITypeInfo *info, UINT index)
{
    HREFTYPE reference = 0;
    CComPtr<ITypeInfo> related;
    if (info && SUCCEEDED(info->GetRefTypeOfImplType(index, &reference)))
        info->GetRefTypeInfo(reference, related.Receive());
    return related;
}

// What automation clients rely on in a type, on one line: kind, version and flags; for a
// coclass its default interface; for a dual interface the base of its vtable side and every
// method with its member id, dispatch id found by name, vtable offset, result and parameters.
std::string Describe(ITypeInfo *info)
{
    const TYPEATTR type = Attributes(info);
    char text[128];
    snprintf(text, sizeof(text), " kind %d %u.%u", type.typekind, type.wMajorVerNum, type.wMinorVerNum);
    std::string line = Documentation(info, MEMBERID_NIL) + text;
    if (type.typekind == TKIND_COCLASS) {
        INT implFlags = 0;
        info->GetImplTypeFlags(0, &implFlags);
        return line + (type.wTypeFlags & TYPEFLAG_FCANCREATE ? " creatable" : "") +
               (type.wTypeFlags & TYPEFLAG_FAGGREGATABLE ? " aggregatable" : "") +
               (implFlags & IMPLTYPEFLAG_FDEFAULT ? ", default " : ", ") + GuidText(Attributes(Related(info, 0).Get()).guid);
    }
    CComPtr<ITypeInfo> vtable = Related(info, static_cast<UINT>(-1));
    const TYPEATTR side = Attributes(vtable.Get());
    CComPtr<ITypeInfo> base = Related(vtable.Get(), 0);
    CComPtr<ITypeLib> baseLibrary;
    UINT index = 0;
    if (base)
        base->GetContainingTypeLib(baseLibrary.Receive(), &index);
    snprintf(text, sizeof(text), "; vtable kind %d%s%s from ", side.typekind,
             side.wTypeFlags & TYPEFLAG_FDUAL ? " dual" : "", side.wTypeFlags & TYPEFLAG_FOLEAUTOMATION ? " oleautomation" : "");
    line += text + GuidText(Attributes(base.Get()).guid) + " of " + GuidText(Attributes(baseLibrary.Get()).guid);
    for (UINT slot = 0; slot < side.cFuncs; ++slot) {
        FUNCDESC *function = nullptr;
        if (FAILED(vtable->GetFuncDesc(slot, &function)))
            return line + ", slot " + std::to_string(slot) + "?";
        BSTR names[4] = {};
        UINT count = 0;
        vtable->GetNames(function->memid, names, 4, &count);
        MEMBERID dispatchId = MEMBERID_NIL;
        info->GetIDsOfNames(&names[0], 1, &dispatchId);
        snprintf(text, sizeof(text), " id %lx dispid %lx at %d returns %d (", function->memid, dispatchId,
                 function->oVft, function->elemdescFunc.tdesc.vt);
        line += ", " + Narrow(names[0]) + text;
        for (SHORT i = 0; i < function->cParams; ++i) {
            const ELEMDESC &param = function->lprgelemdescParam[i];
            line += (param.paramdesc.wParamFlags & PARAMFLAG_FIN ? "in " : "") + std::to_string(param.tdesc.vt) + " " +
                    Narrow(i + 1 < static_cast<SHORT>(count) ? names[i + 1] : nullptr);
        }
        line += ")";
        for (BSTR name : names)
            SysFreeString(name);
        vtable->ReleaseFuncDesc(function);
    }
    return line;
}

TEST_F(RegisterServerTest, TypeLibraryAsDescribed)
{
    CComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_OrvexShellExtensions, 1, 0, 0, library.Receive()));
    const TLIBATTR libAttributes = Attributes(library.Get());
    EXPECT_EQ(sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32, libAttributes.syskind);
    EXPECT_EQ(0u, libAttributes.lcid);
    EXPECT_EQ(1, libAttributes.wMajorVerNum);
    EXPECT_EQ(0, libAttributes.wMinorVerNum);
    EXPECT_EQ("OrvexShellExtensions: OrvexShellExtensions 1.0 Type Library", Documentation(library.Get(), -1));
    EXPECT_EQ(6u, library->GetTypeInfoCount());

    // Dual interfaces derived from IDispatch of the standard OLE library; each method takes one
    // [in] IUnknown pointer named pUnk (Init none) and sits right after IDispatch's seven slots.
    const std::string dual = " kind 4 0.0; vtable kind 3 dual oleautomation from " + GuidText(IID_IDispatch) + " of " +
                             GuidText(IID_StdOle);
    const std::string takesUnknown = " returns 25 (in 13 pUnk)"; // VT_HRESULT, VT_UNKNOWN
    // Vtable offsets of the first two methods after IDispatch's seven pointer-sized slots.
    const std::string first = std::to_string(7 * sizeof(void *)), second = std::to_string(8 * sizeof(void *));
    const struct { const GUID *guid; std::string line; } types[] = {
        {&CLSID_CCOrvexDeleteFile, "CCOrvexDeleteFile: COrvexDeleteFile Class kind 5 1.0 creatable aggregatable, default " +
                                       GuidText(IID_ICOrvexDeleteFile)},
        {&CLSID_CShelLinkHandler, "CShelLinkHandler: ShellinkHandler Class kind 5 1.0 creatable, default " +
                                      GuidText(IID_IShellinkHandler)},
        {&CLSID_COrvexRecycleCleaner, "COrvexRecycleCleaner: OrvexRecycleCleaner Class kind 5 1.0 creatable aggregatable, "
                                      "default " + GuidText(IID_IOrvexRecycleCleaner)},
        {&IID_ICOrvexDeleteFile, "ICOrvexDeleteFile: ICOrvexDeleteFile Interface" + dual + ", ClearRecycle id 60020000 "
                                 "dispid 60020000 at " + first + takesUnknown + ", ClearRaw id 60020001 dispid 60020001 at " + second +
                                 takesUnknown},
        {&IID_IShellinkHandler, "IShellinkHandler: IShellinkHandler Interface" + dual},
        {&IID_IOrvexRecycleCleaner, "IOrvexRecycleCleaner: IOrvexRecycleCleaner Interface" + dual +
                                        ", Init id 60020000 dispid 60020000 at " + first + " returns 25 ()"},
    };
    for (const auto &type : types) {
        CComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(*type.guid, info.Receive())) << type.line;
        EXPECT_EQ(type.line, Describe(info.Get()));
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
    for (const RegisteredClass &entry : kRegisteredClasses) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(entry))) << entry.friendlyName;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.progId)) << entry.friendlyName;
    }
}

} // namespace
