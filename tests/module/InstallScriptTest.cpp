#include "OrvexShellExtensions.h"
#include "RegistrationSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <vector>

using namespace registration;

namespace {

const char kApproved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char kNeighbourClsid[] = "{6A2E5C11-0000-4000-8000-0000000000BB}";

// The ContextMenuHandlers keys under HKCR that name each class.
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
std::string Handler(const Tie &tie, REGSAM view = 0)
{
    return ReadString(HKEY_CLASSES_ROOT, HandlerKey(tie), "", nullptr, view);
}

DWORD Script(const std::string &arguments)
{
    const RunResult result = Run("cscript.exe //nologo " + arguments);
    EXPECT_TRUE(result.started) << arguments;
    EXPECT_FALSE(result.timedOut) << arguments;
    return result.exitCode;
}

// The kit as a user unpacks it: the scripts, x64\OrvexSE.dll and x86\OrvexSE.dll (the x86 module
// only where this machine runs 32-bit programs).
const char kKit[] = "S:\\kit";
const char *const kOwnArchitecture = sizeof(void *) == 8 ? "x64" : "x86";

// One registry view the install writes into, and the module registered there.
struct View
{
    REGSAM sam;
    const char *architecture;
};

// The program's own view always; on 64-bit Windows the 32-bit one too when the kit has that module.
std::vector<View> KitViews()
{
    std::vector<View> views{{0, kOwnArchitecture}};
    if (sizeof(void *) == 8 && PathFileExistsA((std::string(kKit) + "\\x86\\OrvexSE.dll").c_str()))
        views.push_back({KEY_WOW64_32KEY, "x86"});
    return views;
}

std::string InprocServer(const CLSID &clsid, REGSAM view)
{
    return ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(clsid) + "\\InprocServer32", "", nullptr, view);
}

// Each test leaves the shell entries and the module unregistered, as it found them, and
// removes the empty container keys the install had to create.
class InstallScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const View &view : KitViews()) {
            for (const Tie &tie : kTies)
                NoteMissing(HKEY_CLASSES_ROOT, tie.handlers, view.sam);
            NoteMissing(HKEY_LOCAL_MACHINE, kApproved, view.sam);
        }
    }
    void TearDown() override
    {
        Script(std::string(kKit) + "\\install.js /u");
        UnregisterModule();
        // Deepest first; a key that gained subkeys meanwhile is not deleted.
        for (auto made = madeByTest.rbegin(); made != madeByTest.rend(); ++made)
            RegDeleteKeyExA(made->root, made->path.c_str(), made->view, 0);
    }
    // Every missing key on the way to path, outermost first.
    void NoteMissing(HKEY root, const std::string &path, REGSAM view)
    {
        for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
            if (!KeyExists(root, path.substr(0, end), view))
                madeByTest.push_back({root, path.substr(0, end), view});
            if (end == std::string::npos)
                break;
        }
    }

    struct MadeKey
    {
        HKEY root;
        std::string path;
        REGSAM view;
    };
    std::vector<MadeKey> madeByTest;
};

TEST_F(InstallScriptTest, InstallTiesTheHandlersInAndUninstallTakesOnlyThemOut)
{
    const std::vector<View> views = KitViews();
    // Entries of some other program, which neither step may touch.
    const std::string neighbour = std::string(kTies[0].handlers) + "\\Neighbour";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour.c_str(), REG_SZ, kNeighbourClsid, 0));
    ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid, REG_SZ, "Neighbour", 10));

    const std::string install = std::string(kKit) + "\\install.js";
    ASSERT_EQ(0u, Script(install));
    ASSERT_EQ(0u, Script(install)) << "installing again changes nothing";
    for (const View &view : views) {
        SCOPED_TRACE(view.architecture);
        EXPECT_EQ(0, lstrcmpiA((std::string(kKit) + "\\" + view.architecture + "\\OrvexSE.dll").c_str(),
                               InprocServer(CLSID_CCOrvexDeleteFile, view.sam).c_str()))
            << "each view has the module of its own architecture";
        for (const Tie &tie : kTies)
            EXPECT_EQ(GuidText(*tie.clsid), Handler(tie, view.sam)) << tie.handlers;
        // Whole drives and virtual folders are never offered.
        for (const char *type : {"Drive", "Folder"})
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(type) + "\\shellex\\ContextMenuHandlers\\OrvexSE",
                                   view.sam));
        for (const RegisteredClass &entry : kRegisteredClasses)
            EXPECT_EQ(entry.friendlyName,
                      ReadString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid), nullptr, view.sam));
    }

    // A handler key that meanwhile names another class is no longer ours to remove.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, HandlerKey(kTies[1]).c_str(), REG_SZ, kNeighbourClsid, 0));
    ASSERT_EQ(0u, Script(install + " /u"));
    EXPECT_EQ(kNeighbourClsid, Handler(kTies[1]));
    for (const View &view : views) {
        SCOPED_TRACE(view.architecture);
        for (const Tie &tie : kTies) {
            if (&tie == &kTies[1] && view.sam == 0)
                continue; // the key that names the neighbour
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(tie), view.sam)) << tie.handlers;
        }
        for (const RegisteredClass &entry : kRegisteredClasses) {
            bool found = true;
            ReadString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid), &found, view.sam);
            EXPECT_FALSE(found) << entry.friendlyName << " still approved";
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.versionIndependentProgId, view.sam)) << "module unregistered";
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(*entry.clsid), view.sam));
        }
    }
    EXPECT_EQ(kNeighbourClsid, ReadString(HKEY_CLASSES_ROOT, neighbour));
    EXPECT_EQ("Neighbour", ReadString(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid));

    SHDeleteKeyA(HKEY_CLASSES_ROOT, HandlerKey(kTies[1]).c_str());
    SHDeleteKeyA(HKEY_CLASSES_ROOT, neighbour.c_str());
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid);
}

