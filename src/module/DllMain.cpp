#include "module/Module.h"

// Start-up has already built the module state; a load whose state could not be built fails.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH && g_module.InitFailed())
        return FALSE;
    return TRUE;
}
