#include "OrvexShellExtensions.h"
#include "RegistrationSupport.h"
#include "common/Scoped.h"
#include "module/Module.h"
#include "support/TestSupport.h"
#include "version.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <vector>

using namespace registration;

namespace {

const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kNeighbourClsid[] = "{6A2E5C11-0000-4000-8000-0000000000BB}";
// Every version of the package carries this UpgradeCode; with another one, upgrades stop working.
const char kUpgradeCode[] = "{9C4C613E-BAF5-4394-8D30-646433A3D9B2}";
const char *const kOwnArchitecture = sizeof(void *) == 8 ? "x64" : "x86";

// The ContextMenuHandlers keys under HKCR that the install ties each class into.
const struct Tie
{
    const char *handlers;
    const CLSID *clsid;
} kTies[] = {
    {"*\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile},
    {"Directory\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile},
    {"lnkfile\\shellex\\ContextMenuHandlers", &CLSID_CShelLinkHandler},
    {"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shellex\\ContextMenuHandlers", &CLSID_COrvexRecycleCleaner},
};

std::string HandlerKey(const Tie &tie) { return std::string(tie.handlers) + "\\OrvexSE"; }

// The packages as the fixture laid them out in the sandbox: this version, an older one, this version
// built once more and, beside the x64 package, the x86 one.
std::string Package(const char *version, const std::string &architecture = kOwnArchitecture)
{
    return std::string("S:\\package\\OrvexSE-") + version + "-" + architecture + ".msi";
}
const std::string kThisVersion = Package(ORVEX_VERSION_TEXT), kOlderVersion = Package(ORVEX_OLDER_VERSION);
const std::string kRebuilt = Package(ORVEX_VERSION_TEXT, kOwnArchitecture + std::string("-rebuilt"));
const std::string kX86Package = Package(ORVEX_VERSION_TEXT, "x86");

DWORD Command(const std::string &line)
{
    const RunResult result = Run(line);
    EXPECT_TRUE(result.started && !result.timedOut) << line;
    return result.exitCode;
}

// msiexec, silent, with a verbose log beside the package (or the product code's log in S:\package).
DWORD Msiexec(const std::string &action, const std::string &package)
{
    const std::string log = package[0] == '{' ? "S:\\package\\" + package : package;
    return Command("msiexec.exe " + action + " \"" + package + "\" /qn /l*v \"" + log + ".log\"");
}

// A module the package installs: its folder, the machine in its file header, its registry view.
struct Module
{
    WORD machine;
    std::string folder; // with its final backslash
    REGSAM view;
    std::string Path() const { return folder + "OrvexSE.dll"; }
};

std::string FolderPath(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// This architecture's module in Program Files first; the x64 package also puts the x86 module into
// the 32-bit Program Files and registers it in the 32-bit registry view.
std::vector<Module> PackageModules()
{
    if (sizeof(void *) == 4)
        return {{IMAGE_FILE_MACHINE_I386, FolderPath(CSIDL_PROGRAM_FILES) + "\\OrvexSE\\", 0}};
    return {{IMAGE_FILE_MACHINE_AMD64, FolderPath(CSIDL_PROGRAM_FILES) + "\\OrvexSE\\", KEY_WOW64_64KEY},
            {IMAGE_FILE_MACHINE_I386, FolderPath(CSIDL_PROGRAM_FILESX86) + "\\OrvexSE\\", KEY_WOW64_32KEY}};
}

// The product codes installed with the package's UpgradeCode.
std::vector<std::string> InstalledProducts()
{
    std::vector<std::string> codes;
    char code[39];
    for (DWORD index = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, index, code) == ERROR_SUCCESS; ++index)
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

std::vector<std::string> InstalledVersions()
{
    std::vector<std::string> versions;
    for (const std::string &code : InstalledProducts())
        versions.push_back(ProductInfo(code, INSTALLPROPERTY_VERSIONSTRING));
    return versions;
}

// A module file as Windows shows it: the machine in its header, then product, maker and version
// from its version information.
std::string Describe(const std::string &path)
{
    const std::string bytes = sandbox::ReadFileBytes(path);
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return "missing";
    const LONG header = reinterpret_cast<const IMAGE_DOS_HEADER *>(bytes.data())->e_lfanew;
    WORD machine = 0;
    if (header > 0 && bytes.size() >= header + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER))
        machine = reinterpret_cast<const IMAGE_FILE_HEADER *>(bytes.data() + header + sizeof(DWORD))->Machine;
    std::string text = "machine " + std::to_string(machine);
    DWORD unused = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &unused));
    if (info.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()))
        return text + ", no version information";
    for (const char *name : {"ProductName", "CompanyName", "FileVersion"}) {
        char *value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        text += ", " + std::string(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void **>(&value), &length)
                                       ? value
                                       : "?");
    }
    return text;
}

