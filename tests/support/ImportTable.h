#pragma once
#include <windows.h>

// The test programs carry the module's code, so the module's calls of a system function go
// through this program's import table; replacing a slot observes or fails those calls.

// The slot through which this program calls `function` of `dll`, or null.
void **ImportSlot(const char *dll, const char *function);
// Points the slot at `replacement` and returns what it held.
void *ReplaceImport(void **slot, void *replacement);
