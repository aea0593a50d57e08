#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "support/DialogAnswerer.h"
#include "support/TestSupport.h"

// Links of every kind lead outside what was selected: their targets must come out of a run
// byte for byte as they went in. The symbolic links are host links made by
// make-engine-links.sh before the run (Wine shows a folder link as a reparse point and a file
// link as a plain file); hard links are made here.

namespace {

const std::string kRoot = "S:\\engine_links";

struct TargetFile
{
    std::string path;
    std::string bytes;
};

const std::vector<TargetFile> &Targets()
{
    static const std::vector<TargetFile> targets = {
        {kRoot + "\\target\\keep.txt", "target bytes that must survive"},
        {kRoot + "\\target\\sub\\inner.txt", "deeper target bytes"},
        {kRoot + "\\target.txt", "a target file"},
    };
    return targets;
}

void ExpectTargetsIntact()
{
    for (const TargetFile &target : Targets())
        EXPECT_EQ(target.bytes, sandbox::ReadFileBytes(target.path)) << target.path;
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

    harness.Handler().DeletePath((kRoot + "\\victim").c_str(), harness.Progress());

    EXPECT_EQ(6u, spy.Writes().size()) << "only the two real files are overwritten";
    ExpectTargetsIntact();
    EXPECT_FALSE(sandbox::Exists(kRoot + "\\victim\\plain.txt"));
    EXPECT_FALSE(sandbox::Exists(kRoot + "\\victim\\inner\\file.txt"));
    // Wine would carry a deletion of a link out on its target: links stay, and so do their folders.
    for (const char *link : {"\\dirlink", "\\emptylink", "\\filelink.txt", "\\inner\\sublink"})
        EXPECT_TRUE(sandbox::Exists(kRoot + "\\victim" + link)) << link;
    EXPECT_EQ(std::vector<std::string>{"Unable to delete file " + kRoot + "\\victim\\filelink.txt"},
              answers.Texts());
    EXPECT_TRUE(IsWindowVisible(harness.Progress().m_hWnd));
}

TEST(LinkDeletion, SelectedLinksAreNeitherFollowedNorDeleted)
{
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);

    harness.Handler().DeletePath((kRoot + "\\selected_dirlink").c_str(), harness.Progress());
    harness.Handler().DeletePath((kRoot + "\\selected_filelink.txt").c_str(), harness.Progress());

    EXPECT_TRUE(spy.Writes().empty());
    ExpectTargetsIntact();
    EXPECT_TRUE(sandbox::Exists(kRoot + "\\selected_dirlink\\keep.txt"));
    EXPECT_EQ("a target file", sandbox::ReadFileBytes(kRoot + "\\selected_filelink.txt"));
    EXPECT_EQ(std::vector<std::string>{"Unable to delete file " + kRoot + "\\selected_filelink.txt"},
              answers.Texts());
}

TEST(LinkDeletion, EngineAndRemovalRefuseAFileLinkCalledDirectly)
{
    const String link = (kRoot + "\\selected_filelink.txt").c_str();
    EngineHarness harness(1);
    WriteFileSpy spy(harness);

    EXPECT_EQ(HRESULT(0x80070032), harness.Handler().CorruptFile(link, 1, harness.Progress()));
    EXPECT_EQ(E_FAIL, harness.Handler().RemoveFile(link));
    const DWORD normal = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(S_OK, harness.Handler().ResetAttributes(link, &normal));

    EXPECT_TRUE(spy.Writes().empty());
    ExpectTargetsIntact();
}

TEST(LinkDeletion, FileWithASecondHardLinkIsReportedAndLeftWhole)
{
    const std::string root = sandbox::FreshFolder("engine_hardlinks");
    ASSERT_TRUE(CreateDirectoryA((root + "\\outside").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\selected").c_str(), nullptr));
    const std::string original = root + "\\outside\\data.bin";
    const std::string alias = root + "\\selected\\alias.bin";
    MakeFile(original, 3000);
    MakeFile(root + "\\selected\\own.bin", 30);
    ASSERT_TRUE(CreateHardLinkA(alias.c_str(), original.c_str(), nullptr)) << GetLastError();
    EngineHarness harness(1);
    DialogAnswerer answers({IDOK});
    WriteFileSpy spy(harness);

    harness.Handler().DeletePath((root + "\\selected").c_str(), harness.Progress());

    EXPECT_EQ(std::vector<std::string>{"Unable to corrupt file alias.bin"}, answers.Texts());
    EXPECT_EQ(3u, spy.Writes().size()) << "only the file with one name is overwritten";
    EXPECT_EQ(PatternBytes(3000), sandbox::ReadFileBytes(original));
    EXPECT_EQ(PatternBytes(3000), sandbox::ReadFileBytes(alias));
    EXPECT_FALSE(sandbox::Exists(root + "\\selected\\own.bin"));
    EXPECT_TRUE(sandbox::Exists(root + "\\selected"));
}
