// Speed of the module against the loops it is held to, one way per run, so that each
// process's peak working set belongs to that way alone. On one sandbox file, one pass (three
// sweeps), with the progress dialog on screen:
//   engine   CorruptFile
//   blitbar  the calls the engine must make per chunk (WriteFile, rand per byte for the random
//            sweep, one message step, InvalidateRect, Sleep(0)) and per sweep (FlushFileBuffers)
//            against a window of the bar's size whose paint is one BitBlt: the floor (a') the
//            engine is measured against
//   floor    the same calls against the module's own bar
//   nowindow the calls without the message step and the InvalidateRect
//   zeros    WriteFile of zero chunks, the same number of bytes, each sweep flushed: the I/O limit
// and on a sandbox folder of files:
//   files    ClearRaw on the folder, as the shell-link handler hands a selection over: one pass,
//            the progress dialog on screen, every file overwritten and deleted, the folder removed
// Usage: engine_bench <way> <file or folder on S: or T:>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "delete/COrvexDeleteFile.h"
#include "delete/Requests.h"

namespace {

const DWORD kChunkLimit = 51200;
const RECT kRepaintRect = {0, 0, 2000, 2000};
const int kSweeps = 3;
const char kSettingsKey[] = "Software\\Kessane\\Talmior 2004\\Secure";
const char kBlitBarClass[] = "OrvexBenchBlitBar";

enum class Way { Engine, BlitBar, Floor, NoWindow, Zeros, Files };

const struct
{
    const char *name;
    Way way;
} kWays[] = {{"engine", Way::Engine}, {"blitbar", Way::BlitBar}, {"floor", Way::Floor},
             {"nowindow", Way::NoWindow}, {"zeros", Way::Zeros}, {"files", Way::Files}};

// A window of the bar's size that paints one prepared bitmap with one BitBlt.
class CBlitBar
{
public:
    explicit CBlitBar(HWND bar)
    {
        RECT rect;
        GetWindowRect(bar, &rect);
        MapWindowPoints(nullptr, GetParent(bar), reinterpret_cast<POINT *>(&rect), 2);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kBlitBarClass;
        RegisterClassA(&windowClass);
        m_window = CreateWindowExA(0, kBlitBarClass, "", WS_CHILD | WS_VISIBLE, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, GetParent(bar), nullptr,
                                   windowClass.hInstance, nullptr);
        HDC screen = GetDC(m_window);
        s_memory = CreateCompatibleDC(screen);
        m_bitmap.Reset(CreateCompatibleBitmap(screen, rect.right - rect.left, rect.bottom - rect.top));
        ReleaseDC(m_window, screen);
        m_old = SelectObject(s_memory, m_bitmap.Get());
        const RECT all = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
        FillRect(s_memory, &all, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    }
    ~CBlitBar()
    {
        DestroyWindow(m_window);
        SelectObject(s_memory, m_old);
        DeleteDC(s_memory);
    }
    HWND Window() const { return m_window; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_PAINT)
            return DefWindowProcA(window, message, wParam, lParam);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        BitBlt(dc, 0, 0, client.right, client.bottom, s_memory, 0, 0, SRCCOPY);
        EndPaint(window, &ps);
        return 0;
    }

    static HDC s_memory;
    HWND m_window = nullptr;
    CBitmap m_bitmap;
    HGDIOBJ m_old = nullptr;
};
HDC CBlitBar::s_memory = nullptr;

struct Sweeper
{
    HANDLE file;
    ULONGLONG length;
    DWORD chunk;
    CSkinProgressBar &bar;
    HWND invalidated; // null: no message step, no InvalidateRect
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
            if (invalidated) {
                MSG msg;
                if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                InvalidateRect(invalidated, &kRepaintRect, TRUE);
            }
            if (sleep)
                Sleep(0);
        }
        // As the engine does: each sweep reaches the disk before the next one starts.
        FlushFileBuffers(file);
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
        const Sweeper plain{file.Get(), length, chunk, bar, nullptr, false};
        for (int i = 0; i < kSweeps; ++i)
            plain.Sweep(zeros, false);
        return true;
    }
    const CBlitBar blitBar(bar.m_hWnd);
    HWND invalidated = nullptr;
    if (way == Way::Floor)
        invalidated = bar.m_hWnd;
    else if (way == Way::BlitBar)
        invalidated = blitBar.Window();
    const Sweeper sweeper{file.Get(), length, chunk, bar, invalidated, true};
    sweeper.Sweep(zeros, false);
    sweeper.Sweep(ones, false);
    sweeper.Sweep(random, true);
    return true;
}

