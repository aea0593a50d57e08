// The Windows Installer packages under Wine's msiexec, installed from copies in S:\package into
// the prefix's own Program Files.
#include "support/TestSupport.h"
#include "module/Module.h"
#include "version.h"

#include <msi.h>

namespace {

const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kNeighbour[] = "{6A2E5C11-0000-4000-8000-0000000000BB}";
// Every version of the package carries this UpgradeCode; with another one, upgrades stop working.
const char kUpgradeCode[] = "{9C4C613E-BAF5-4394-8D30-646433A3D9B2}";
const std::string kArch = sizeof(void *) == 8 ? "x64" : "x86";

// The ContextMenuHandlers keys under HKCR that the install ties each class into, and the class's
// name in the Approved list.
const struct Tie
{
    std::string handlers;
    const CLSID *clsid;
    const char *name;
} kTies[] = {
    {"*\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile, "CCOrvexDeleteFile Object"},
    {"Directory\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile, "CCOrvexDeleteFile Object"},
    {"lnkfile\\shellex\\ContextMenuHandlers", &CLSID_CShelLinkHandler, "CShelLinkHandler Object"},
    {"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shellex\\ContextMenuHandlers", &CLSID_COrvexRecycleCleaner,
     "COrvexRecycleCleaner Object"},
};

std::string Package(const std::string &version, const std::string &arch = kArch)
{
    return "S:\\package\\OrvexSE-" + version + "-" + arch + ".msi";
}

// msiexec, silent, with a verbose log beside the package (or for a product code, in S:\package).
DWORD Msiexec(const std::string &action, const std::string &package)
{
    const std::string log = package[0] == '{' ? "S:\\package\\" + package : package;
    return RunProgram("msiexec.exe " + action + " \"" + package + "\" /qn /l*v \"" + log + ".log\"").exitCode;
}

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A module the package installs: its folder, its machine, its registry view. The x64 package
// also puts the x86 module into the 32-bit Program Files, registered in the 32-bit view.
struct Module
{
    std::string folder; // with its final backslash
    WORD machine;
    REGSAM view;
    std::string Path() const { return folder + "OrvexSE.dll"; }
};
std::vector<Module> PackageModules()
{
    if (sizeof(void *) == 4)
        return {{Folder(CSIDL_PROGRAM_FILES) + "\\OrvexSE\\", IMAGE_FILE_MACHINE_I386, 0}};
    return {{Folder(CSIDL_PROGRAM_FILES) + "\\OrvexSE\\", IMAGE_FILE_MACHINE_AMD64, KEY_WOW64_64KEY},
            {Folder(CSIDL_PROGRAM_FILESX86) + "\\OrvexSE\\", IMAGE_FILE_MACHINE_I386, KEY_WOW64_32KEY}};
}

std::vector<std::string> InstalledProducts()
{
    std::vector<std::string> codes;
    char code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
        codes.push_back(code);
    return codes;
}

std::string ProductInfo(const std::string &code, const char *property)
{
    char text[256] = {};
    DWORD size = sizeof(text);
    MsiGetProductInfoA(code.c_str(), property, text, &size);
    return text;
}

// A module file as Windows shows it: the machine in its header, product, maker and version.
std::string Describe(const std::string &path)
{
    const std::string bytes = sandbox::Read(sandbox::Wide(path));
    if (bytes.size() < 1024)
        return "missing";
    const LONG header = reinterpret_cast<const IMAGE_DOS_HEADER *>(bytes.data())->e_lfanew;
    std::string text = std::to_string(reinterpret_cast<const IMAGE_FILE_HEADER *>(bytes.data() + header + 4)->Machine);
    DWORD unused = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &unused) + 1);
    GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data());
    for (const char *name : {"ProductName", "CompanyName", "FileVersion"}) {
        char *value = nullptr;
        UINT length = 0;
        const bool found = VerQueryValueA(info.data(), (std::string("\\StringFileInfo\\040904B0\\") + name).c_str(),
                                          reinterpret_cast<void **>(&value), &length);
        text += ", " + std::string(found ? value : "?");
    }
    return text;
}