// Everything under HKLM\Software, both registry views (the 32-bit one is its Wow6432Node), but
// the books Windows Installer keeps of the installed products and their Apps & Features entries.
std::set<std::string> MachineSoftware()
{
    std::vector<std::string> books = {"Classes\\Installer\\", "Microsoft\\Windows\\CurrentVersion\\Installer\\"};
    for (const std::string &code : InstalledProducts())
        books.push_back("Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code + "\\");
    std::set<std::string> tree = RegistryTree(HKEY_LOCAL_MACHINE, "Software");
    for (auto entry = tree.begin(); entry != tree.end();) {
        bool kept = true;
        for (const std::string &book : books)
            kept = kept && entry->compare(0, book.size(), book) != 0;
        entry = kept ? std::next(entry) : tree.erase(entry);
    }
    return tree;
}

// Every file and folder below the folders a package writes to: Program Files and the installer's cache.
std::set<std::string> InstalledFiles()
{
    std::set<std::string> files;
    std::vector<std::string> pending = {FolderPath(CSIDL_PROGRAM_FILES), FolderPath(CSIDL_WINDOWS) + "\\Installer"};
    if (sizeof(void *) == 8)
        pending.push_back(FolderPath(CSIDL_PROGRAM_FILESX86));
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAA found;
        CFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
        for (bool more = find.IsValid(); more; more = FindNextFileA(find.Get(), &found)) {
            const std::string name = found.cFileName, path = folder + "\\" + name;
            if (name == "." || name == "..")
                continue;
            files.insert(path);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
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

// Creates a key and, unless name is null, sets a REG_SZ value in it ("" names the default value).
LONG SetString(HKEY root, const std::string &path, const char *name, const std::string &value, REGSAM view)
{
    HKEY created = nullptr;
    LONG result = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &created, nullptr);
    CRegKey key(created);
    if (result == ERROR_SUCCESS && name)
        result = RegSetValueExA(key.Get(), *name ? name : nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    return result;
}

// Deletes a key with its subtree, in one registry view.
void DeleteTree(HKEY root, const std::string &path, REGSAM view)
{
    std::vector<std::string> subkeys;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return;
    {
        CRegKey key(opened);
        char name[256];
        for (DWORD size = sizeof(name); RegEnumKeyExA(key.Get(), static_cast<DWORD>(subkeys.size()), name, &size,
                                                     nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             size = sizeof(name))
            subkeys.push_back(name);
    }
    for (const std::string &subkey : subkeys)
        DeleteTree(root, path + "\\" + subkey, view);
    RegDeleteKeyExA(root, path.c_str(), view, 0);
}

void DeleteValue(HKEY root, const std::string &path, const std::string &name, REGSAM view)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE | view, &opened) != ERROR_SUCCESS)
        return;
    CRegKey key(opened);
    RegDeleteValueA(key.Get(), name.c_str());
}

// The keys under HKCR that the module's registration makes: ProgIDs, classes, type library, interfaces.
std::vector<std::string> RegistrationKeys()
{
    std::vector<std::string> keys = {"TypeLib\\" + GuidText(LIBID_OrvexShellExtensions)};
    for (const IID *iid : {&IID_ICOrvexDeleteFile, &IID_IShellinkHandler, &IID_IOrvexRecycleCleaner})
        keys.push_back("Interface\\" + GuidText(*iid));
    for (const RegisteredClass &entry : kRegisteredClasses)
        keys.insert(keys.end(), {entry.progId, entry.versionIndependentProgId, "CLSID\\" + GuidText(*entry.clsid)});
    return keys;
}

// The install rules: each class tied into the context menus of its file types and listed among
// the approved shell extensions.
void WriteShellEntries(REGSAM view)
{
    for (const Tie &tie : kTies)
        ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, HandlerKey(tie), "", GuidText(*tie.clsid), view));
    for (const RegisteredClass &entry : kRegisteredClasses)
        ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid).c_str(), entry.friendlyName, view));
}