// One pass, whatever the prefix's setting says; the value goes again afterwards.
class COnePass
{
public:
    COnePass()
    {
        const DWORD one = 1;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &m_key, nullptr) ==
            ERROR_SUCCESS)
            RegSetValueExA(m_key, "Slider", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof(one));
    }
    ~COnePass()
    {
        if (m_key) {
            RegDeleteValueA(m_key, "Slider");
            RegCloseKey(m_key);
        }
    }
    COnePass(const COnePass &) = delete;
    COnePass &operator=(const COnePass &) = delete;

private:
    HKEY m_key = nullptr;
};

bool RunFiles(COrvexDeleteFile &handler, const char *folder)
{
    const COnePass onePass;
    PathListRequest request;
    request.paths.Append(folder);
    const HRESULT hr = handler.ClearRaw(reinterpret_cast<IUnknown *>(&request));
    return hr == S_OK && GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES;
}

// Regular files directly in a folder.
size_t CountFiles(const char *folder)
{
    WIN32_FIND_DATAA entry;
    const CFindHandle find(FindFirstFileA((String(folder) + "\\*").c_str(), &entry));
    size_t count = 0;
    for (BOOL more = find.IsValid(); more; more = FindNextFileA(find.Get(), &entry))
        count += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    return count;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

ULONGLONG FileLength(const char *path, bool &exists)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    exists = GetFileAttributesExA(path, GetFileExInfoStandard, &data) != FALSE;
    return exists ? (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow : 0;
}

} // namespace

int main(int argc, char **argv)
{
    const char *name = argc == 3 ? argv[1] : "";
    const auto *found = std::find_if(std::begin(kWays), std::end(kWays),
                                     [&](const auto &entry) { return std::strcmp(entry.name, name) == 0; });
    if (found == std::end(kWays) || !InSandbox(argv[2])) {
        std::fprintf(stderr, "usage: engine_bench engine|blitbar|floor|nowindow|zeros S:\\file\n"
                             "       engine_bench files S:\\folder\n");
        return 2;
    }
    const Way way = found->way;
    const char *path = argv[2];
    bool exists = false;
    const ULONGLONG length = FileLength(path, exists);
    if (!exists) {
        std::fprintf(stderr, "engine_bench: no file or folder %s\n", path);
        return 1;
    }
    const size_t files = way == Way::Files ? CountFiles(path) : 0;

    COrvexDeleteFile *handler = new COrvexDeleteFile;
    handler->AddRef();
    HWND dialog = nullptr;
    MSG msg;
    if (way != Way::Files) {
        dialog = handler->m_progress.Create(nullptr);
        ShowWindow(dialog, SW_SHOWNORMAL);
        SetForegroundWindow(dialog);
        handler->m_progress.SetCancelFlag(&handler->m_bCancelled);
        // Let the dialog paint once before the clock starts.
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = true;
    if (way == Way::Engine)
        ok = handler->CorruptFile(path, 1, handler->m_progress) == S_OK;
    else if (way == Way::Files)
        ok = RunFiles(*handler, path);
    else
        ok = RunLoop(way, path, handler->m_progress);
    QueryPerformanceCounter(&end);

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    const double seconds = Seconds(start, end);
    const unsigned long peakKiB = static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024);
    if (way == Way::Files) {
        std::printf("way=files files=%lu seconds=%.3f files_per_s=%.1f peak_ws_kib=%lu ok=%d\n",
                    static_cast<unsigned long>(files), seconds, double(files) / seconds, peakKiB, ok);
    } else {
        const double megabytes = double(length) * kSweeps / (1024.0 * 1024.0);
        std::printf("way=%s mib=%.0f seconds=%.3f mib_per_s=%.1f peak_ws_kib=%lu ok=%d\n", name,
                    double(length) / 1048576.0, seconds, megabytes / seconds, peakKiB, ok);
        DestroyWindow(dialog);
    }
    handler->Release();
    return ok ? 0 : 1;
}
