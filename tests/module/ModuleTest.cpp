// The module file as hosts load it: its entry points and class objects, its registration through
// the system's regsvr32, and its Windows Installer packages.
#include "module/Module.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"
#include "version.h"

#include <msi.h>
#include <msiquery.h>
#include <oleauto.h>

namespace {

// Another program's class, in each view: it stays registered through everything these tests do.
const char kNeighbour[] = "{6A2E5C11-0000-4000-8000-0000000000BB}";
const struct Class { const CLSID *clsid; const IID *primary; bool aggregatable; const char *progId, *versionIndependentProgId, *name; } kClasses[] = {
    {&CLSID_CCOrvexDeleteFile, &IID_ICOrvexDeleteFile, false, "OrvexShellExtensions.COrvexDeleteFile.1",
     "OrvexShellExtensions.COrvexDeleteFile", "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, &IID_IShellinkHandler, true, "OrvexShellExtensions.ShellinkHandler.1",
     "OrvexShellExtensions.ShellinkHandler", "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, &IID_IOrvexRecycleCleaner, false, "OrvexShellExtensions.OrvexRecycleClea.1",
     "OrvexShellExtensions.OrvexRecycleCleane", "COrvexRecycleCleaner Object"},
};

// The module file loaded as the shell loads it, with its entry points; unloaded at the end.
struct CModuleFile
{
    template <typename T> T Export(const char *name) { return T(reinterpret_cast<void (*)()>(GetProcAddress(module, name))); }
    ~CModuleFile() { FreeLibrary(module); }
    CComPtr<IClassFactory> Factory(REFCLSID clsid)
    {
        CComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid()));
        return factory;
    }

    HMODULE module = LoadLibraryA("b:\\OrvexSE.dll");
    HRESULT(WINAPI *getClassObject)(REFCLSID, REFIID, void **) = Export<decltype(getClassObject)>("DllGetClassObject");
    HRESULT(WINAPI *canUnloadNow)() = Export<decltype(canUnloadNow)>("DllCanUnloadNow");
};

// An outer object for aggregation: counts its references; the inner object never asks it for more.
struct COuter : IUnknown
{
    STDMETHODIMP QueryInterface(REFIID, void **ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

// What an instance's type information describes, by GUID: its interface (IDispatch) and its class
// (IProvideClassInfo), both the type library's descriptions.
std::string Described(IUnknown *object)
{
    CComPtr<IDispatch> dispatch;
    CComPtr<IProvideClassInfo> classInfo;
    CComPtr<ITypeInfo> infos[2];
    if (object->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()) || object->QueryInterface(IID_IProvideClassInfo, classInfo.ReceiveVoid()) ||
        dispatch->GetTypeInfo(0, 0, infos[0].Receive()) || classInfo->GetClassInfo(infos[1].Receive()))
        return "no type information";
    std::string guids;
    for (CComPtr<ITypeInfo> &info : infos) {
        TYPEATTR *attributes = nullptr;
        guids += (guids.empty() ? "" : " ") + (SUCCEEDED(info->GetTypeAttr(&attributes)) ? GuidText(attributes->guid) : "nothing");
        if (attributes)
            info->ReleaseTypeAttr(attributes);
    }
    return guids;
}

} // namespace

