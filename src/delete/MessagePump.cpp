#include "delete/MessagePump.h"

namespace {

// Each thread's innermost hold, in a thread-local slot of the module's own. Without a slot
// (none left in the process) there are no holds and a quit goes back at once.
class CHoldSlot
{
public:
    CHoldSlot() : m_index(TlsAlloc()) {}
    ~CHoldSlot()
    {
        if (m_index != TLS_OUT_OF_INDEXES)
            TlsFree(m_index);
    }
    CHoldSlot(const CHoldSlot &) = delete;
    CHoldSlot &operator=(const CHoldSlot &) = delete;

    CQuitHold *Get() const
    {
        return m_index == TLS_OUT_OF_INDEXES ? nullptr : static_cast<CQuitHold *>(TlsGetValue(m_index));
    }
    void Set(CQuitHold *hold) const
    {
        if (m_index != TLS_OUT_OF_INDEXES)
            TlsSetValue(m_index, hold);
    }

private:
    DWORD m_index;
};

const CHoldSlot &Slot()
{
    static const CHoldSlot slot;
    return slot;
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
    if (CQuitHold *hold = Slot().Get())
        hold->Keep(exitCode);
    else
        PostQuitMessage(exitCode);
}

CQuitHold::CQuitHold() noexcept : m_bQuit(false), m_exitCode(0), m_outer(Slot().Get())
{
    Slot().Set(this);
}

CQuitHold::~CQuitHold()
{
    Slot().Set(m_outer);
    if (m_bQuit)
        PostQuitMessage(m_exitCode);
}

void CQuitHold::Keep(int exitCode) noexcept
{
    m_bQuit = true;
    m_exitCode = exitCode;
}