// Everything under HKLM\Software, both views (the 32-bit one is its Wow6432Node), but the books
// Windows Installer keeps of the installed products and their Apps & Features entries; and the
// type library's FLAGS, which are the system's own (Wine's differ from Windows').
std::set<std::string> MachineSoftware()
{
    std::vector<std::string> books = {"Classes\\Installer\\", "Microsoft\\Windows\\CurrentVersion\\Installer\\"};
    for (const std::string &code : InstalledProducts())
        books.push_back("Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code + "\\");
    std::set<std::string> tree = RegistryTree(HKEY_LOCAL_MACHINE, "Software");
    for (auto entry = tree.begin(); entry != tree.end();) {
        const bool book = std::any_of(books.begin(), books.end(), [&](auto &b) { return !entry->compare(0, b.size(), b); });
        entry = book || entry->find("\\1.0\\FLAGS\\") != std::string::npos ? tree.erase(entry) : std::next(entry);
    }
    return tree;
}

// Every file and folder below Program Files and the installer's cache.
std::set<std::string> InstalledFiles()
{
    std::set<std::string> files;
    std::vector<std::string> pending = {Folder(CSIDL_PROGRAM_FILES), Folder(CSIDL_WINDOWS) + "\\Installer"};
    if (sizeof(void *) == 8)
        pending.push_back(Folder(CSIDL_PROGRAM_FILESX86));
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAA found;
        const CFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
        for (BOOL more = find.IsValid(); more; more = FindNextFileA(find.Get(), &found)) {
            const std::string name = found.cFileName, path = folder + "\\" + name;
            if (name != "." && name != ".." && files.insert(path).second && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                pending.push_back(path);
        }
    }
    return files;
}

// Fails with what one set has that the other lacks, one entry a line: "-" lost, "+" gained.
void ExpectNoChanges(const std::set<std::string> &before, const std::set<std::string> &after)
{
    std::string changes;
    for (const std::string &entry : before)
        changes += after.count(entry) ? "" : "- " + entry + "\n";
    for (const std::string &entry : after)
        changes += before.count(entry) ? "" : "+ " + entry + "\n";
    EXPECT_TRUE(changes.empty()) << changes;
}

// A key, and unless name is null a REG_SZ value in it ("" names the default value), in one view.
LONG SetString(HKEY root, const std::string &path, const char *name, const std::string &value, REGSAM view)
{
    HKEY created = nullptr;
    LONG result = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &created, nullptr);
    const CRegKey key(created);
    if (result == ERROR_SUCCESS && name)
        result = RegSetValueExA(key.Get(), *name ? name : nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
    return result;
}

// A key with its subtree, or one value of it, in one view.
void Delete(HKEY root, const std::string &path, REGSAM view, const char *value = nullptr)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE | view, &opened) != ERROR_SUCCESS)
        return;
    CRegKey key(opened);
    if (value) {
        RegDeleteValueA(key.Get(), value);
        return;
    }
    char name[256];
    for (DWORD size = sizeof(name); RegEnumKeyExA(key.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         size = sizeof(name))
        Delete(root, path + "\\" + name, view);
    key.Reset();
    RegDeleteKeyExA(root, path.c_str(), view, 0);
}

// The keys under HKCR that the module's registration makes.
std::vector<std::string> RegistrationKeys()
{
    std::vector<std::string> keys = {"TypeLib\\" + GuidText(LIBID_OrvexShellExtensions)};
    for (const IID *iid : {&IID_ICOrvexDeleteFile, &IID_IShellinkHandler, &IID_IOrvexRecycleCleaner})
        keys.push_back("Interface\\" + GuidText(*iid));
    for (const char *name : {"COrvexDeleteFile", "COrvexDeleteFile.1", "ShellinkHandler", "ShellinkHandler.1",
                             "OrvexRecycleCleane", "OrvexRecycleClea.1"})
        keys.push_back(std::string("OrvexShellExtensions.") + name);
    for (const CLSID *clsid : {&CLSID_CCOrvexDeleteFile, &CLSID_CShelLinkHandler, &CLSID_COrvexRecycleCleaner})
        keys.push_back("CLSID\\" + GuidText(*clsid));
    return keys;
}

