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

struct Tie
{
    const char *handlers; // the ContextMenuHandlers key under HKCR
    const CLSID *clsid;
};

const Tie kTies[] = {
    {"*\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile},
    {"Directory\\shellex\\ContextMenuHandlers", &CLSID_CCOrvexDeleteFile},
    {"lnkfile\\shellex\\ContextMenuHandlers", &CLSID_CShelLinkHandler},
    {"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shellex\\ContextMenuHandlers", &CLSID_COrvexRecycleCleaner},
};

struct Approval
{
    const CLSID *clsid;
    const char *name;
};

const Approval kApprovals[] = {
    {&CLSID_CCOrvexDeleteFile, "CCOrvexDeleteFile Object"},
    {&CLSID_CShelLinkHandler, "CShelLinkHandler Object"},
    {&CLSID_COrvexRecycleCleaner, "COrvexRecycleCleaner Object"},
};

std::string HandlerKey(const Tie &tie)
{
    return std::string(tie.handlers) + "\\OrvexSE";
}

DWORD Script(const std::string &arguments)
{
    const RunResult result = Run("cscript.exe //nologo " + arguments);
    EXPECT_TRUE(result.started) << arguments;
    EXPECT_FALSE(result.timedOut) << arguments;
    return result.exitCode;
}

bool Approved(const Approval &approval, std::string *data = nullptr)
{
    bool found = false;
    const std::string text = ReadString(HKEY_LOCAL_MACHINE, kApproved, GuidText(*approval.clsid), &found);
    if (data)
        *data = text;
    return found;
}

// Each test leaves the shell entries and the module unregistered, as it found them. The install
// leaves behind the empty container keys it had to create; the test removes those it made.
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
        for (size_t end = path.find('\\'); ; end = path.find('\\', end + 1)) {
            const std::string key = path.substr(0, end);
            if (!KeyExists(root, key))
                madeByTest.emplace_back(root, key);
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
    HKEY approvedKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kApproved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &approvedKey, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(approvedKey, kNeighbourClsid, 0, REG_SZ,
                                            reinterpret_cast<const BYTE *>("Neighbour"), 10));

    ASSERT_EQ(0u, Script("b:\\install.js"));
    ASSERT_EQ(0u, Script("b:\\install.js")) << "installing again changes nothing";
    EXPECT_TRUE(lstrcmpiA("b:\\OrvexSE.dll",
                          ReadString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_CCOrvexDeleteFile) + "\\InprocServer32",
                                     "").c_str()) == 0)
        << "the module beside the script is registered";
    for (const Tie &tie : kTies)
        EXPECT_EQ(GuidText(*tie.clsid), ReadString(HKEY_CLASSES_ROOT, HandlerKey(tie), "")) << tie.handlers;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Drive\\shellex\\ContextMenuHandlers\\OrvexSE"))
        << "whole drives are never offered";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\OrvexSE"))
        << "virtual folders are never offered";
    for (const Approval &approval : kApprovals) {
        std::string data;
        EXPECT_TRUE(Approved(approval, &data)) << approval.name;
        EXPECT_EQ(approval.name, data);
    }

    // A handler key that meanwhile names another class is no longer ours to remove.
    const std::string replaced = HandlerKey(kTies[1]);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, replaced.c_str(), REG_SZ, kNeighbourClsid, 0));

    ASSERT_EQ(0u, Script("b:\\install.js /u"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[0])));
    EXPECT_EQ(kNeighbourClsid, ReadString(HKEY_CLASSES_ROOT, replaced, ""));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[2])));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[3])));
    for (const Approval &approval : kApprovals)
        EXPECT_FALSE(Approved(approval)) << approval.name;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "OrvexShellExtensions.COrvexDeleteFile")) << "module unregistered";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_COrvexRecycleCleaner)));
    EXPECT_EQ(kNeighbourClsid, ReadString(HKEY_CLASSES_ROOT, neighbour, ""));
    bool found = false;
    EXPECT_EQ("Neighbour", ReadString(HKEY_LOCAL_MACHINE, kApproved, kNeighbourClsid, &found));

    SHDeleteKeyA(HKEY_CLASSES_ROOT, replaced.c_str());
    SHDeleteKeyA(HKEY_CLASSES_ROOT, neighbour.c_str());
    RegDeleteValueA(approvedKey, kNeighbourClsid);
    RegCloseKey(approvedKey);
}