// Runs first, before anything else loads the module. What a host gets from each class object: the
// same object every time, instances with their interfaces (and no others) and the module's type
// information, aggregation (through IUnknown only) where the class allows it, and a module that
// stays loaded while an instance, a held class object or a lock lives. Then real unloads, the
// cached class objects released by the module's own end, and fresh starts. Every round shows a
// dialog (the command with nothing selected reports it), which registers the "VSButton" class for
// the module; the module's end must unregister it, or the next load would find a class whose
// procedure went with the old one.
TEST(ModuleFile, AnswersAsAHostExpectsAndUnloadsCleanly)
{
    ASSERT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module is loaded already";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        HMODULE module;
        {
            CModuleFile file;
            module = file.module;
            ASSERT_TRUE(file.getClassObject && file.canUnloadNow) << "error " << GetLastError();
            for (const Class &row : kClasses) {
                SCOPED_TRACE(row.name);
                CComPtr<IClassFactory> factory = file.Factory(*row.clsid);
                ASSERT_TRUE(factory);
                EXPECT_EQ(factory.Get(), file.Factory(*row.clsid).Get()) << "one class object per class";
                EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "a client holds a class object";
                CComPtr<IUnknown> object;
                ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.ReceiveVoid()));
                factory.Reset();
                EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "an instance lives";
                for (const IID *iid : {row.primary, &IID_IDispatch, &IID_IContextMenu, &IID_IShellExtInit, &IID_IProvideClassInfo})
                    EXPECT_EQ(S_OK, object->QueryInterface(*iid, CComPtr<IUnknown>().ReceiveVoid())) << GuidText(*iid); // the temporary releases it
                void *face = &file;
                EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IPersist, &face));
                EXPECT_EQ(nullptr, face);
                EXPECT_EQ(GuidText(*row.primary) + " " + GuidText(*row.clsid), Described(object.Get()));
                object.Reset();

                COuter outer;
                for (const IID *iid : {&IID_IContextMenu, &IID_IUnknown}) {
                    const bool allowed = row.aggregatable && iid == &IID_IUnknown;
                    void *inner = &outer; // a refusal clears it
                    EXPECT_EQ(allowed ? S_OK : CLASS_E_NOAGGREGATION, file.Factory(*row.clsid)->CreateInstance(&outer, *iid, &inner));
                    ASSERT_EQ(allowed, inner != nullptr) << GuidText(*iid);
                    if (allowed) { // its own IUnknown is the inner one; its other interfaces count for the outer object
                        IUnknown *own = static_cast<IUnknown *>(inner), *init = nullptr;
                        ASSERT_EQ(S_OK, own->QueryInterface(IID_IShellExtInit, reinterpret_cast<void **>(&init)));
                        EXPECT_EQ(2u, outer.refs);
                        init->Release();
                        EXPECT_EQ(S_FALSE, file.canUnloadNow()) << "an aggregate's inner object lives";
                        EXPECT_EQ(0u, own->Release());
                    }
                }
                EXPECT_EQ(1u, outer.refs) << "the outer object's references are balanced";
                for (const auto &[lock, canUnload] : {std::pair{TRUE, S_FALSE}, {TRUE, S_FALSE}, {FALSE, S_FALSE}, {FALSE, S_OK}}) {
                    EXPECT_EQ(S_OK, file.Factory(*row.clsid)->LockServer(lock));
                    EXPECT_EQ(canUnload, file.canUnloadNow());
                }
            }
            void *object = &file;
            EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, file.getClassObject(IID_ICOrvexDeleteFile, IID_IClassFactory, &object)) << "not a class";
            EXPECT_EQ(nullptr, object);

            CComPtr<IContextMenu> command;
            ASSERT_EQ(S_OK, file.Factory(CLSID_CCOrvexDeleteFile)->CreateInstance(nullptr, IID_IContextMenu, command.ReceiveVoid()));
            DialogAnswerer answers({IDOK});
            EXPECT_EQ(E_FAIL, command->InvokeCommand(nullptr));
            EXPECT_EQ(Paths{"Internal error.\rUnable to delete file"}, answers.Texts());
            command.Reset();
            EXPECT_EQ(S_OK, file.canUnloadNow()) << "the cached class objects alone do not hold the module";
        }
        WNDCLASSA button;
        EXPECT_EQ(nullptr, GetModuleHandleA("OrvexSE.dll")) << "the module really went";
        EXPECT_FALSE(GetClassInfoA(module, "VSButton", &button)) << "unregistered at unload";
    }
}

