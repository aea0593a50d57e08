// Overwrites one sandbox file a single pass (three sweeps) and prints the rate, one way per
// run, so that each process's peak working set belongs to that way alone:
//   engine   CorruptFile with the progress dialog on screen
//   floor    only the calls the engine must make: the label once, then per chunk WriteFile,
//            rand per byte for the random sweep, one message step, InvalidateRect of the bar
//            and Sleep(0)
//   nowindow the floor without the message step and the InvalidateRect
//   zeros    WriteFile of zero chunks, the same number of bytes: the I/O limit
// Usage: engine_bench <way> <file on S: or T:>
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "delete/COrvexDeleteFile.h"

namespace {

const DWORD kChunkLimit = 51200;
const RECT kRepaintRect = {0, 0, 2000, 2000};
const int kSweeps = 3;

enum class Way { Engine, Floor, NoWindow, Zeros };

struct Sweeper
{
    HANDLE file;
    ULONGLONG length;
    DWORD chunk;
    CSkinProgressBar &bar;
    bool windowCalls;
    bool sleep;

    void Sweep(BYTE *buffer, bool refillWithRand) const
    {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        for (ULONGLONG done = 0; done < length; done += chunk) {
            if (refillWithRand)
                for (DWORD i = 0; i < chunk; ++i)
                    buffer[i] = static_cast<BYTE>(std::rand());
            DWORD written = 0;
            WriteFile(file, buffer, chunk, &written, nullptr);
            bar.m_pos += bar.m_step;
            if (windowCalls) {
                MSG msg;
                if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                InvalidateRect(bar.m_hWnd, &kRepaintRect, TRUE);
            }
            if (sleep)
                Sleep(0);
        }
    }
};

bool InSandbox(const char *path)
{
    return (path[0] == 'S' || path[0] == 's' || path[0] == 'T' || path[0] == 't') && path[1] == ':' &&
           path[2] == '\\' && path[3] != '\0';
}

// The loops the engine is compared with, on the same open file and the same dialog. The label
// is set and the bar's numbers move as the engine does it, so that the dialog paints the same.
bool RunLoop(Way way, const char *path, CProgressDlg &dialog)
{
    const CFileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD high = 0;
    const ULONGLONG length = GetFileSize(file.Get(), &high) | (static_cast<ULONGLONG>(high) << 32);
    const DWORD chunk = length < kChunkLimit ? static_cast<DWORD>(length) : kChunkLimit;
    CVirtualBlock blocks[3];
    for (CVirtualBlock &block : blocks) {
        block.Reset(VirtualAlloc(nullptr, chunk, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!block)
            return false;
    }
    BYTE *zeros = static_cast<BYTE *>(blocks[0].Get());
    BYTE *ones = static_cast<BYTE *>(blocks[1].Get());
    BYTE *random = static_cast<BYTE *>(blocks[2].Get());
    std::memset(zeros, 0x00, chunk);
    std::memset(ones, 0xFF, chunk);
    CSkinProgressBar &bar = *dialog.m_pBar;
    bar.m_lower = 0;
    bar.m_upper = length * kSweeps;
    bar.m_step = chunk;
    bar.m_pos = 0;
    if (way != Way::Zeros)
        dialog.SetStatusText(String("Corrupting file: ") + FileNamePart(path));
    if (way == Way::Zeros) {
        const Sweeper plain{file.Get(), length, chunk, bar, false, false};
        for (int i = 0; i < kSweeps; ++i)
            plain.Sweep(zeros, false);
        return true;
    }
    const Sweeper sweeper{file.Get(), length, chunk, bar, way == Way::Floor, true};
    sweeper.Sweep(zeros, false);
    sweeper.Sweep(ones, false);
    sweeper.Sweep(random, true);
    return true;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || !InSandbox(argv[2])) {
        std::fprintf(stderr, "usage: engine_bench engine|floor|nowindow|zeros S:\\file\n");
        return 2;
    }
    const char *name = argv[1];
    Way way;
    if (!std::strcmp(name, "engine"))
        way = Way::Engine;
    else if (!std::strcmp(name, "floor"))
        way = Way::Floor;
    else if (!std::strcmp(name, "nowindow"))
        way = Way::NoWindow;
    else if (!std::strcmp(name, "zeros"))
        way = Way::Zeros;
    else
        return 2;
    const char *path = argv[2];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        std::fprintf(stderr, "engine_bench: no file %s\n", path);
        return 1;
    }
    const ULONGLONG length = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;

    COrvexDeleteFile *handler = new COrvexDeleteFile;
    handler->AddRef();
    HWND dialog = handler->m_progress.Create(nullptr);
    ShowWindow(dialog, SW_SHOWNORMAL);
    SetForegroundWindow(dialog);
    handler->m_progress.SetCancelFlag(&handler->m_bCancelled);
    // Let the dialog paint once before the clock starts.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = true;
    if (way == Way::Engine)
        ok = handler->CorruptFile(path, 1, handler->m_progress) == S_OK;
    else
        ok = RunLoop(way, path, handler->m_progress);
    QueryPerformanceCounter(&end);

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    const double seconds = Seconds(start, end);
    const double megabytes = double(length) * kSweeps / (1024.0 * 1024.0);
    std::printf("way=%s mib=%.0f seconds=%.3f mib_per_s=%.1f peak_ws_kib=%lu ok=%d\n", name, double(length) / 1048576.0,
                seconds, megabytes / seconds, static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024), ok);
    DestroyWindow(dialog);
    handler->Release();
    return ok ? 0 : 1;
}
