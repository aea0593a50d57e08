#include "NamedMutexProbe.h"

namespace {

DWORD WINAPI TryTake(void *name)
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, static_cast<const char *>(name));
    if (!mutex)
        return WAIT_FAILED;
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        ReleaseMutex(mutex);
    CloseHandle(mutex);
    return wait;
}

} // namespace

bool NamedMutexExists(const char *name)
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (mutex)
        CloseHandle(mutex);
    return mutex != nullptr;
}

DWORD WaitFromAnotherThread(const char *name)
{
    HANDLE thread = CreateThread(nullptr, 0, TryTake, const_cast<char *>(name), 0, nullptr);
    if (!thread)
        return WAIT_FAILED;
    DWORD wait = WAIT_FAILED;
    if (WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0)
        GetExitCodeThread(thread, &wait);
    CloseHandle(thread);
    return wait;
}