// regsvr32 writes each class's keys (the module unquoted, "apartment", its ProgIDs and type
// library), COM then creates the classes from the registry; registering again changes nothing;
// regsvr32 /u removes everything of ours and nothing else, and keeps HKCR\CLSID.
TEST(Registration, Regsvr32RegistersAndUnregistersTheModule)
{
    const std::string neighbour = "CLSID\\" + std::string(kNeighbour);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour.c_str(), REG_SZ, "a neighbour", 11));
    const std::string library = GuidText(LIBID_OrvexShellExtensions), platform = sizeof(void *) == 8 ? "win64" : "win32";
    for (const auto &[command, registers] : {std::pair{" ", true}, {" ", true}, {" /u ", false}}) {
        SCOPED_TRACE(std::string("regsvr32") + command);
        EXPECT_EQ(0u, RunProgram(std::string("regsvr32.exe /s") + command + "b:\\OrvexSE.dll").exitCode);
        const auto expect = [on = registers](std::set<std::string> entries) { return on ? entries : std::set<std::string>(); };
        for (const Class &row : kClasses) {
            SCOPED_TRACE(row.name);
            const std::string name = "=" + std::string(row.name), clsid = GuidText(*row.clsid), progId = row.progId, independent = row.versionIndependentProgId;
            EXPECT_EQ(expect({name, "CLSID\\", "CLSID\\=" + clsid}), RegistryTree(HKEY_CLASSES_ROOT, progId));
            EXPECT_EQ(expect({name, "CLSID\\", "CLSID\\=" + clsid, "CurVer\\", "CurVer\\=" + progId}), RegistryTree(HKEY_CLASSES_ROOT, independent));
            EXPECT_EQ(expect({name, "AppID=", "InprocServer32\\", "InprocServer32\\=b:\\OrvexSE.dll", "InprocServer32\\ThreadingModel=apartment", "ProgID\\",
                              "ProgID\\=" + progId, "Programmable\\", "TypeLib\\", "TypeLib\\=" + library, "VersionIndependentProgID\\",
                              "VersionIndependentProgID\\=" + independent}), RegistryTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
            CComPtr<IUnknown> created;
            EXPECT_EQ(registers, SUCCEEDED(CoCreateInstance(*row.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, created.ReceiveVoid())));
        }
        std::set<std::string> typeLibrary = RegistryTree(HKEY_CLASSES_ROOT, "TypeLib\\" + library + "\\1.0");
        typeLibrary.erase(typeLibrary.lower_bound("FLAGS\\"), typeLibrary.lower_bound("FLAGS]")); // the system's own
        EXPECT_EQ(expect({"=OrvexShellExtensions 1.0 Type Library", "0\\", "0\\" + platform + "\\", "0\\" + platform + "\\=b:\\OrvexSE.dll", "HELPDIR\\",
                          "HELPDIR\\=b:\\"}), typeLibrary);
        EXPECT_EQ(std::set<std::string>{"=a neighbour"}, RegistryTree(HKEY_CLASSES_ROOT, neighbour)) << "not ours";
    }
}

// The Windows Installer packages under Wine's msiexec, installed into the prefix's own Program Files.
namespace {

const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
// Every version of the package carries this UpgradeCode; with another one, upgrades stop working.
const char kUpgradeCode[] = "{9C4C613E-BAF5-4394-8D30-646433A3D9B2}";
constexpr bool kWin64 = sizeof(void *) == 8;
const std::string kArch = kWin64 ? "x64" : "x86";
// The keys under HKCR whose shellex\ContextMenuHandlers the install ties each class into.
const std::pair<std::string, const Class &> kTies[] = {{"*", kClasses[0]}, {"Directory", kClasses[0]}, {"lnkfile", kClasses[1]},
                                                       {"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}", kClasses[2]}};

// msiexec runs silent, with a verbose log in the sandbox.
DWORD Msiexec(const std::string &action, const std::string &package) { return RunProgram("msiexec.exe " + action + " \"" + package + "\" /qn /l*v+ S:\\msiexec.log").exitCode; }

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A module the package installs: its file, its registry view. The x64 package also puts the x86
// module into the 32-bit Program Files, registered in the 32-bit view.
const struct Module { std::string path; REGSAM view; } kBoth[] = {{Folder(CSIDL_PROGRAM_FILES) + "\\OrvexSE\\OrvexSE.dll", kWin64 ? KEY_WOW64_64KEY : 0u},
                                                                   {Folder(CSIDL_PROGRAM_FILESX86) + "\\OrvexSE\\OrvexSE.dll", KEY_WOW64_32KEY}};
const std::vector<Module> kModules(kBoth, kBoth + (kWin64 ? 2 : 1));

// The installed versions of the product, by product code: name, maker and version as Apps &
// Features shows them.
std::map<std::string, std::string> Installed()
{
    std::map<std::string, std::string> products;
    char code[39], value[256];
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
        for (const char *property : {INSTALLPROPERTY_INSTALLEDPRODUCTNAME, INSTALLPROPERTY_PUBLISHER, INSTALLPROPERTY_VERSIONSTRING}) {
            DWORD size = sizeof(value);
            products[code] += (products[code].empty() ? "" : ", ") + std::string(MsiGetProductInfoA(code, property, value, &size) ? "?" : value);
        }
    return products;
}
std::string Product(const char *version) { return std::string(g_menuText.c_str()) + ", " ORVEX_MAKER ", " + version; }

// The machine a module file's header names.
WORD Machine(const std::string &path)
{
    const std::string bytes = sandbox::Read(sandbox::Wide(path));
    return bytes.size() < 1024 ? 0 : *reinterpret_cast<const WORD *>(&bytes[*reinterpret_cast<const LONG *>(&bytes[0x3C]) + 4]);
}

// Everything under HKLM\Software, both views (the 32-bit one is its Wow6432Node), but the books
// Windows Installer keeps of the installed products and their Apps & Features entries; and the
// type library's FLAGS, which are the system's own (Wine's differ from Windows').
std::set<std::string> MachineSoftware()
{
    const std::string books[] = {"Classes\\Installer\\", "Microsoft\\Windows\\CurrentVersion\\Installer\\", "Microsoft\\Windows\\CurrentVersion\\Uninstall\\{"};
    std::set<std::string> tree = RegistryTree(HKEY_LOCAL_MACHINE, "Software");
    for (auto entry = tree.begin(); entry != tree.end();) {
        const bool book = std::any_of(std::begin(books), std::end(books), [&](const std::string &b) { return !entry->compare(0, b.size(), b); });
        entry = book || entry->find("\\1.0\\FLAGS\\") != std::string::npos ? tree.erase(entry) : std::next(entry);
    }
    return tree;
}

// Fails with what one set has that the other lacks, one entry a line: "-" lost, "+" gained.
void ExpectNoChanges(const std::set<std::string> &before, const std::set<std::string> &after)
{
    std::string changes;
    for (const auto &[from, to, sign] : {std::tie(before, after, "- "), std::tie(after, before, "+ ")})
        for (const std::string &entry : from)
            changes += to.count(entry) ? "" : sign + entry + "\n";
    EXPECT_TRUE(changes.empty()) << changes;
}

// A REG_SZ value in one view, its key made first.
LONG SetText(HKEY root, const std::string &path, REGSAM view, const char *name, const char *text)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), DWORD(strlen(text) + 1));
    RegCloseKey(key);
    return result;
}

