#pragma once
#include <windows.h>

// The state of a named mutex as another thread sees it.
// Whether it exists now (any handle to it open, in this process or another).
bool NamedMutexExists(const char *name);
// What a wait of another thread, which owns nothing, gives at once: WAIT_OBJECT_0 when the mutex
// is free (it is given back at once), WAIT_TIMEOUT while some thread owns it, WAIT_FAILED when it
// does not exist.
DWORD WaitFromAnotherThread(const char *name);