// Whatever the registration and the install rules wrote, in one view.
void RemoveRegistration(REGSAM view)
{
    for (const std::string &key : RegistrationKeys())
        DeleteTree(HKEY_CLASSES_ROOT, key, view);
    for (const Tie &tie : kTies)
        DeleteTree(HKEY_CLASSES_ROOT, HandlerKey(tie), view);
    for (const RegisteredClass &entry : kRegisteredClasses)
        DeleteValue(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid), view);
}

// Every test starts and ends with the product uninstalled. Another program's entry sits in every
// key the package writes into, as on any real system: it must survive, and it keeps those keys
// (the installer removes a key that an uninstall leaves empty).
class PackageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox::Exists(kThisVersion)) << "laid out by the package fixture";
        RemoveProduct(); // what an interrupted run may have left
        for (const Module &module : PackageModules()) {
            std::vector<std::string> neighbours = {"CLSID\\" + std::string(kNeighbourClsid)};
            for (const Tie &tie : kTies)
                neighbours.push_back(std::string(tie.handlers) + "\\Neighbour");
            for (const std::string &key : neighbours) {
                NoteMissing(key, module.view);
                ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, key, "", kNeighbourClsid, module.view));
            }
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid, "Neighbour", module.view));
        }
    }
    void TearDown() override
    {
        RemoveProduct();
        for (const Module &module : PackageModules())
            DeleteValue(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid, module.view);
        // Deepest first; a key that holds anything else is not deleted.
        for (auto made = madeByTest.rbegin(); made != madeByTest.rend(); ++made)
            RegDeleteKeyExA(HKEY_CLASSES_ROOT, made->first.c_str(), made->second, 0);
    }
    // Uninstalls every version, then removes what a test may have written by itself.
    static void RemoveProduct()
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
    // Every missing key on the way to path, outermost first.
    void NoteMissing(const std::string &path, REGSAM view)
    {
        for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
            if (!KeyExists(HKEY_CLASSES_ROOT, path.substr(0, end), view))
                madeByTest.push_back({path.substr(0, end), view});
            if (end == std::string::npos)
                break;
        }
    }

    std::vector<std::pair<std::string, REGSAM>> madeByTest;
};

// Init empties every fixed drive's bin: outside the sandbox drives there must be none.
void AssertNoBinOutsideTheSandbox()
{
    char drives[MAX_PATH] = {};
    ASSERT_NE(0u, GetLogicalDriveStringsA(sizeof(drives), drives));
    for (const char *root = drives; *root; root += strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_FIXED || strchr("SsTt", *root))
            continue;
        for (const char *bin : {"recycler", "recycled"})
            ASSERT_FALSE(PathFileExistsA((std::string(root) + bin).c_str())) << root << bin << ": refusing to run";
    }
}