// A module file's version as Windows Installer reads it; "none" without a file.
std::string FileVersion(const std::string &path)
{
    char version[32] = "none", language[32];
    DWORD versionSize = sizeof(version), languageSize = sizeof(language);
    MsiGetFileVersionA(path.c_str(), version, &versionSize, language, &languageSize);
    return version;
}

// A query's rows in a package's tables, each one's fields joined by spaces.
Paths Rows(const std::string &package, const char *query)
{
    MSIHANDLE database = 0, view = 0, record = 0;
    Paths rows;
    if (MsiOpenDatabaseA(package.c_str(), MSIDBOPEN_READONLY, &database) || MsiDatabaseOpenViewA(database, query, &view) || MsiViewExecute(view, 0))
        rows.push_back("unreadable");
    for (; view && MsiViewFetch(view, &record) == ERROR_SUCCESS; MsiCloseHandle(record)) {
        rows.emplace_back();
        for (UINT field = 1; field <= MsiRecordGetFieldCount(record); ++field) {
            char text[256] = {};
            DWORD size = sizeof(text);
            MsiRecordGetStringA(record, field, text, &size);
            rows.back() += (field > 1 ? " " : "") + std::string(text);
        }
    }
    MsiCloseHandle(view);
    MsiCloseHandle(database);
    return rows;
}

// A maintenance step: msiexec's action on a package, or with no package a repair as Apps & Features
// does it ("omus"), after a module was swapped for an older one, the others and a handler key
// deleted; done while this program holds the installed module (as Explorer does) if asked, and
// then followed by a restart. Its exit code, the products installed after it, the modules' version.
struct Step { const char *label; std::string package; const char *action; DWORD exitCode; Paths installedAfter; std::string moduleVersion; bool held = false; };

} // namespace