// Whatever the registration and the install rules wrote, in one view.
void RemoveRegistration(REGSAM view)
{
    for (const std::string &key : RegistrationKeys())
        Delete(HKEY_CLASSES_ROOT, key, view);
    for (const Tie &tie : kTies) {
        Delete(HKEY_CLASSES_ROOT, tie.handlers + "\\OrvexSE", view);
        Delete(HKEY_LOCAL_MACHINE, kApproved, view, GuidText(*tie.clsid).c_str());
    }
}

// Every test starts and ends with the product uninstalled. Another program's entry sits in every
// key the package writes into, as on any real system: it must survive, and it keeps those keys
// (the installer removes a key that an uninstall leaves empty).
class PackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox::Exists(sandbox::Wide(Package(ORVEX_VERSION_TEXT)))) << "laid out by the package fixture";
        TearDown();
        for (const Module &module : PackageModules()) {
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, "CLSID\\" + std::string(kNeighbour), "", "a neighbour", module.view));
            for (const Tie &tie : kTies)
                ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, tie.handlers + "\\Neighbour", "", kNeighbour, module.view));
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_LOCAL_MACHINE, kApproved, kNeighbour, "Neighbour", module.view));
        }
    }
    // Uninstalls every version, then removes what a test may have written by itself.
    void TearDown() override
    {
        for (const std::string &code : InstalledProducts())
            Msiexec("/x", code);
        for (const Module &module : PackageModules()) {
            RemoveRegistration(module.view);
            for (const char *file : {"OrvexSE.dll", "set-passes.js"})
                DeleteFileA((module.folder + file).c_str());
            RemoveDirectoryA(module.folder.c_str());
        }
    }
};

} // namespace