TEST_F(PackageTest, InstallsBothModulesAndUninstallLeavesWhatWasThere)
{
    // Before the install the ProgIDs name no object. (The run also lets the script host register
    // its own type library, as it does the first time it runs on a system, before the registry is
    // taken down.)
    const std::string recycleInit = "cscript.exe //nologo b:\\recycle-init.js";
    EXPECT_EQ(1000u, Command(recycleInit));
    const std::set<std::string> registryBefore = MachineSoftware(), filesBefore = InstalledFiles();
    ASSERT_EQ(0u, Msiexec("/i", kThisVersion));

    // The product as the module shows itself: its menu text, the maker of its settings key.
    const std::string product = std::string(g_menuText.c_str()) + ", " ORVEX_MAKER ", " ORVEX_VERSION_TEXT;
    const std::vector<std::string> installed = InstalledProducts();
    ASSERT_EQ(1u, installed.size());
    EXPECT_EQ(product, ProductInfo(installed[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME) + ", " +
                           ProductInfo(installed[0], INSTALLPROPERTY_PUBLISHER) + ", " +
                           ProductInfo(installed[0], INSTALLPROPERTY_VERSIONSTRING));
    for (const Module &module : PackageModules())
        EXPECT_EQ("machine " + std::to_string(module.machine) + ", " + product, Describe(module.Path())) << module.Path();
    EXPECT_EQ(sandbox::ReadFileBytes("b:\\set-passes.js"), sandbox::ReadFileBytes(PackageModules()[0].folder + "set-passes.js"));

    // The cleaner, created by its ProgIDs from the registry the package wrote, empties a bin on the
    // sandbox drive (its content goes; the bin's desktop.ini and the folders stay). It reaches the
    // Secure Delete class through CoCreateInstance, that is through the registry too.
    AssertNoBinOutsideTheSandbox();
    const std::string bin = sandbox::FreshFolder("recycler"), user = bin + "\\S-1-5-21-1000";
    ASSERT_TRUE(CreateDirectoryA(user.c_str(), nullptr));
    sandbox::WriteFileBytes(user + "\\deleted.txt", "once deleted, now destroyed");
    sandbox::WriteFileBytes(user + "\\desktop.ini", "[.ShellClassInfo]");
    const DWORD result = Command(recycleInit);
    EXPECT_EQ(0u, result) << "Init through IDispatch: " << std::hex << result;
    EXPECT_FALSE(sandbox::Exists(user + "\\deleted.txt"));
    EXPECT_TRUE(sandbox::Exists(user + "\\desktop.ini"));
    sandbox::RemoveTree(bin);

    ASSERT_EQ(0u, Msiexec("/x", kThisVersion));
    EXPECT_TRUE(InstalledProducts().empty());
    ExpectNoChanges(registryBefore, MachineSoftware());
    ExpectNoChanges(filesBefore, InstalledFiles());
}

// The type library's FLAGS value is the system's own (Wine's RegisterTypeLib writes a flag of
// its own making, Windows' the library's flags, 0): it is left out of comparisons.
std::set<std::string> WithoutLibraryFlags(std::set<std::string> tree)
{
    const std::string flags = GuidText(LIBID_OrvexShellExtensions) + "\\1.0\\FLAGS\\=";
    for (auto entry = tree.begin(); entry != tree.end();)
        entry = entry->find(flags) == std::string::npos ? std::next(entry) : tree.erase(entry);
    return tree;
}

std::string Replaced(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// What regsvr32 of one module writes, as the registration of another: the same entries with the
// other's folder and type-library platform, in the other's registry view.
void RegisterLike(const Module &registered, const Module &module)
{
    for (const std::string &key : RegistrationKeys()) {
        for (const std::string &entry : RegistryTree(HKEY_CLASSES_ROOT, key, registered.view)) {
            const std::string text = Replaced(Replaced(entry, registered.folder, module.folder), "win64\\", "win32\\");
            const size_t equals = text.find('=');
            const size_t split = equals == std::string::npos ? text.size() - 1 : text.rfind('\\', equals);
            const std::string path = split == std::string::npos ? key : key + "\\" + text.substr(0, split);
            if (equals == std::string::npos) { // a key of its own
                ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, path, nullptr, "", module.view)) << text;
                continue;
            }
            const size_t name = split == std::string::npos ? 0 : split + 1;
            ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, path, text.substr(name, equals - name).c_str(),
                                               text.substr(equals + 1), module.view))
                << text;
        }
    }
}

