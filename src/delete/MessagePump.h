#pragma once
#include <windows.h>

// Dispatches at most one pending message of the calling thread: how a deletion run keeps its
// modeless progress dialog painting and taking its Cancel click without a thread of its own.
// Keys are not translated and no dialog handling is done. A WM_QUIT is the host's and is never
// dropped: a CQuitHold of the thread keeps it, else it is posted again at once.
void DispatchOnePendingMessage();

// While a hold lives on a thread, a WM_QUIT that DispatchOnePendingMessage meets there is kept
// back, and posted again with its exit code when the hold ends. Back in the queue at once, the
// quit would come before every click and paint of the run and end every report dialog as soon as
// it opened. Holds may nest: each posts what it kept, and an outer one keeps it again.
class CQuitHold
{
public:
    CQuitHold() noexcept;
    ~CQuitHold();
    CQuitHold(const CQuitHold &) = delete;
    CQuitHold &operator=(const CQuitHold &) = delete;

    // The quit met by the pump while this is the thread's innermost hold.
    void Keep(int exitCode) noexcept;

private:
    bool m_bQuit;
    int m_exitCode;
    CQuitHold *m_outer; // the thread's hold before this one, or null
};
