#pragma once
#include <windows.h>

// Each class's registry script, run in register (TRUE) or unregister (FALSE) mode.
// The object map holds these as the classes' registration routines.
HRESULT UpdateRegistryDeleteFile(BOOL doRegister);
HRESULT UpdateRegistryShellLink(BOOL doRegister);
HRESULT UpdateRegistryRecycleCleaner(BOOL doRegister);
