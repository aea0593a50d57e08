#include "delete/COrvexDeleteFile.h"

#include <cstdlib>
#include <cstring>

#include "delete/LinkGuard.h"
#include "delete/MessagePump.h"

namespace {

const DWORD kChunkLimit = 51200;
const BYTE kZeroByte = 0x00;
const BYTE kOnesByte = 0xFF;
const size_t kLabelNameLimit = 50;
const char kLabelPrefix[] = "Corrupting file: ";
// Covers the whole bar whatever its size.
const RECT kRepaintRect = {0, 0, 2000, 2000};
const UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
const char kEllipsis[] = ".......";
const size_t kEllipsisLength = sizeof(kEllipsis) - 1;
const size_t kTailTrim = 3;

void FillWithRand(BYTE *buffer, DWORD size)
{
    for (DWORD i = 0; i < size; ++i)
        buffer[i] = static_cast<BYTE>(std::rand());
}

CVirtualBlock AllocateChunk(DWORD size)
{
    return CVirtualBlock(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

// The error of a failed query, or NO_ERROR.
DWORD QueryFileLength(HANDLE file, ULONGLONG &length)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return GetLastError();
    length = (static_cast<ULONGLONG>(high) << 32) | low;
    return NO_ERROR;
}

// A failed call's error as a failure, also when the call left no error code behind.
HRESULT LastFailure()
{
    const DWORD error = GetLastError();
    return error == NO_ERROR ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// The file, and the bar that follows the sweeps over it.
struct SweepTarget
{
    HANDLE file;
    ULONGLONG length;
    DWORD chunk;
    CSkinProgressBar &bar;
    const bool &cancelled;
};

// One sweep over the file with one pattern from its first byte, in whole chunks: the last chunk
// is not shortened, so a file longer than a chunk grows to the next multiple of the chunk size.
// Then the sweep is flushed: in the cache alone it may never reach the disk, for the cache may
// drop a deleted file's unwritten pages. A failed seek, write or flush leaves the disk's bytes
// unknown and ends the work on the file; a cancel ends it without a flush, the file stays anyway.
HRESULT WriteSweep(const SweepTarget &target, BYTE *buffer, bool refillWithRand)
{
    if (SetFilePointer(target.file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return LastFailure();
    CSkinProgressBar &bar = target.bar;
    for (ULONGLONG covered = 0; covered < target.length; covered += target.chunk) {
        if (target.cancelled)
            return S_OK;
        if (refillWithRand)
            FillWithRand(buffer, target.chunk);
        DWORD done = 0;
        if (!WriteFile(target.file, buffer, target.chunk, &done, nullptr))
            return LastFailure();
        if (done != target.chunk)
            return E_FAIL;
        bar.m_pos += bar.m_step;
        DispatchOnePendingMessage();
        if (bar.m_hWnd)
            InvalidateRect(bar.m_hWnd, &kRepaintRect, TRUE);
        Sleep(0);
    }
    return FlushFileBuffers(target.file) ? S_OK : LastFailure();
}

} // namespace

HRESULT COrvexDeleteFile::CorruptFile(const String &path, UINT passCount, CProgressDlg &dialog)
{
    // Through a link the writes would land outside the selection. The deletion step has
    // looked at its file already; the handle written through is then confirmed instead.
    const LinkCheck *checked = CheckedFileFor(path);
    if (!checked && IsLinkPath(path))
        return HRESULT_FROM_WIN32(kLinkedFileError);
    const CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return HRESULT_FROM_WIN32(GetLastError());
    if (HasOtherNames(file.Get()) || (checked && !StillResolvesTo(file.Get(), checked->resolved)))
        return HRESULT_FROM_WIN32(kLinkedFileError);

    // A length that cannot be read must not pass for an empty file: that one is deleted unwritten.
    ULONGLONG length = 0;
    if (const DWORD error = QueryFileLength(file.Get(), length))
        return HRESULT_FROM_WIN32(error);
    if (length == 0)
        return S_OK;
    const DWORD chunk = length < kChunkLimit ? static_cast<DWORD>(length) : kChunkLimit;
    const ULONGLONG upper = static_cast<ULONGLONG>(passCount) * length * 3;

    const CVirtualBlock zeros = AllocateChunk(chunk);
    const CVirtualBlock ones = AllocateChunk(chunk);
    const CVirtualBlock random = AllocateChunk(chunk);
    if (!zeros || !ones || !random)
        return E_FAIL;
    BYTE *const zeroBytes = static_cast<BYTE *>(zeros.Get());
    BYTE *const oneBytes = static_cast<BYTE *>(ones.Get());
    BYTE *const randomBytes = static_cast<BYTE *>(random.Get());
    std::memset(zeroBytes, kZeroByte, chunk);
    std::memset(oneBytes, kOnesByte, chunk);

    CSkinProgressBar &bar = *dialog.m_pBar;
    bar.m_lower = 0;
    bar.m_upper = upper;
    bar.m_step = chunk;
    String name = FileNamePart(path);
    ShortenForDisplay(name, kLabelNameLimit);
    dialog.SetStatusText(kLabelPrefix + name);
    bar.m_pos = 0;
    if (bar.m_hWnd) {
        InvalidateRect(bar.m_hWnd, &kRepaintRect, TRUE);
        RedrawWindow(bar.m_hWnd, nullptr, nullptr, kRedrawNow);
    }

    const SweepTarget target = {file.Get(), length, chunk, bar, m_bCancelled};
    for (UINT pass = 0; pass < passCount && !m_bCancelled; ++pass) {
        for (BYTE *pattern : {zeroBytes, oneBytes, randomBytes}) {
            const HRESULT hr = WriteSweep(target, pattern, pattern == randomBytes);
            if (FAILED(hr))
                return hr;
        }
        DispatchOnePendingMessage();
    }
    bar.m_pos = bar.m_upper;
    return S_OK;
}

HRESULT COrvexDeleteFile::ShortenForDisplay(String &text, size_t maxLength)
{
    text = ShortenedForDisplay(text, maxLength);
    return S_OK;
}

String ShortenedForDisplay(const String &text, size_t maxLength)
{
    if (text.Length() <= maxLength)
        return text;
    const size_t head = maxLength / 2;
    size_t tail = head + kEllipsisLength;
    while (tail > 0 && head + tail > maxLength)
        tail = tail > kTailTrim ? tail - kTailTrim : 0;
    return text.Left(head) + kEllipsis + text.Right(tail);
}