TEST_F(InstallScriptTest, RefusesWrongUseAndWritesNothing)
{
    const std::string install = std::string(kKit) + "\\install.js ";
    for (const std::string wrong : {"S:\\no-such-folder", "/x", "S:\\kit S:\\kit", "S:\\kit\\x64", "S:\\kit\\x86"})
        EXPECT_EQ(1u, Script(install + wrong)) << wrong;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "OrvexShellExtensions.COrvexDeleteFile"));
    for (const Tie &tie : kTies)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(tie))) << tie.handlers;

    // A folder given explicitly is the one whose module is registered.
    const std::string other = sandbox::FreshFolder("kit-elsewhere"), own = other + "\\" + kOwnArchitecture;
    ASSERT_TRUE(CreateDirectoryA(own.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((std::string(kKit) + "\\" + kOwnArchitecture + "\\OrvexSE.dll").c_str(),
                          (own + "\\OrvexSE.dll").c_str(), FALSE));
    ASSERT_EQ(0u, Script(install + other));
    EXPECT_EQ(0, lstrcmpiA((own + "\\OrvexSE.dll").c_str(), InprocServer(CLSID_CShelLinkHandler, 0).c_str()));
    EXPECT_EQ(GuidText(CLSID_CShelLinkHandler), Handler(kTies[2]));
    ASSERT_EQ(0u, Script(install + "/u " + other));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[2])));
    sandbox::RemoveTree(other);
}

// An automation client reaches the Recycle Bin cleaner through its ProgIDs and IDispatch.
TEST_F(InstallScriptTest, ScriptCreatesTheRecycleCleanerAndCallsInit)
{
    // Init empties every fixed drive's bin: outside the sandbox drives there must be none.
    char drives[MAX_PATH] = {};
    ASSERT_NE(0u, GetLogicalDriveStringsA(sizeof(drives), drives));
    for (const char *root = drives; *root; root += strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_FIXED || strchr("SsTt", *root))
            continue;
        for (const char *bin : {"recycler", "recycled"})
            ASSERT_FALSE(PathFileExistsA((std::string(root) + bin).c_str())) << root << bin << ": refusing to run";
    }
    // A bin on the sandbox drive with one user's folder: its content goes, the bin's own
    // desktop.ini and the folders stay. The cleaner reaches the Secure Delete class through
    // CoCreateInstance, that is through the registered class.
    const std::string bin = sandbox::FreshFolder("recycler");
    const std::string user = bin + "\\S-1-5-21-1000";
    ASSERT_TRUE(CreateDirectoryA(user.c_str(), nullptr));
    sandbox::WriteFileBytes(user + "\\deleted.txt", "once deleted, now destroyed");
    sandbox::WriteFileBytes(user + "\\desktop.ini", "[.ShellClassInfo]");

    ASSERT_EQ(0u, RegisterModule());
    const DWORD result = Script("b:\\recycle-init.js");
    EXPECT_EQ(0u, result) << "Init through IDispatch: " << std::hex << result;
    EXPECT_FALSE(sandbox::Exists(user + "\\deleted.txt"));
    EXPECT_TRUE(sandbox::Exists(user + "\\desktop.ini"));
    EXPECT_TRUE(sandbox::Exists(user));
    sandbox::RemoveTree(bin);
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
    for (const char *count : {"7", "1", "32"}) {
        ASSERT_EQ(0u, Script(std::string("S:\\kit\\set-passes.js ") + count));
        EXPECT_EQ(strtoul(count, nullptr, 10), Slider()) << count;
    }
    EXPECT_EQ(0u, Script("S:\\kit\\set-passes.js")) << "showing the setting";
    for (const char *wrong : {"0", "33", "100", "-3", "abc", "5x", "7 8", "1e1"}) {
        EXPECT_EQ(1u, Script(std::string("S:\\kit\\set-passes.js ") + wrong)) << wrong;
        EXPECT_EQ(32u, Slider()) << "unchanged after " << wrong;
    }
}

} // namespace
