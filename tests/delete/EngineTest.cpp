#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineHarness.h"
#include "delete/FileNames.h"
#include "support/TestSupport.h"

namespace {

const DWORD kChunk = 51200;

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

TEST(OverwriteEngine, OneByteFileGetsNineWritesInPatternOrderWithRandPerByte)
{
    const std::string path = sandbox::FreshFolder("engine_onebyte") + "\\one.bin";
    MakeFile(path, 1);
    EngineHarness harness(3);
    const std::string expectedRandom = RandStream(4242, 3);
    std::srand(4242);
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(path.c_str(), 3, harness.Progress()));

    const std::vector<ObservedWrite> &writes = spy.Writes();
    ASSERT_EQ(9u, writes.size());
    for (size_t i = 0; i < writes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(1u, writes[i].size);
        EXPECT_EQ(i, writes[i].barPos) << "the bar moves one step per chunk";
        switch (i % 3) {
        case 0: EXPECT_EQ(0x00, writes[i].firstByte); break;
        case 1: EXPECT_EQ(0xFF, writes[i].firstByte); break;
        default: EXPECT_EQ(static_cast<BYTE>(expectedRandom[i / 3]), writes[i].firstByte); break;
        }
    }
    EXPECT_EQ(0u, harness.Bar().m_lower);
    EXPECT_EQ(9u, harness.Bar().m_upper);
    EXPECT_EQ(9u, harness.Bar().m_pos);
    EXPECT_EQ(1u, harness.Bar().m_step);
    EXPECT_EQ(std::string(1, expectedRandom[2]), sandbox::ReadFileBytes(path));
}

TEST(OverwriteEngine, ChunkSizedFileIsWrittenExactlyAndKeepsItsLength)
{
    const std::string path = sandbox::FreshFolder("engine_exact") + "\\exact.bin";
    MakeFile(path, kChunk);
    EngineHarness harness(1);
    std::srand(99);
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(path.c_str(), 1, harness.Progress()));

    ASSERT_EQ(3u, spy.Writes().size());
    EXPECT_TRUE(spy.Writes()[0].uniform && spy.Writes()[0].firstByte == 0x00);
    EXPECT_TRUE(spy.Writes()[1].uniform && spy.Writes()[1].firstByte == 0xFF);
    EXPECT_EQ(kChunk, FileLength(path));
    EXPECT_EQ(RandStream(99, kChunk), sandbox::ReadFileBytes(path)) << "the last sub-pass leaves rand's bytes";
    EXPECT_EQ(3ull * kChunk, harness.Bar().m_upper);
    EXPECT_EQ(harness.Bar().m_upper, harness.Bar().m_pos);
}

TEST(OverwriteEngine, LongerFileGrowsToWholeChunks)
{
    const std::string path = sandbox::FreshFolder("engine_grow") + "\\grow.bin";
    MakeFile(path, kChunk + 1);
    EngineHarness harness(2);
    std::srand(5);
    WriteFileSpy spy(harness);
    spy.OnWrite([&](size_t n) {
        if (n == 2) {
            EXPECT_EQ(2ull * kChunk, FileLength(path)) << "the first sub-pass already writes two whole chunks";
        }
    });

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(path.c_str(), 2, harness.Progress()));

    ASSERT_EQ(12u, spy.Writes().size());
    for (size_t i = 0; i < spy.Writes().size(); ++i) {
        EXPECT_EQ(kChunk, spy.Writes()[i].size) << i;
        EXPECT_EQ(i * kChunk, spy.Writes()[i].barPos) << i;
    }
    EXPECT_EQ(2ull * kChunk, FileLength(path));
    EXPECT_EQ(2ull * 3 * (kChunk + 1), harness.Bar().m_upper);
    EXPECT_EQ(harness.Bar().m_upper, harness.Bar().m_pos) << "the position ends on the upper bound, not on 12 steps";
    EXPECT_EQ(kChunk, harness.Bar().m_step);
    // The second pass's random sub-pass drew rand after the first pass's 2 chunks.
    EXPECT_EQ(RandStream(5, 4 * kChunk).substr(2 * kChunk), sandbox::ReadFileBytes(path));
}

TEST(OverwriteEngine, EmptyFileAndZeroPassesWriteNothing)
{
    const std::string folder = sandbox::FreshFolder("engine_nothing");
    const std::string empty = folder + "\\empty.bin";
    const std::string small = folder + "\\small.bin";
    sandbox::WriteFileBytes(empty, "");
    MakeFile(small, 10);
    EngineHarness harness(1);
    harness.Progress().SetStatusText("before");
    harness.Bar().m_upper = 77;
    harness.Bar().m_pos = 5;
    WriteFileSpy spy(harness);

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(empty.c_str(), 1, harness.Progress()));
    EXPECT_EQ("before", harness.StatusText()) << "an empty file leaves the label alone";
    EXPECT_EQ(77u, harness.Bar().m_upper);
    EXPECT_EQ(5u, harness.Bar().m_pos);

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(small.c_str(), 0, harness.Progress()));
    EXPECT_EQ("Corrupting file: small.bin", harness.StatusText());
    EXPECT_EQ(0u, harness.Bar().m_upper);
    EXPECT_EQ(0u, harness.Bar().m_pos);

    EXPECT_TRUE(spy.Writes().empty());
    EXPECT_EQ(PatternBytes(10), sandbox::ReadFileBytes(small));
}

