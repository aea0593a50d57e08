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
std::string Handler(const Tie &tie) { return ReadString(HKEY_CLASSES_ROOT, HandlerKey(tie)); }

DWORD Script(const std::string &arguments)
{
    const RunResult result = Run("cscript.exe //nologo " + arguments);
    EXPECT_TRUE(result.started) << arguments;
    EXPECT_FALSE(result.timedOut) << arguments;
    return result.exitCode;
}

// Each test leaves the shell entries and the module unregistered, as it found them, and
// removes the empty container keys the install had to create.
class InstallScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const Tie &tie : kTies)
            NoteMissing(HKEY_CLASSES_ROOT, tie.handlers);
        NoteMissing(HKEY_LOCAL_MACHINE, kApproved);
    }
    void TearDown() override
    {
        Script("b:\\install.js /u");
        UnregisterModule();
        // Deepest first; a key that gained subkeys meanwhile is not deleted.
        for (auto made = madeByTest.rbegin(); made != madeByTest.rend(); ++made)
            RegDeleteKeyA(made->first, made->second.c_str());
    }
    // Every missing key on the way to path, outermost first.
    void NoteMissing(HKEY root, const std::string &path)
    {
        for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
            if (!KeyExists(root, path.substr(0, end)))
                madeByTest.emplace_back(root, path.substr(0, end));
            if (end == std::string::npos)
                break;
        }
    }

    std::vector<std::pair<HKEY, std::string>> madeByTest;
};

TEST_F(InstallScriptTest, InstallTiesTheHandlersInAndUninstallTakesOnlyThemOut)
{
    // Entries of some other program, which neither step may touch.
    const std::string neighbour = std::string(kTies[0].handlers) + "\\Neighbour";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, neighbour.c_str(), REG_SZ, kNeighbourClsid, 0));
    ASSERT_EQ(ERROR_SUCCESS, SHSetValueA(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid, REG_SZ, "Neighbour", 10));

    ASSERT_EQ(0u, Script("b:\\install.js"));
    ASSERT_EQ(0u, Script("b:\\install.js")) << "installing again changes nothing";
    EXPECT_EQ(0, lstrcmpiA("b:\\OrvexSE.dll", ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_CCOrvexDeleteFile) +
                                                                               "\\InprocServer32").c_str()))
        << "the module beside the script is registered";
    for (const Tie &tie : kTies)
        EXPECT_EQ(GuidText(*tie.clsid), Handler(tie)) << tie.handlers;
    // Whole drives and virtual folders are never offered.
    for (const char *type : {"Drive", "Folder"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(type) + "\\shellex\\ContextMenuHandlers\\OrvexSE"));
    for (const RegisteredClass &entry : kRegisteredClasses)
        EXPECT_EQ(entry.friendlyName, ReadString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid)));

    // A handler key that meanwhile names another class is no longer ours to remove.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, HandlerKey(kTies[1]).c_str(), REG_SZ, kNeighbourClsid, 0));
    ASSERT_EQ(0u, Script("b:\\install.js /u"));
    EXPECT_EQ(kNeighbourClsid, Handler(kTies[1]));
    for (const Tie *tie : {&kTies[0], &kTies[2], &kTies[3]})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(*tie))) << tie->handlers;
    for (const RegisteredClass &entry : kRegisteredClasses) {
        bool found = true;
        ReadString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*entry.clsid), &found);
        EXPECT_FALSE(found) << entry.friendlyName << " still approved";
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, entry.versionIndependentProgId)) << "module unregistered";
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(*entry.clsid)));
    }
    EXPECT_EQ(kNeighbourClsid, ReadString(HKEY_CLASSES_ROOT, neighbour));
    EXPECT_EQ("Neighbour", ReadString(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid));

    SHDeleteKeyA(HKEY_CLASSES_ROOT, HandlerKey(kTies[1]).c_str());
    SHDeleteKeyA(HKEY_CLASSES_ROOT, neighbour.c_str());
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid);
}

TEST_F(InstallScriptTest, RefusesWrongUseAndWritesNothing)
{
    for (const char *wrong : {"S:\\no-such-folder\\OrvexSE.dll", "/x", "b:\\OrvexSE.dll b:\\OrvexSE.dll"})
        EXPECT_EQ(1u, Script(std::string("b:\\install.js ") + wrong)) << wrong;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "OrvexShellExtensions.COrvexDeleteFile"));
    for (const Tie &tie : kTies)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(tie))) << tie.handlers;

    // A path given explicitly is the one registered.
    ASSERT_EQ(0u, Script("b:\\install.js b:\\OrvexSE.dll"));
    EXPECT_EQ(GuidText(CLSID_CShelLinkHandler), Handler(kTies[2]));
    ASSERT_EQ(0u, Script("b:\\install.js /u b:\\OrvexSE.dll"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[2])));
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
        ASSERT_EQ(0u, Script(std::string("b:\\set-passes.js ") + count));
        EXPECT_EQ(strtoul(count, nullptr, 10), Slider()) << count;
    }
    EXPECT_EQ(0u, Script("b:\\set-passes.js")) << "showing the setting";
    for (const char *wrong : {"0", "33", "100", "-3", "abc", "5x", "7 8", "1e1"}) {
        EXPECT_EQ(1u, Script(std::string("b:\\set-passes.js ") + wrong)) << wrong;
        EXPECT_EQ(32u, Slider()) << "unchanged after " << wrong;
    }
}

} // namespace
