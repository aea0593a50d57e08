#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "EngineHarness.h"
#include "delete/FileNames.h"

namespace {

// The bytes the engine must draw: the low byte of one rand() per byte, from this seed on.
std::string RandStream(unsigned seed, size_t count)
{
    std::srand(seed);
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(std::rand());
    return bytes;
}

} // namespace

// Every pass writes a sweep of 0x00, one of 0xFF and one of rand() bytes, each in whole chunks of
// at most 51,200 bytes: 51,200 stays 51,200, 51,201 grows to 102,400.
TEST(OverwriteEngine, SweepsOfZerosOnesAndRandInWholeChunks)
{
    const struct
    {
        ULONGLONG length;
        UINT passes;
        DWORD writeSize;
        size_t writesPerSweep;
    } rows[] = {{1, 3, 1, 1}, {kChunk, 1, kChunk, 1}, {kChunk + 1, 2, kChunk, 2}};
    const std::string path = sandbox::FreshFolder("engine_sweeps") + "\\file.bin";
    for (const auto &row : rows) {
        SCOPED_TRACE(row.length);
        MakeFile(path, row.length);
        const size_t sweepBytes = row.writesPerSweep * row.writeSize;
        const std::string random = RandStream(4242, row.passes * sweepBytes);
        EngineHarness harness(row.passes);
        std::srand(4242);
        WriteFileSpy spy(harness);
        spy.OnWrite([&](size_t n) {
            if (n == row.writesPerSweep) {
                EXPECT_EQ(sweepBytes, FileLength(path)) << "the first sweep already writes whole chunks";
            }
        });

        EXPECT_EQ(S_OK, harness.Corrupt(path, row.passes));

        const std::vector<ObservedWrite> &writes = spy.Writes();
        ASSERT_EQ(row.passes * 3 * row.writesPerSweep, writes.size());
        for (size_t i = 0; i < writes.size(); ++i) {
            SCOPED_TRACE(i);
            const size_t sweep = i / row.writesPerSweep;
            EXPECT_EQ(row.writeSize, writes[i].size);
            EXPECT_EQ(i * row.writeSize, writes[i].barPos) << "the bar moves one step per chunk";
            if (sweep % 3 == 2) {
                const size_t drawn = sweep / 3 * sweepBytes + i % row.writesPerSweep * row.writeSize;
                EXPECT_EQ(static_cast<BYTE>(random[drawn]), writes[i].firstByte);
            } else {
                EXPECT_TRUE(writes[i].uniform);
                EXPECT_EQ(sweep % 3 ? 0xFF : 0x00, writes[i].firstByte);
            }
        }
        EXPECT_EQ(0u, harness.Bar().m_lower);
        EXPECT_EQ(row.passes * 3 * row.length, harness.Bar().m_upper);
        EXPECT_EQ(harness.Bar().m_upper, harness.Bar().m_pos) << "the position ends on the upper bound";
        EXPECT_EQ(row.writeSize, harness.Bar().m_step);
        EXPECT_EQ(random.substr(random.size() - sweepBytes), sandbox::ReadFileBytes(path))
            << "the last sweep leaves rand's bytes";
    }
}

TEST(OverwriteEngine, EmptyFileZeroPassesAndUnopenableFilesWriteNothing)
{
    const std::string folder = sandbox::FreshFolder("engine_nothing");
    sandbox::WriteFileBytes(folder + "\\empty.bin", "");
    for (const char *name : {"\\small.bin", "\\locked.bin", "\\reading.bin"})
        MakeFile(folder + name, 10);
    const CFileHandle lock(
        CreateFileA((folder + "\\locked.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const CFileHandle reader(CreateFileA((folder + "\\reading.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock && reader);
    EngineHarness harness(1);
    harness.Progress().SetStatusText("before");
    harness.Bar().m_upper = 77;
    harness.Bar().m_pos = 5;
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Corrupt(folder + "\\empty.bin", 1));
    EXPECT_EQ(HRESULT(0x80070020), harness.Corrupt(folder + "\\locked.bin", 1));
    EXPECT_EQ(HRESULT(0x80070020), harness.Corrupt(folder + "\\reading.bin", 1));
    EXPECT_EQ(HRESULT(0x80070002), harness.Corrupt(folder + "\\missing.bin", 1));
    EXPECT_EQ("before", harness.StatusText()) << "no label before the file is open and not empty";
    EXPECT_EQ(77u, harness.Bar().m_upper);
    EXPECT_EQ(5u, harness.Bar().m_pos);

    EXPECT_EQ(S_OK, harness.Corrupt(folder + "\\small.bin", 0));
    EXPECT_EQ("Corrupting file: small.bin", harness.StatusText());
    EXPECT_EQ(0u, harness.Bar().m_upper);
    EXPECT_EQ(0u, harness.Bar().m_pos);

    EXPECT_TRUE(spy.Writes().empty());
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(folder + "\\small.bin"));
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(folder + "\\reading.bin"));
}

