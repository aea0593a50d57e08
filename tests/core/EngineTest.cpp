// The overwrite before every deletion, watched write by write, and the setting it follows.
#include "support/TestSupport.h"
#include "delete/COrvexDeleteFile.h"

#include <algorithm>
#include <iterator>

using Handler = CComPtr<COrvexDeleteFile>;

// Each pass writes the file three times from its first byte, with 0x00, with 0xFF and with rand()
// bytes, in whole chunks of at most 51,200 bytes (51,201 bytes take two, the second whole too),
// each sweep flushed to the disk after its last chunk; then the file goes. A file whose write or
// flush fails is reported and kept, and the run goes on. The label names the file, up to 50
// characters whole. The pass count is the "Slider" value: any value but a DWORD from 1 to 32 means one pass.
// The bar runs from 0 to passes x length x 3 in steps of a chunk, one step per chunk written: for a
// length of whole chunks it is full with the last write of the last sweep and not before; it starts
// at 0 for the next file.
TEST(OverwriteEngine, EveryPassWritesZerosOnesAndRandomBytesFromTheStartInWholeChunksEachSweepFlushed)
{
    const std::wstring folder = sandbox::FreshFolder(L"engine");
    const std::wstring fifty(46, L'f'), sixty = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ" + std::wstring(26, L'm') + L"abcd";
    // setting: the value's type, its number and its size (0: no value; '5' in 2 bytes: the text "5");
    // label: after "Corrupting file: "; fails: the call that fails on the file.
    const struct { std::wstring name; ULONGLONG length; DWORD type, value, size, passes, chunk; const char *label, *fails = ""; } rows[] = {
        {L"one.bin", 1, REG_DWORD, 3, 4, 3, 1, "one.bin"},
        {fifty + L".bin", 51200, REG_DWORD, 1, 4, 1, 51200, "ffffffffffffffffffffffffffffffffffffffffffffff.bin"},
        {sixty + L".bin", 51201, REG_DWORD, 2, 4, 2, 51200, "ABCDEFGHIJKLMNOPQRSTUVWXY.......mmmmmmmmmmmmmmmabcd.bin"},
        {L"empty.bin", 0, REG_DWORD, 1, 4, 1, 0, nullptr},
        // Sparse: only what is written before the cancel takes room. The length is taken whole.
        {L"huge.bin", (1ull << 32) + 1, REG_DWORD, 1, 4, 1, 51200, nullptr},
        {L"32.bin", 1, REG_DWORD, 32, 4, 32, 1, nullptr},     {L"33.bin", 1, REG_DWORD, 33, 4, 1, 1, nullptr},
        {L"0.bin", 1, REG_DWORD, 0, 4, 1, 1, nullptr},        {L"-1.bin", 1, REG_DWORD, 0xFFFFFFFF, 4, 1, 1, nullptr},
        {L"text.bin", 1, REG_SZ, '5', 2, 1, 1, nullptr},      {L"binary.bin", 1, REG_BINARY, 5, 4, 1, 1, nullptr},
        {L"short.bin", 1, REG_DWORD, 5, 2, 1, 1, nullptr},    {L"none.bin", 1, REG_DWORD, 5, 0, 1, 1, nullptr},
        {L"write-fails.bin", 51201, REG_DWORD, 2, 4, 2, 51200, nullptr, "WriteFile"},
        {L"flush-fails.bin", 51201, REG_DWORD, 2, 4, 2, 51200, nullptr, "FlushFileBuffers"},
        {L"two-chunks.bin", 102400, REG_DWORD, 2, 4, 2, 51200, nullptr},
    };
    const std::wstring next = folder + L"\\next.bin";
    CPassSetting setting;
    for (const auto &row : rows) {
        SCOPED_TRACE(sandbox::Narrow(row.name));
        const std::wstring path = folder + L"\\" + row.name;
        const bool huge = row.length >> 32;
        {
            const CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = row.length;
            ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
        }
        if (row.size)
            setting.Set(row.type, &row.value, row.size);
        else
            setting.Remove();
        sandbox::Make(next, "x");
        Handler handler = NewHandler();
        CFileCalls calls;
        calls.failing = {row.fails, sandbox::Narrow(path)};
        std::string label;
        std::vector<std::string> barErrors;
        std::map<std::string, size_t> writesOf; // by path
        calls.onWrite = [&](size_t n) {
            label = Label(*handler.Get());
            // The engine moves the bar after each write returns: before write k of a file it stands at k - 1 steps.
            const CSkinProgressBar &bar = *handler->m_progress.m_pBar;
            const bool own = calls.writes.back().path == sandbox::Narrow(path); // else the next file's
            const ULONGLONG length = own ? row.length : 1, step = own ? row.chunk : 1;
            const ULONGLONG at = writesOf[calls.writes.back().path]++, upper = row.passes * length * 3;
            if (bar.m_lower != 0 || bar.m_upper != upper || bar.m_step != step || bar.m_pos != at * step ||
                (length % step == 0 && bar.m_pos >= bar.m_upper))
                barErrors.push_back(calls.writes.back().path + " write " + std::to_string(at) + ": " +
                                    std::to_string(bar.m_lower) + ".." + std::to_string(bar.m_upper) + " step " +
                                    std::to_string(bar.m_step) + " at " + std::to_string(bar.m_pos));
            if (huge)
                ClickCancel(*handler.Get());
            if (huge && n > 4)
                handler->m_bCancelled = true; // never 4 GiB three times over, whatever the click did
        };
        // After a failing file the run goes on with the next one.
        const bool fails = *row.fails;
        const std::string narrow = sandbox::Narrow(path), narrowNext = sandbox::Narrow(next);
        const Paths reports = ClearRaw(*handler.Get(), fails ? Paths{narrow, narrowNext} : Paths{narrow});
        EXPECT_EQ(fails ? Paths{"Unable to corrupt file " + sandbox::Narrow(row.name)} : Paths(), reports);
        if (fails) {
            EXPECT_EQ(3 * row.passes, calls.writesBeforeDeletion[narrowNext]) << "the next file, overwritten and gone";
        }

        // Sweeps written whole, each flushed after its last chunk; a failing write ends the first.
        const size_t perSweep = row.chunk ? (row.length + row.chunk - 1) / row.chunk : 0;
        const size_t sweeps = huge || !perSweep || row.fails == std::string("WriteFile") ? 0 : fails ? 1 : 3 * row.passes;
        std::vector<CFileCalls::Write> writes;
        std::copy_if(calls.writes.begin(), calls.writes.end(), std::back_inserter(writes),
                     [&](const CFileCalls::Write &write) { return write.path == narrow; });
        std::vector<size_t> sweepEnds;
        for (size_t sweep = 1; sweep <= sweeps; ++sweep)
            sweepEnds.push_back(sweep * perSweep);
        EXPECT_EQ(sweepEnds, calls.flushes[narrow]) << "writes before each flush";
        if (huge)
            ASSERT_LT(writes.size(), 5u) << "the cancel ends the writing";
        else
            ASSERT_EQ(fails && !sweeps ? 1 : sweeps * perSweep, writes.size());
        for (size_t i = 0; i < writes.size(); ++i) {
            const CFileCalls::Write &write = writes[i];
            const size_t sweep = i / perSweep;
            EXPECT_EQ(row.chunk, write.size) << "write " << i;
            EXPECT_EQ(LONGLONG(i % perSweep * row.chunk), write.offset) << "write " << i;
            const int pattern = sweep % 3 == 2 ? -1 : sweep % 3 ? 0xFF : 0x00; // -1: rand() bytes
            EXPECT_EQ(pattern >= 0 || row.chunk == 1, write.uniform) << "write " << i;
            EXPECT_TRUE(pattern < 0 || write.first == pattern) << "write " << i;
        }
        EXPECT_EQ(std::vector<std::string>(), barErrors) << "the bar's range, step and position";
        if (!huge && !fails && row.chunk && row.length % row.chunk == 0) {
            EXPECT_EQ(row.passes * row.length * 3, writesOf[narrow] * row.chunk) << "full with the last write";
        }
        if (row.label) {
            EXPECT_EQ(std::string("Corrupting file: ") + row.label, label);
        }
        EXPECT_EQ(huge || fails, sandbox::Exists(path)) << "deleted, unless cancelled or failed";
        sandbox::Remove(path);
    }

}