TEST_F(InstallScriptTest, RefusesWrongUseAndWritesNothing)
{
    EXPECT_EQ(1u, Script("b:\\install.js S:\\no-such-folder\\OrvexSE.dll"));
    EXPECT_EQ(1u, Script("b:\\install.js /x"));
    EXPECT_EQ(1u, Script("b:\\install.js b:\\OrvexSE.dll b:\\OrvexSE.dll"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "OrvexShellExtensions.COrvexDeleteFile"));
    for (const Tie &tie : kTies)
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(tie))) << tie.handlers;

    // A path given explicitly is the one registered.
    ASSERT_EQ(0u, Script("b:\\install.js b:\\OrvexSE.dll"));
    EXPECT_EQ(GuidText(CLSID_CShelLinkHandler), ReadString(HKEY_CLASSES_ROOT, HandlerKey(kTies[2]), ""));
    ASSERT_EQ(0u, Script("b:\\install.js /u b:\\OrvexSE.dll"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, HandlerKey(kTies[2])));
}

// The pass count lives in the current user's settings key; the test puts back what was there.
class SetPassesTest : public ::testing::Test
{
protected:
    static constexpr const char *kChain[] = {"Software\\Kessane", "Software\\Kessane\\Talmior 2004",
                                             "Software\\Kessane\\Talmior 2004\\Secure"};
    static constexpr const char *kSecure = "Software\\Kessane\\Talmior 2004\\Secure";

    void SetUp() override
    {
        for (const char *key : kChain)
            existed.push_back(KeyExists(HKEY_CURRENT_USER, key));
        DWORD size = sizeof(saved);
        hadValue = SHGetValueA(HKEY_CURRENT_USER, kSecure, "Slider", &savedType, &saved, &size) == ERROR_SUCCESS;
    }

    void TearDown() override
    {
        if (hadValue)
            SHSetValueA(HKEY_CURRENT_USER, kSecure, "Slider", savedType, &saved, sizeof(saved));
        else
            SHDeleteValueA(HKEY_CURRENT_USER, kSecure, "Slider");
        for (int i = 2; i >= 0; --i) {
            if (!existed[i])
                RegDeleteKeyA(HKEY_CURRENT_USER, kChain[i]);
        }
    }

    static bool Slider(DWORD &value)
    {
        DWORD type = 0;
        DWORD size = sizeof(value);
        return SHGetValueA(HKEY_CURRENT_USER, kSecure, "Slider", &type, &value, &size) == ERROR_SUCCESS &&
               type == REG_DWORD && size == sizeof(DWORD);
    }

    std::vector<bool> existed;
    bool hadValue = false;
    DWORD savedType = 0;
    DWORD saved = 0;
};

TEST_F(SetPassesTest, WritesADwordFromOneToThirtyTwo)
{
    DWORD value = 0;
    ASSERT_EQ(0u, Script("b:\\set-passes.js 7"));
    ASSERT_TRUE(Slider(value)) << "REG_DWORD";
    EXPECT_EQ(7u, value);
    ASSERT_EQ(0u, Script("b:\\set-passes.js 1"));
    ASSERT_TRUE(Slider(value));
    EXPECT_EQ(1u, value);
    ASSERT_EQ(0u, Script("b:\\set-passes.js 32"));
    ASSERT_TRUE(Slider(value));
    EXPECT_EQ(32u, value);
    EXPECT_EQ(0u, Script("b:\\set-passes.js")) << "showing the setting";

    for (const char *wrong : {"0", "33", "100", "-3", "abc", "5x", "7 8", "1e1"}) {
        EXPECT_EQ(1u, Script(std::string("b:\\set-passes.js ") + wrong)) << wrong;
        ASSERT_TRUE(Slider(value));
        EXPECT_EQ(32u, value) << "unchanged after " << wrong;
    }
}

// An automation client reaches the Recycle Bin cleaner through its ProgIDs and IDispatch.
TEST_F(InstallScriptTest, ScriptCreatesTheRecycleCleanerAndCallsInit)
{
    // Init empties every fixed drive's bin: outside the sandbox drives there must be none.
    char drives[MAX_PATH] = {};
    ASSERT_NE(0u, GetLogicalDriveStringsA(sizeof(drives), drives));
    for (const char *root = drives; *root; root += strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_FIXED || *root == 'S' || *root == 's' || *root == 'T' || *root == 't')
            continue;
        for (const char *bin : {"recycler", "recycled"})
            ASSERT_FALSE(PathFileExistsA((std::string(root) + bin).c_str())) << root << bin << ": refusing to run";
    }

    // A bin on the sandbox drive, with one user's folder: its content goes, the bin's own
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

} // namespace
