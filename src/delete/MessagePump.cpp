#include "delete/MessagePump.h"

namespace {

// The holds of the process, a list threaded through the holds themselves, newest first. The lock
// is never deleted: a hold may still go away during the process's static destruction.
struct Holds
{
    Holds() { InitializeCriticalSection(&lock); }

    CRITICAL_SECTION lock;
    CQuitHold *first = nullptr;
};

Holds &AllHolds()
{
    static Holds holds;
    return holds;
}

} // namespace

void DispatchOnePendingMessage()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return;
    if (msg.message != WM_QUIT) {
        DispatchMessageA(&msg);
        return;
    }
    const int exitCode = static_cast<int>(msg.wParam);
    if (CQuitHold *hold = CQuitHold::OfThisThread())
        hold->Keep(exitCode);
    else
        PostQuitMessage(exitCode);
}

CQuitHold::CQuitHold() noexcept : m_thread(GetCurrentThreadId()), m_bQuit(false), m_exitCode(0), m_next(nullptr)
{
    Holds &holds = AllHolds();
    EnterCriticalSection(&holds.lock);
    m_next = holds.first;
    holds.first = this;
    LeaveCriticalSection(&holds.lock);
}

CQuitHold::~CQuitHold()
{
    Holds &holds = AllHolds();
    EnterCriticalSection(&holds.lock);
    for (CQuitHold **link = &holds.first; *link; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
    LeaveCriticalSection(&holds.lock);
    if (m_bQuit)
        PostQuitMessage(m_exitCode);
}

CQuitHold *CQuitHold::OfThisThread() noexcept
{
    const DWORD thread = GetCurrentThreadId();
    Holds &holds = AllHolds();
    CQuitHold *found = nullptr;
    EnterCriticalSection(&holds.lock);
    for (CQuitHold *hold = holds.first; hold && !found; hold = hold->m_next)
        if (hold->m_thread == thread)
            found = hold;
    LeaveCriticalSection(&holds.lock);
    return found;
}

void CQuitHold::Keep(int exitCode) noexcept
{
    m_bQuit = true;
    m_exitCode = exitCode;
}