// The packages as an administrator uses them, step after step from an uninstalled product, with
// another program's entry in every key the package writes into (it must survive, and it keeps
// those keys, as the installer removes a key that an uninstall leaves empty). Each step's exit code,
// the products installed after it and the version of the module files; the registry as first
// installed, or as before the install, with the product's folders gone. Both versions write the
// same entries; their modules differ in their version information only.
TEST(Package, InstallsUpgradesRefusesDowngradesRepairsAndUninstalls)
{
    for (const auto &[code, shown] : Installed())
        Msiexec("/x", code);
    for (const Module &module : kModules) {
        ASSERT_EQ(0, SetText(HKEY_CLASSES_ROOT, "CLSID\\" + std::string(kNeighbour), module.view, "", "a neighbour"));
        ASSERT_EQ(0, SetText(HKEY_LOCAL_MACHINE, kApproved, module.view, kNeighbour, "Neighbour"));
        for (const auto &[kind, of] : kTies)
            ASSERT_EQ(0, SetText(HKEY_CLASSES_ROOT, kind + "\\shellex\\ContextMenuHandlers\\Neighbour", module.view, "", kNeighbour));
    }
    sandbox::Make(L"S:\\first.js", "WScript.Quit(0);"); // the script host registers itself at its first run
    RunProgram("cscript.exe //nologo S:\\first.js");
    const std::set<std::string> registryBefore = MachineSoftware();
    const std::string older = ORVEX_OLDER_VERSION ".0", current = ORVEX_VERSION_TEXT ".0";
    // The packages lie beside the module.
    const std::string oldPackage = "b:\\OrvexSE-" ORVEX_OLDER_VERSION "-" + kArch + ".msi", newPackage = "b:\\OrvexSE-" ORVEX_VERSION_TEXT "-" + kArch + ".msi";
    const std::string x86Package = "b:\\OrvexSE-" ORVEX_VERSION_TEXT "-x86.msi";
    const Paths oldProduct{Product(ORVEX_OLDER_VERSION)}, newProduct{Product(ORVEX_VERSION_TEXT)};
    // Each package records its modules as versioned files (the version of the modules it carries, US
    // English), which Windows Installer replaces by their version: no hash for them, only for the script.
    for (const auto &[package, version] : {std::pair{newPackage, current}, {oldPackage, older}, {x86Package, current}}) {
        const Paths modules = {"Module_x64 " + version + " 1033", "Module_x86 " + version + " 1033"}; // an x86 package: the second only
        EXPECT_EQ(Paths(modules.begin() + (package.find("-x64.") == std::string::npos), modules.end()),
                  Rows(package, "SELECT `File`, `Version`, `Language` FROM `File` WHERE `FileName` = 'OrvexSE.dll' ORDER BY `File`")) << package;
        EXPECT_EQ(Paths{"SetPasses"}, Rows(package, "SELECT `File_` FROM `MsiFileHash`")) << package;
    }
    const Step steps[] = {
        // The x86 module alone would never show in 64-bit Explorer.
        {"the x86 package on 64-bit Windows", x86Package, "/i", 1603, {}, "none"},
        {"install the older version", oldPackage, "/i", 0, oldProduct, older},
        {"upgrade to this version", newPackage, "/i", 0, newProduct, current},
        {"install the older version over this one", oldPackage, "/i", 1603, newProduct, current},
        {"repair", "", "", 0, newProduct, current},
        {"uninstall", newPackage, "/x", 0, {}, "none"},
        {"install the older version again", oldPackage, "/i", 0, oldProduct, older},
        // The older product goes at once, but its loaded module stays on disk: the newer one replaces
        // it by its file version at the next start (3010: a restart is needed).
        {"upgrade while a program holds the module", newPackage, "/i", ERROR_SUCCESS_REBOOT_REQUIRED, newProduct, current, true},
        {"uninstall after that upgrade", newPackage, "/x", 0, {}, "none"},
    };
    std::set<std::string> registryInstalled;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.label);
        if (&step == steps && !kWin64)
            continue; // the x86 package is this tree's own
        for (size_t m = 0; m < kModules.size() && step.package.empty(); ++m) { // swapped for an older one, or missing
            const std::string &path = kModules[m].path;
            ASSERT_TRUE(m ? DeleteFileA(path.c_str()) : CopyFileA("b:\\older\\OrvexSE.dll", path.c_str(), FALSE)) << path;
            RegDeleteKeyExA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OrvexSE", kModules[m].view, 0);
        }
        const HMODULE held = step.held ? LoadLibraryA(kModules[0].path.c_str()) : nullptr;
        ASSERT_EQ(step.held, held != nullptr) << "error " << GetLastError();
        const DWORD repair = REINSTALLMODE_FILEOLDERVERSION | REINSTALLMODE_MACHINEDATA | REINSTALLMODE_USERDATA | REINSTALLMODE_SHORTCUT;
        EXPECT_EQ(step.exitCode, step.package.empty() ? MsiReinstallProductA(Installed().begin()->first.c_str(), repair)
                                                      : Msiexec(step.action, step.package));
        if (held) {
            FreeLibrary(held);
            EXPECT_EQ(0u, RunProgram("wineboot.exe --restart").exitCode); // does what Windows does at a restart
        }
        Paths shown;
        for (const auto &product : Installed())
            shown.push_back(product.second);
        EXPECT_EQ(step.installedAfter, shown);
        for (const Module &module : kModules) {
            EXPECT_EQ(step.moduleVersion, FileVersion(module.path)) << module.path;
            EXPECT_EQ(!shown.empty(), sandbox::Exists(sandbox::Wide(module.path.substr(0, module.path.rfind('\\'))))) << "the product's folder";
        }
        if (!shown.empty() && registryInstalled.empty())
            registryInstalled = MachineSoftware();
        else
            ExpectNoChanges(shown.empty() ? registryBefore : registryInstalled, MachineSoftware());
    }

    // Installed once more: the native module as built (and signed), the last one for x86, the script
    // beside them; the handlers tied into the shell and approved; and the registry as first installed,
    // which the modules' own registration, once more, leaves as it is.
    ASSERT_EQ(0u, Msiexec("/i", newPackage));
    EXPECT_TRUE(sandbox::Read(L"b:\\OrvexSE.dll") == sandbox::Read(sandbox::Wide(kModules[0].path))) << "as built";
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, Machine(kModules.back().path)) << kModules.back().path;
    // The pass-count script beside them writes the current user's value: a count from 1 to 32, or nothing.
    const std::string script = "cscript.exe //nologo \"" + kModules[0].path.substr(0, kModules[0].path.rfind('\\')) + "\\set-passes.js\" ";
    CPassSetting setting;
    for (const auto &[count, exitCode, after] : {std::tuple{"32", 0u, 32u}, {"1", 0u, 1u}, {"33", 1u, 1u}, {"0", 1u, 1u}, {"7 8", 1u, 1u}, {"abc", 1u, 1u}}) {
        EXPECT_EQ(exitCode, RunProgram(script + count).exitCode) << count;
        DWORD type = 0, value = 0, size = sizeof(value);
        SHGetValueA(HKEY_CURRENT_USER, CPassSetting::kKey, "Slider", &type, &value, &size);
        EXPECT_EQ(std::make_pair(DWORD(REG_DWORD), DWORD(after)), std::make_pair(type, value)) << count;
    }
    for (const Module &module : kModules)
        for (const auto &[kind, of] : kTies) {
            const std::string clsid = GuidText(*of.clsid);
            EXPECT_EQ(std::set<std::string>{"=" + clsid}, RegistryTree(HKEY_CLASSES_ROOT, kind + "\\shellex\\ContextMenuHandlers\\OrvexSE", module.view));
            EXPECT_EQ(1u, RegistryTree(HKEY_LOCAL_MACHINE, kApproved, module.view).count(clsid + "=" + of.name)) << clsid;
        }
    ASSERT_EQ(0u, RunProgram("regsvr32.exe /s \"" + kModules[0].path + "\"").exitCode);
    ExpectNoChanges(registryInstalled, MachineSoftware());
    // The x86 module's classes in the 32-bit view: the same keys, with its own path, and its type library.
    for (const Module &x86 : std::vector<Module>(kModules.begin() + 1, kModules.end())) {
        for (const Class &row : kClasses)
            for (const std::string &key : {"CLSID\\" + GuidText(*row.clsid), "Interface\\" + GuidText(*row.primary), std::string(row.progId)}) {
                std::set<std::string> mirrored;
                for (std::string entry : RegistryTree(HKEY_CLASSES_ROOT, key, kModules[0].view)) {
                    const size_t at = entry.find(kModules[0].path);
                    mirrored.insert(at == std::string::npos ? entry : entry.replace(at, kModules[0].path.size(), x86.path));
                }
                EXPECT_EQ(mirrored, RegistryTree(HKEY_CLASSES_ROOT, key, x86.view)) << key;
            }
        const std::string library = "TypeLib\\" + GuidText(LIBID_OrvexShellExtensions) + "\\1.0\\0\\win32";
        EXPECT_EQ(std::set<std::string>{"=" + x86.path}, RegistryTree(HKEY_CLASSES_ROOT, library, x86.view));
    }
    ASSERT_EQ(0u, Msiexec("/x", newPackage));
    ExpectNoChanges(registryBefore, MachineSoftware());
}
