#include "RegistrationSupport.h"
#include "module/Registrar.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace registration;

namespace {

// The script language is tried on a key of the test's own under HKCU.
const char kTestRoot[] = "Software\\OrvexSE Registrar Tests";

const char kTreeScript[] = R"(HKCU { NoRemove Software { NoRemove 'OrvexSE Registrar Tests' {
    Item = s '%Name%' { Sub = s 'it''s %Name%, 100%%' val Named = s '%Empty%' }
    ForceRemove Forced = s 'rebuilt' { Leaf }
    NoRemove Kept { Inner = s 'x' }
} } })";

class RegistrarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
        registrar.AddReplacement("Name", "first");
        registrar.AddReplacement("Empty", "");
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot); }

    static std::set<std::string> Tree() { return RegistryTree(HKEY_CURRENT_USER, kTestRoot); }
    // A key the script does not write, with a default value.
    static bool Plant(const std::string &key)
    {
        const std::string path = std::string(kTestRoot) + "\\" + key;
        return RegSetValueA(HKEY_CURRENT_USER, path.c_str(), REG_SZ, "planted", 7) == ERROR_SUCCESS;
    }

    CRegistrar registrar;
};

// Replacement names match without regard to case; an empty replacement still makes the value;
// a key without "= s" has no default value.
TEST_F(RegistrarTest, RegisterWritesKeysValuesReplacementsAndRebuildsForceRemoveKeys)
{
    registrar.AddReplacement("name", "second");
    ASSERT_EQ(S_OK, registrar.Register(kTreeScript));
    std::set<std::string> expected = {"Item\\", "Item\\=second", "Item\\Named=", "Item\\Sub\\",
                                      "Item\\Sub\\=it's second, 100%", "Forced\\", "Forced\\=rebuilt",
                                      "Forced\\Leaf\\", "Kept\\", "Kept\\Inner\\", "Kept\\Inner\\=x"};
    EXPECT_EQ(expected, Tree());

    // A ForceRemove key is rebuilt from scratch, a plain key only opened.
    ASSERT_TRUE(Plant("Forced\\Stray"));
    ASSERT_TRUE(Plant("Item\\Stray"));
    ASSERT_EQ(S_OK, registrar.Register(kTreeScript));
    expected.insert({"Item\\Stray\\", "Item\\Stray\\=planted"});
    EXPECT_EQ(expected, Tree());
}

// Subtrees go, NoRemove keys stay (their own subkeys do not), keys the script does not name stay.
TEST_F(RegistrarTest, UnregisterDeletesSubtreesButKeepsNoRemoveKeys)
{
    ASSERT_EQ(S_OK, registrar.Register(kTreeScript));
    ASSERT_TRUE(Plant("Item\\Sub\\Deeper"));
    ASSERT_TRUE(Plant("Neighbour"));
    ASSERT_EQ(S_OK, registrar.Unregister(kTreeScript));
    EXPECT_EQ((std::set<std::string>{"Kept\\", "Neighbour\\", "Neighbour\\=planted"}), Tree());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(S_OK, registrar.Unregister(kTreeScript)) << "a second run skips the missing keys";
}

TEST_F(RegistrarTest, FaultyScriptsWriteNothing)
{
    registrar.AddReplacement("Slash", "a\\b");
    const char *faulty[] = {
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = s 'x' }",                  // a block left open
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = s '%Missing%' } } }",      // unknown replacement
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = s '%open' } } }",          // unclosed replacement
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = s 'x } } }",               // unclosed quote
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = d '1' } } }",              // only strings
        "HKCU { Software { 'OrvexSE Registrar Tests' { A { } '%Empty%' = s 'x' } } }", // empty name: the parent
        "HKCU { Software { 'OrvexSE Registrar Tests' { A { } '%Slash%' } } }",         // a path, not a name
        "HKCU { val Top = s 'x' Software }",                                           // no values on a root
        "HKXX { Software }",                                                           // unknown root
        "HKCU { Software { 'OrvexSE Registrar Tests' { A = s 'x' } } } }",             // stray brace
    };
    for (const char *script : faulty) {
        EXPECT_EQ(E_FAIL, registrar.Register(script)) << script;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestRoot)) << script;
        EXPECT_EQ(E_FAIL, registrar.Unregister(script)) << script;
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software")) << "an empty key name must never reach the registry";
    EXPECT_EQ(E_POINTER, registrar.Register(nullptr));
}

TEST_F(RegistrarTest, RegistryAndModuleErrorsBecomeResults)
{
    // The registry refuses key names longer than 255 characters.
    const std::string script = "HKCU { Software { 'OrvexSE Registrar Tests' { '" + std::string(300, 'k') + "' } } }";
    const HRESULT hr = registrar.Register(script.c_str());
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(FACILITY_WIN32, HRESULT_FACILITY(hr)) << std::hex << hr;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kTestRoot)) << "keys written before the failure stay";

    char path[MAX_PATH];
    const HMODULE noModule = reinterpret_cast<HMODULE>(0x10000);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), CRegistrar::ModuleFileName(noModule, path));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), registrar.AddModuleReplacements(noModule, GUID_NULL));
}

// A program's path is quoted, a library's is not.
TEST_F(RegistrarTest, ModuleReplacementsOfAProgramAndOfTheLibrary)
{
    const char script[] = "HKCU { Software { 'OrvexSE Registrar Tests' { Values {"
                          " val Module = s '%MODULE%' val Raw = s '%Module_Raw%' val Type = s '%MODULETYPE%'"
                          " val Guid = s '%MODULEGUID%' val AppId = s '%APPID%' } } } }";
    const GUID libId = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    char programPath[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, programPath, MAX_PATH));
    HMODULE library = LoadLibraryA("b:\\OrvexSE.dll");
    ASSERT_NE(nullptr, library);
    const struct { HMODULE module; std::string path, quoted, type; } rows[] = {
        {GetModuleHandleA(nullptr), programPath, std::string("\"") + programPath + "\"", "LocalServer32"},
        {library, "b:\\OrvexSE.dll", "b:\\OrvexSE.dll", "InprocServer32"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path);
        CRegistrar fresh;
        ASSERT_EQ(S_OK, fresh.AddModuleReplacements(row.module, libId));
        ASSERT_EQ(S_OK, fresh.Register(script));
        EXPECT_EQ((std::set<std::string>{"Values\\", "Values\\Module=" + row.quoted, "Values\\Raw=" + row.path,
                                         "Values\\Type=" + row.type, "Values\\AppId=",
                                         "Values\\Guid={01234567-89AB-CDEF-0123-456789ABCDEF}"}),
                  Tree());
    }
    FreeLibrary(library);
}

} // namespace