// Before the install the ProgIDs name no object. Installed, the product shows as the module shows
// itself, both modules are in place with their version information, and the cleaner, created by
// ProgID from the registry the package wrote, empties a planted bin (reaching the Secure Delete
// class through the registry too). Uninstalled, every file and registry value is as before.
TEST_F(PackageTest, InstallsBothModulesAndUninstallLeavesWhatWasThere)
{
    const std::string recycleInit = "cscript.exe //nologo b:\\recycle-init.js";
    EXPECT_EQ(1000u, RunProgram(recycleInit).exitCode); // also lets the script host register itself first
    const std::set<std::string> registryBefore = MachineSoftware(), filesBefore = InstalledFiles();
    ASSERT_EQ(0u, Msiexec("/i", Package(ORVEX_VERSION_TEXT)));

    const std::string product = std::string(g_menuText.c_str()) + ", " ORVEX_MAKER ", " ORVEX_VERSION_TEXT;
    const std::vector<std::string> installed = InstalledProducts();
    ASSERT_EQ(1u, installed.size());
    EXPECT_EQ(product, ProductInfo(installed[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME) + ", " +
                           ProductInfo(installed[0], INSTALLPROPERTY_PUBLISHER) + ", " +
                           ProductInfo(installed[0], INSTALLPROPERTY_VERSIONSTRING));
    for (const Module &module : PackageModules())
        EXPECT_EQ(std::to_string(module.machine) + ", " + product, Describe(module.Path())) << module.Path();
    EXPECT_EQ(sandbox::Read(L"b:\\set-passes.js"), sandbox::Read(sandbox::Wide(PackageModules()[0].folder + "set-passes.js")));

    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::wstring user = sandbox::FreshFolder(L"recycler") + L"\\S-1-5-21-1000\\";
    sandbox::Make(user + L"deleted.txt");
    sandbox::Make(user + L"desktop.ini", "[.ShellClassInfo]");
    EXPECT_EQ(0u, RunProgram(recycleInit).exitCode) << "Init through IDispatch";
    EXPECT_FALSE(sandbox::Exists(user + L"deleted.txt"));
    EXPECT_TRUE(sandbox::Exists(user + L"desktop.ini"));
    sandbox::Remove(L"S:\\recycler");

    ASSERT_EQ(0u, Msiexec("/x", Package(ORVEX_VERSION_TEXT)));
    EXPECT_TRUE(InstalledProducts().empty());
    ExpectNoChanges(registryBefore, MachineSoftware());
    ExpectNoChanges(filesBefore, InstalledFiles());
}

// The registry the package writes is what the modules' own registration writes, each in its view,
// plus the install rules. The package's own module registers through regsvr32 from its installed
// place. The x86 module beside the x64 one registers the same script and type library with its
// own path and platform: the test writes that itself, as this machine may not run 32-bit
// programs, and first, as the type library's key is one for both views (its help folder the x64
// module's).
TEST_F(PackageTest, WritesWhatTheModulesRegisterPlusTheShellEntries)
{
    const std::vector<Module> modules = PackageModules();
    const Module &own = modules[0];
    CreateDirectoryA(own.folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA("b:\\OrvexSE.dll", own.Path().c_str(), FALSE)) << own.Path();
    const std::string regsvr32 = "regsvr32.exe /s \"" + own.Path() + "\"";
    ASSERT_EQ(0u, RunProgram(regsvr32).exitCode);
    for (size_t other = 1; other < modules.size(); ++other) {
        // What regsvr32 of the own module wrote, with the other's folder and platform, in its view.
        const std::pair<std::string, std::string> renames[] = {{own.folder, modules[other].folder}, {"win64\\", "win32\\"}};
        for (const std::string &key : RegistrationKeys()) {
            for (std::string text : RegistryTree(HKEY_CLASSES_ROOT, key, own.view)) {
                for (const auto &[from, to] : renames)
                    if (text.find(from) != std::string::npos)
                        text.replace(text.find(from), from.size(), to);
                const size_t equals = text.find('=');
                const size_t split = equals == std::string::npos ? text.size() - 1 : text.rfind('\\', equals);
                const std::string path = split == std::string::npos ? key : key + "\\" + text.substr(0, split);
                const std::string name = text.substr(split == std::string::npos ? 0 : split + 1, equals - split - 1);
                ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, path, equals == std::string::npos ? nullptr : name.c_str(),
                                                   text.substr(std::min(equals, text.size() - 1) + 1), modules[other].view))
                    << text;
            }
        }
        ASSERT_EQ(0u, RunProgram(regsvr32).exitCode);
    }
    for (const Module &module : modules) {
        for (const Tie &tie : kTies) {
            const std::string clsid = GuidText(*tie.clsid);
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, tie.handlers + "\\OrvexSE", "", clsid, module.view));
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_LOCAL_MACHINE, kApproved, clsid.c_str(), tie.name, module.view));
        }
    }
    const std::set<std::string> expected = MachineSoftware();
    TearDown();

    ASSERT_EQ(0u, Msiexec("/i", Package(ORVEX_VERSION_TEXT)));
    ExpectNoChanges(expected, MachineSoftware());
}

// What Repair in Apps & Features does (Wine's msiexec cannot repair from its command line): put
// back whatever is missing of the installed product, files and registry entries.
DWORD Repair()
{
    const std::vector<std::string> codes = InstalledProducts();
    if (codes.size() != 1)
        return ERROR_UNKNOWN_PRODUCT;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    return MsiReinstallProductA(codes[0].c_str(), REINSTALLMODE_FILEMISSING | REINSTALLMODE_FILEEQUALVERSION |
                                                      REINSTALLMODE_FILEVERIFY | REINSTALLMODE_MACHINEDATA |
                                                      REINSTALLMODE_SHORTCUT);
}

