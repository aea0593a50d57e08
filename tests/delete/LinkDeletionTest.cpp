#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineHarness.h"
#include "support/DialogAnswerer.h"

// Links of every kind lead outside what was selected: their targets must come out of a run byte
// for byte as they went in. The symbolic links are host links made by make-engine-links.sh (Wine
// shows a folder link as a reparse point and a file link as a plain file); hard links are made here.

namespace {

const std::string kRoot = "S:\\engine_links";

void ExpectTargetsIntact()
{
    EXPECT_EQ("target bytes that must survive", sandbox::ReadFileBytes(kRoot + "\\target\\keep.txt"));
    EXPECT_EQ("deeper target bytes", sandbox::ReadFileBytes(kRoot + "\\target\\sub\\inner.txt"));
    EXPECT_EQ("a target file", sandbox::ReadFileBytes(kRoot + "\\target.txt"));
    EXPECT_TRUE(GetFileAttributesA((kRoot + "\\target.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(sandbox::Exists(kRoot + "\\target\\emptydir"));
}

} // namespace

TEST(LinkDeletion, LinksInsideASelectedFolderStayAndTheirTargetsAreUntouched)
{
    ASSERT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
              GetFileAttributesA((kRoot + "\\victim\\dirlink").c_str()))
        << "the host links are missing: run through ctest, which makes them first";
    ExpectTargetsIntact();
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);

    harness.Delete(kRoot + "\\victim");

    EXPECT_EQ(6u, spy.Writes().size()) << "only the two real files are overwritten";
    ExpectTargetsIntact();
    EXPECT_FALSE(sandbox::Exists(kRoot + "\\victim\\plain.txt"));
    EXPECT_FALSE(sandbox::Exists(kRoot + "\\victim\\inner\\file.txt"));
    // Wine would carry a deletion of a link out on its target: links stay, and so do their folders.
    for (const char *link : {"\\dirlink", "\\emptylink", "\\filelink.txt", "\\inner\\sublink"})
        EXPECT_TRUE(sandbox::Exists(kRoot + "\\victim" + link)) << link;
    EXPECT_EQ(std::vector<std::string>{"Unable to delete file " + kRoot + "\\victim\\filelink.txt"}, answers.Texts());
    EXPECT_TRUE(harness.ProgressVisible());
}

TEST(LinkDeletion, SelectedLinksAreNeitherFollowedNorDeleted)
{
    const std::string fileLink = kRoot + "\\selected_filelink.txt";
    // Beside their target, links whose names only look like its name: one named with a fullwidth
    // "t" is reached by its short name and reads "target.txt" in best fit, the other holds a soft
    // hyphen. Links all the same.
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_TRUE(GetShortPathNameW((sandbox::Wide(kRoot) + L"\\\xFF54" L"arget.txt").c_str(), shortForm, MAX_PATH));
    const std::string lookalikeLinks[] = {sandbox::Narrow(shortForm), kRoot + "\\tar\xADget.txt"};
    EngineHarness harness(1);
    WriteFileSpy spy(harness);
    {
        DialogAnswerer answers({IDOK, IDOK, IDOK});
        harness.Delete(kRoot + "\\selected_dirlink");
        std::vector<std::string> expected;
        for (const std::string &link : {fileLink, lookalikeLinks[0], lookalikeLinks[1]}) {
            harness.Delete(link);
            expected.push_back("Unable to delete file " + link);
        }
        EXPECT_EQ(expected, answers.Texts());
    }
    // Called directly, the engine and the removal refuse a file link too.
    EXPECT_EQ(HRESULT(0x80070032), harness.Corrupt(fileLink, 1));
    EXPECT_EQ(E_FAIL, harness.Handler().RemoveFile(fileLink.c_str()));
    const DWORD normal = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(S_OK, harness.Handler().ResetAttributes(fileLink.c_str(), &normal));

    EXPECT_TRUE(spy.Writes().empty());
    ExpectTargetsIntact();
    EXPECT_TRUE(sandbox::Exists(kRoot + "\\selected_dirlink\\keep.txt"));
    EXPECT_EQ("a target file", sandbox::ReadFileBytes(fileLink));
}

TEST(LinkDeletion, FileWithASecondHardLinkIsReportedAndLeftWhole)
{
    const std::string root = sandbox::FreshFolder("engine_hardlinks");
    ASSERT_TRUE(CreateDirectoryA((root + "\\outside").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\selected").c_str(), nullptr));
    const std::string original = root + "\\outside\\data.bin", alias = root + "\\selected\\alias.bin";
    MakeFile(original, 3000);
    MakeFile(root + "\\selected\\own.bin", 30);
    ASSERT_TRUE(CreateHardLinkA(alias.c_str(), original.c_str(), nullptr)) << GetLastError();
    // Set under the name outside; attributes belong to the file, so the selected name has them too.
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    ASSERT_TRUE(SetFileAttributesA(original.c_str(), attributes));
    ASSERT_EQ(attributes, GetFileAttributesA(alias.c_str()) & attributes);
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);

    harness.Delete(root + "\\selected");

    EXPECT_EQ(std::vector<std::string>{"Unable to corrupt file alias.bin"}, answers.Texts());
    EXPECT_EQ(3u, spy.Writes().size()) << "only the file with one name is overwritten";
    EXPECT_EQ(PatternBytes(3000), sandbox::ReadFileBytes(original));
    EXPECT_EQ(PatternBytes(3000), sandbox::ReadFileBytes(alias));
    EXPECT_EQ(attributes, GetFileAttributesA(original.c_str()) & attributes) << "a refused file is left as it was";
    EXPECT_FALSE(sandbox::Exists(root + "\\selected\\own.bin"));
    EXPECT_TRUE(sandbox::Exists(root + "\\selected"));
}

namespace {

// Turns the selected file into a second name of a file outside, right after the deletion step
// has looked at it (at its attribute reset), as another program could.
struct LinkedAfterTheLook
{
    using SetAttributesFunction = BOOL(WINAPI *)(LPCSTR, DWORD);

    static BOOL WINAPI Hook(LPCSTR path, DWORD attributes)
    {
        const BOOL ok = hook->Original<SetAttributesFunction>()(path, attributes);
        if (selected == path) {
            selected.clear();
            DeleteFileA(path);
            EXPECT_TRUE(CreateHardLinkA(path, outside.c_str(), nullptr)) << GetLastError();
        }
        return ok;
    }

    static std::string selected, outside;
    static CImportHook *hook;
};
std::string LinkedAfterTheLook::selected, LinkedAfterTheLook::outside;
CImportHook *LinkedAfterTheLook::hook = nullptr;

} // namespace

TEST(LinkDeletion, AFileThatGainsASecondNameAfterItsCheckIsNotWritten)
{
    const std::string root = sandbox::FreshFolder("engine_latelink");
    const std::string outside = root + "\\outside.bin", selected = root + "\\selected.bin";
    MakeFile(outside, 3000);
    MakeFile(selected, 30);
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);
    LinkedAfterTheLook::selected = selected;
    LinkedAfterTheLook::outside = outside;
    CImportHook hook("kernel32.dll", "SetFileAttributesA", reinterpret_cast<void *>(&LinkedAfterTheLook::Hook));
    LinkedAfterTheLook::hook = &hook;

    harness.Delete(selected);

    EXPECT_TRUE(LinkedAfterTheLook::selected.empty()) << "the attributes were not reset";
    EXPECT_TRUE(spy.Writes().empty());
    EXPECT_EQ(PatternBytes(3000), sandbox::ReadFileBytes(outside));
    EXPECT_EQ(std::vector<std::string>{"Unable to corrupt file selected.bin"}, answers.Texts());
    LinkedAfterTheLook::hook = nullptr;
}

// In a double-byte code page a folder name may end in a character whose second byte is 0x5C, the
// byte of the backslash: cp932 has "\x95\x5C" and "\x83\x5C". The files in such folders are
// no links. Runs as deletion_tests_cp932, under a Japanese locale.
TEST(LinkDeletion, FoldersEndingInADoubleByteCharacterWithTrailByte5CAreNoLinks)
{
    const char *codePage = std::getenv("ORVEX_CODE_PAGE");
    if (!codePage)
        GTEST_SKIP() << "needs a double-byte code page: see deletion_tests_cp932";
    ASSERT_EQ(static_cast<UINT>(std::atoi(codePage)), GetACP()) << "the locale did not bring its code page";
    const std::string root = sandbox::FreshFolder("engine_dbcs");
    // The paths go through ".": a path that resolves to itself word for word needs no look at its
    // folder, these have the check compare the folder's resolved path with the file's.
    const std::string folders[] = {root + "\\.\\\x95\x5C", root + "\\.\\x\x83\x5C"};
    for (const std::string &folder : folders) {
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << GetLastError();
        MakeFile(folder + "\\inside.txt", 100);
    }
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);

    harness.Delete(folders[0] + "\\inside.txt");
    harness.Delete(folders[1]);

    EXPECT_TRUE(answers.Texts().empty()) << answers.Texts().front();
    EXPECT_EQ(6u, spy.Writes().size());
    EXPECT_FALSE(sandbox::Exists(folders[0] + "\\inside.txt"));
    EXPECT_FALSE(sandbox::Exists(folders[1]));
}