TEST(OverwriteEngine, FilesThatCannotBeOpenedGiveTheOpenErrorAndStayUntouched)
{
    const std::string folder = sandbox::FreshFolder("engine_refused");
    const std::string locked = folder + "\\locked.bin";
    const std::string reading = folder + "\\reading.bin";
    MakeFile(locked, 100);
    MakeFile(reading, 100);
    const CFileHandle lock(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const CFileHandle reader(
        CreateFileA(reading.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock && reader);
    EngineHarness harness(1);
    harness.Progress().SetStatusText("before");
    WriteFileSpy spy(harness);
    COrvexDeleteFile &engine = harness.Handler();

    EXPECT_EQ(HRESULT(0x80070020), engine.CorruptFile(locked.c_str(), 1, harness.Progress()));
    EXPECT_EQ(HRESULT(0x80070020), engine.CorruptFile(reading.c_str(), 1, harness.Progress()));
    EXPECT_EQ(HRESULT(0x80070002), engine.CorruptFile((folder + "\\missing.bin").c_str(), 1, harness.Progress()));

    EXPECT_TRUE(spy.Writes().empty());
    EXPECT_EQ("before", harness.StatusText());
    EXPECT_EQ(PatternBytes(100), sandbox::ReadFileBytes(reading));
}

TEST(OverwriteEngine, CancelClickedDuringTheSecondPassStopsTheWriting)
{
    const size_t chunks = 10;
    const std::string path = sandbox::FreshFolder("engine_cancel") + "\\big.bin";
    MakeFile(path, chunks * kChunk);
    EngineHarness harness(3);
    HWND cancelButton = GetDlgItem(harness.Progress().m_hWnd, IDCANCEL);
    ASSERT_TRUE(cancelButton != nullptr);
    const size_t clickAt = 3 * chunks + 4; // the fourth chunk of the second pass's zero sweep
    WriteFileSpy spy(harness);
    spy.OnWrite([&](size_t n) {
        if (n == clickAt)
            PostMessageA(cancelButton, BM_CLICK, 0, 0);
    });

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(path.c_str(), 3, harness.Progress()));

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
        // Sparse: only the chunk the engine writes before the cancel takes room.
        const CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        LONG high = static_cast<LONG>(length >> 32);
        SetFilePointer(file.Get(), static_cast<LONG>(length & 0xFFFFFFFFu), &high, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    ASSERT_EQ(length, FileLength(path));
    EngineHarness harness(2);
    HWND cancelButton = GetDlgItem(harness.Progress().m_hWnd, IDCANCEL);
    WriteFileSpy spy(harness);
    spy.OnWrite([&](size_t) { PostMessageA(cancelButton, BM_CLICK, 0, 0); });

    EXPECT_EQ(S_OK, harness.Handler().CorruptFile(path.c_str(), 2, harness.Progress()));

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
    ASSERT_EQ(50u, fifty.size());
    ASSERT_EQ(60u, sixty.size());
    MakeFile(folder + "\\" + fifty, 3);
    MakeFile(folder + "\\" + sixty, 3);
    EngineHarness harness(1);

    harness.Handler().CorruptFile((folder + "\\" + fifty).c_str(), 1, harness.Progress());
    EXPECT_EQ("Corrupting file: " + fifty, harness.StatusText());

    harness.Handler().CorruptFile((folder + "\\" + sixty).c_str(), 1, harness.Progress());
    EXPECT_EQ("Corrupting file: " + sixty.substr(0, 25) + "......." + sixty.substr(37), harness.StatusText());
}

TEST(OverwriteEngine, ShortenForDisplayKeepsHeadAndTailAroundSevenDots)
{
    EngineHarness harness(1);
    COrvexDeleteFile &engine = harness.Handler();
    String text = "0123456789012345678901234567890123456789012345678901";
    EXPECT_EQ(S_OK, engine.ShortenForDisplay(text, 50));
    EXPECT_STREQ("0123456789012345678901234.......90123456789012345678901", text.c_str());

    String exact = text;
    EXPECT_EQ(S_OK, engine.ShortenForDisplay(exact, 55));
    EXPECT_STREQ(text.c_str(), exact.c_str()) << "a text as long as the limit stays";

    String small = "abcdefghijkl";
    engine.ShortenForDisplay(small, 7);
    EXPECT_STREQ("abc.......ijkl", small.c_str());
    String none = "abc";
    engine.ShortenForDisplay(none, 0);
    EXPECT_STREQ(".......", none.c_str()) << "the tail shrinks to nothing, never below";
}

TEST(OverwriteEngine, FileNamePartTakesTheTextAfterTheLastRealBackslash)
{
    EXPECT_STREQ("b.txt", FileNamePart("S:\\a\\b.txt").c_str());
    EXPECT_STREQ("", FileNamePart("S:\\a\\").c_str());
    EXPECT_STREQ("plain", FileNamePart("plain").c_str());
    EXPECT_STREQ("...", FileNamePart("S:\\...").c_str());
    // In code page 932 "\x95\x5C" is one character whose trail byte is a backslash byte.
    ASSERT_TRUE(IsValidCodePage(932));
    EXPECT_STREQ("\x95\x5C.txt", FileNamePartInCodePage("S:\\dir\\\x95\x5C.txt", 932).c_str());
    EXPECT_STREQ("\x95\x5C", FileNamePartInCodePage("S:\\\x95\x5C", 932).c_str());
    EXPECT_STREQ("x.txt", FileNamePartInCodePage("S:\\\x95\x5C\\x.txt", 932).c_str());
    EXPECT_STREQ(".txt", FileNamePartInCodePage("S:\\\x95\x5C.txt", 1252).c_str()) << "a single-byte page splits there";
}