TEST(OverwriteEngine, CancelClickedDuringTheSecondPassStopsTheWriting)
{
    const size_t chunks = 10;
    const std::string path = sandbox::FreshFolder("engine_cancel") + "\\big.bin";
    MakeFile(path, chunks * kChunk);
    EngineHarness harness(3);
    const size_t clickAt = 3 * chunks + 4; // the fourth chunk of the second pass's zero sweep
    WriteFileSpy spy(harness);
    spy.OnWrite([&](size_t n) {
        if (n == clickAt)
            harness.ClickCancel();
    });

    EXPECT_EQ(S_OK, harness.Corrupt(path, 3));

    EXPECT_TRUE(harness.Handler().m_bCancelled) << "the click reached the dialog through the engine's message step";
    const std::vector<ObservedWrite> &writes = spy.Writes();
    for (const ObservedWrite &write : writes)
        EXPECT_FALSE(write.cancelled) << "a chunk was written after the cancel";
    ASSERT_GE(writes.size(), clickAt);
    ASSERT_LT(writes.size(), 4 * chunks) << "the click should end the second pass's zero sweep";
    EXPECT_EQ(harness.Bar().m_upper, harness.Bar().m_pos);

    // What the second pass zeroed is zero; the rest still holds the first pass's random bytes.
    const size_t zeroed = (writes.size() - 3 * chunks) * kChunk;
    const std::string bytes = sandbox::ReadFileBytes(path);
    ASSERT_EQ(chunks * kChunk, bytes.size());
    EXPECT_EQ(std::string(zeroed, '\0'), bytes.substr(0, zeroed));
    EXPECT_NE(std::string(kChunk, '\0'), bytes.substr(zeroed, kChunk));
}

TEST(OverwriteEngine, FileBeyondFourGiBIsMeasuredInSixtyFourBits)
{
    const std::string path = sandbox::FreshFolder("engine_huge") + "\\huge.bin";
    const ULONGLONG length = (1ull << 32) + 1;
    {
        // Sparse: only the chunk written before the cancel takes room.
        const CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LONG high = static_cast<LONG>(length >> 32);
        SetFilePointer(file.Get(), static_cast<LONG>(length & 0xFFFFFFFFu), &high, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    EngineHarness harness(2);
    WriteFileSpy spy(harness);
    spy.OnWrite([&](size_t) { harness.ClickCancel(); });

    EXPECT_EQ(S_OK, harness.Corrupt(path, 2));

    EXPECT_EQ(2 * 3 * length, harness.Bar().m_upper);
    EXPECT_EQ(harness.Bar().m_upper, harness.Bar().m_pos);
    ASSERT_GE(spy.Writes().size(), 1u);
    EXPECT_EQ(kChunk, spy.Writes()[0].size) << "a chunk of 51,200, not of the length's low word";
    EXPECT_LT(spy.Writes().size(), 5u);
    EXPECT_EQ(length, FileLength(path));
    DeleteFileA(path.c_str());
}

TEST(OverwriteEngine, LabelShowsNamesUpToFiftyCharactersWholeAndShortensLongerOnes)
{
    const std::string folder = sandbox::FreshFolder("engine_label");
    const std::string fifty = std::string(46, 'f') + ".bin";
    const std::string sixty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ" + std::string(26, 'm') + "abcd.bin";
    EngineHarness harness(1);
    for (const std::string &name : {fifty, sixty})
        MakeFile(folder + "\\" + name, 3);

    harness.Corrupt(folder + "\\" + fifty, 1);
    EXPECT_EQ("Corrupting file: " + fifty, harness.StatusText());
    harness.Corrupt(folder + "\\" + sixty, 1);
    EXPECT_EQ("Corrupting file: " + sixty.substr(0, 25) + "......." + sixty.substr(37), harness.StatusText());

    // Under small limits the tail shrinks three at a time, to nothing but never below.
    for (const auto &[text, limit, expected] : {std::tuple("abcdefghijkl", 7, "abc.......ijkl"), {"abc", 0, "......."}}) {
        String shortened = text;
        EXPECT_EQ(S_OK, harness.Handler().ShortenForDisplay(shortened, limit));
        EXPECT_STREQ(expected, shortened.c_str());
    }
}

TEST(OverwriteEngine, FileNamePartTakesTheTextAfterTheLastRealBackslash)
{
    ASSERT_TRUE(IsValidCodePage(932));
    // In code page 932 "\x95\x5C" is one character whose trail byte is a backslash byte.
    const struct
    {
        const char *path;
        UINT codePage; // 0: the process's own
        const char *expected;
    } rows[] = {
        {"S:\\a\\b.txt", 0, "b.txt"},       {"S:\\a\\", 0, ""},
        {"plain", 0, "plain"},              {"S:\\...", 0, "..."},
        {"S:\\dir\\\x95\x5C.txt", 932, "\x95\x5C.txt"}, {"S:\\\x95\x5C", 932, "\x95\x5C"},
        {"S:\\\x95\x5C\\x.txt", 932, "x.txt"}, {"S:\\\x95\x5C.txt", 1252, ".txt"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path);
        const String part = row.codePage ? FileNamePartInCodePage(row.path, row.codePage) : FileNamePart(row.path);
        EXPECT_STREQ(row.expected, part.c_str());
    }
}