// The registry the package writes is what the modules' own registration writes, each in its view,
// plus the install rules. The package's own module registers through regsvr32 from its installed
// place. The x86 module beside the x64 one registers the same script and type library with its
// own path and platform: the test writes that itself, as this machine may not run 32-bit programs.
// It goes first: the type library's key is one for both views, and its help folder is the x64
// module's.
TEST_F(PackageTest, WritesWhatTheModulesRegisterPlusTheShellEntries)
{
    const std::vector<Module> modules = PackageModules();
    const Module &own = modules[0];
    CreateDirectoryA(own.folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA("b:\\OrvexSE.dll", own.Path().c_str(), FALSE)) << own.Path();
    const std::string regsvr32 = "regsvr32.exe /s \"" + own.Path() + "\"";
    ASSERT_EQ(0u, Command(regsvr32));
    for (size_t other = 1; other < modules.size(); ++other) {
        RegisterLike(own, modules[other]);
        ASSERT_EQ(0u, Command(regsvr32));
    }
    for (const Module &module : modules)
        WriteShellEntries(module.view);
    const std::set<std::string> expected = WithoutLibraryFlags(MachineSoftware());
    for (const Module &module : modules)
        RemoveRegistration(module.view);
    ASSERT_TRUE(DeleteFileA(own.Path().c_str()) && RemoveDirectoryA(own.folder.c_str()));

    ASSERT_EQ(0u, Msiexec("/i", kThisVersion));
    ExpectNoChanges(expected, WithoutLibraryFlags(MachineSoftware()));
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

// Maintenance as an administrator does it, one step after the other: the exit code of each step
// and the versions installed after it. Both packages carry the same modules and registry entries;
// only their versions differ.
TEST_F(PackageTest, UpgradesRefusesDowngradesRepairsAndUninstalls)
{
    struct Step
    {
        const char *label;
        const char *action; // msiexec's, or "repair" after the modules and a handler key were deleted
        std::string package;
        DWORD exitCode;
        std::vector<std::string> versionsAfter;
    };
    std::vector<Step> steps = {
        {"install the older version", "/i", kOlderVersion, 0, {ORVEX_OLDER_VERSION}},
        {"upgrade to this version", "/i", kThisVersion, 0, {ORVEX_VERSION_TEXT}},
        {"install the older version over this one", "/i", kOlderVersion, 1603, {ORVEX_VERSION_TEXT}},
        // The same release is one product, never two side by side (Wine reinstalls it; Windows
        // refuses with 1638).
        {"install this version, built once more, over itself", "/i", kRebuilt, 0, {ORVEX_VERSION_TEXT}},
        {"repair", "repair", kThisVersion, 0, {ORVEX_VERSION_TEXT}},
        {"uninstall", "/x", kThisVersion, 0, {}},
    };
    // The x86 module alone would never show in 64-bit Explorer.
    if (sizeof(void *) == 8)
        steps.insert(steps.begin(), {"the x86 package on 64-bit Windows", "/i", kX86Package, 1603, {}});
    const std::set<std::string> registryBefore = MachineSoftware();
    std::set<std::string> registryInstalled;
    std::vector<std::string> modulesInstalled;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.label);
        const bool repair = strcmp(step.action, "repair") == 0;
        if (repair) {
            for (const Module &module : PackageModules()) {
                ASSERT_TRUE(DeleteFileA(module.Path().c_str())) << module.Path();
                DeleteTree(HKEY_CLASSES_ROOT, HandlerKey(kTies[0]), module.view);
            }
        }
        EXPECT_EQ(step.exitCode, repair ? Repair() : Msiexec(step.action, step.package));
        EXPECT_EQ(step.versionsAfter, InstalledVersions());
        std::vector<std::string> modules;
        for (const Module &module : PackageModules())
            modules.push_back(sandbox::ReadFileBytes(module.Path()));
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

// The pass count lives in the current user's settings key; the test puts back what was there.
class SetPassesTest : public ::testing::Test
{
protected:
    static constexpr const char *kSecure = "Software\\Kessane\\Talmior 2004\\Secure";

    void SetUp() override
    {
        for (const char *key : {"Software\\Kessane", "Software\\Kessane\\Talmior 2004", kSecure})
            made = made.empty() && !KeyExists(HKEY_CURRENT_USER, key) ? key : made;
        DWORD size = sizeof(saved);
        hadValue = SHGetValueA(HKEY_CURRENT_USER, kSecure, "Slider", &savedType, &saved, &size) == ERROR_SUCCESS;
    }
    void TearDown() override
    {
        if (hadValue)
            SHSetValueA(HKEY_CURRENT_USER, kSecure, "Slider", savedType, &saved, sizeof(saved));
        else
            SHDeleteValueA(HKEY_CURRENT_USER, kSecure, "Slider");
        if (!made.empty())
            SHDeleteKeyA(HKEY_CURRENT_USER, made.c_str());
    }
    // The value as a REG_DWORD; 0 when it is missing or of another type.
    static DWORD Slider()
    {
        DWORD type = 0, value = 0, size = sizeof(value);
        const bool ok = SHGetValueA(HKEY_CURRENT_USER, kSecure, "Slider", &type, &value, &size) == ERROR_SUCCESS;
        return ok && type == REG_DWORD && size == sizeof(DWORD) ? value : 0;
    }

    std::string made; // the outermost key of the settings path that the test made
    bool hadValue = false;
    DWORD savedType = 0;
    DWORD saved = 0;
};

TEST_F(SetPassesTest, WritesADwordFromOneToThirtyTwo)
{
    const std::string script = "cscript.exe //nologo b:\\set-passes.js ";
    for (const char *count : {"7", "1", "32"}) {
        ASSERT_EQ(0u, Command(script + count));
        EXPECT_EQ(strtoul(count, nullptr, 10), Slider()) << count;
    }
    EXPECT_EQ(0u, Command(script)) << "showing the setting";
    for (const char *wrong : {"0", "33", "100", "-3", "abc", "5x", "7 8", "1e1"}) {
        EXPECT_EQ(1u, Command(script + wrong)) << wrong;
        EXPECT_EQ(32u, Slider()) << "unchanged after " << wrong;
    }
}

} // namespace
