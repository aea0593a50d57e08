#include "support/NamedMutexProbe.h"

#include "common/Scoped.h"

namespace {

DWORD WINAPI TryTake(void *name)
{
    CKernelHandle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, static_cast<const char *>(name)));
    if (!mutex)
        return WAIT_FAILED;
    const DWORD wait = WaitForSingleObject(mutex.Get(), 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        ReleaseMutex(mutex.Get());
    return wait;
}

} // namespace

bool NamedMutexExists(const char *name)
{
    return CKernelHandle(OpenMutexA(SYNCHRONIZE, FALSE, name)).IsValid();
}

DWORD WaitFromAnotherThread(const char *name)
{
    CKernelHandle thread(CreateThread(nullptr, 0, TryTake, const_cast<char *>(name), 0, nullptr));
    DWORD wait = WAIT_FAILED;
    if (thread && WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0)
        GetExitCodeThread(thread.Get(), &wait);
    return wait;
}
