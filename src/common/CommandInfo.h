#pragma once
#include <windows.h>
#include <shlobj.h>

// Whether the shell's command information asks for the handler's one menu item: its offset (0),
// given as an offset in every form the caller filled in, with dialogs allowed. Anything else is
// another handler's business (a verb by name that no registry verb answered, an offset the
// handler never added) or a call that forbids the confirmation every deletion needs; the handler
// answers E_FAIL, so that the shell offers the command on, and shows or touches nothing.
bool IsOwnItemCommand(const CMINVOKECOMMANDINFO &info);