// Maintenance as an administrator does it, step after step: each step's exit code and the
// versions installed after it; the registry and the module files as first installed, or as
// before the install. Both versions carry the same modules and entries.
TEST_F(PackageTest, UpgradesRefusesDowngradesRepairsAndUninstalls)
{
    const std::string thisVersion = Package(ORVEX_VERSION_TEXT);
    struct Step
    {
        const char *label;
        const char *action; // msiexec's, or "repair" after the modules and a handler key were deleted
        std::string package;
        DWORD exitCode;
        std::vector<std::string> versionsAfter;
    };
    std::vector<Step> steps = {
        {"install the older version", "/i", Package(ORVEX_OLDER_VERSION), 0, {ORVEX_OLDER_VERSION}},
        {"upgrade to this version", "/i", thisVersion, 0, {ORVEX_VERSION_TEXT}},
        {"install the older version over this one", "/i", Package(ORVEX_OLDER_VERSION), 1603, {ORVEX_VERSION_TEXT}},
        // One release is one product, never two side by side (Wine reinstalls it; Windows refuses with 1638).
        {"install this version, built once more", "/i", Package(ORVEX_VERSION_TEXT, kArch + "-rebuilt"), 0, {ORVEX_VERSION_TEXT}},
        {"repair", "repair", thisVersion, 0, {ORVEX_VERSION_TEXT}},
        {"uninstall", "/x", thisVersion, 0, {}},
    };
    // The x86 module alone would never show in 64-bit Explorer.
    if (sizeof(void *) == 8)
        steps.insert(steps.begin(), {"the x86 package on 64-bit Windows", "/i", Package(ORVEX_VERSION_TEXT, "x86"), 1603, {}});
    const std::set<std::string> registryBefore = MachineSoftware();
    std::set<std::string> registryInstalled;
    std::vector<std::string> modulesInstalled;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.label);
        const bool repair = std::string(step.action) == "repair";
        for (const Module &module : PackageModules()) {
            if (repair) {
                ASSERT_TRUE(DeleteFileA(module.Path().c_str())) << module.Path();
                Delete(HKEY_CLASSES_ROOT, kTies[0].handlers + "\\OrvexSE", module.view);
            }
        }
        EXPECT_EQ(step.exitCode, repair ? Repair() : Msiexec(step.action, step.package));
        std::vector<std::string> versions, modules;
        for (const std::string &code : InstalledProducts())
            versions.push_back(ProductInfo(code, INSTALLPROPERTY_VERSIONSTRING));
        EXPECT_EQ(step.versionsAfter, versions);
        for (const Module &module : PackageModules())
            modules.push_back(sandbox::Read(sandbox::Wide(module.Path())));
        const bool installed = !step.versionsAfter.empty();
        if (installed && registryInstalled.empty()) {
            registryInstalled = MachineSoftware();
            modulesInstalled = modules;
            continue;
        }
        ExpectNoChanges(installed ? registryInstalled : registryBefore, MachineSoftware());
        EXPECT_TRUE(modules == (installed ? modulesInstalled : std::vector<std::string>(modules.size())))
            << "the module files as installed, or none";
    }
}

// The pass-count script the package puts beside the module writes the current user's value.
TEST(SetPassesScript, WritesADwordFromOneToThirtyTwoAndRefusesAnythingElse)
{
    CPassSetting setting;
    const std::string script = "cscript.exe //nologo b:\\set-passes.js ";
    const auto slider = [] {
        DWORD type = 0, value = 0, size = sizeof(value);
        const LONG result = SHGetValueA(HKEY_CURRENT_USER, CPassSetting::kKey, "Slider", &type, &value, &size);
        return result == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
    };
    for (const char *count : {"7", "1", "32"}) {
        EXPECT_EQ(0u, RunProgram(script + count).exitCode);
        EXPECT_EQ(std::strtoul(count, nullptr, 10), slider()) << count;
    }
    EXPECT_EQ(0u, RunProgram(script).exitCode) << "showing the setting";
    for (const char *wrong : {"0", "33", "-3", "abc", "5x", "7 8", "1e1"}) {
        EXPECT_EQ(1u, RunProgram(script + wrong).exitCode) << wrong;
        EXPECT_EQ(32u, slider()) << "unchanged after " << wrong;
    }
}
