#pragma once
#include <windows.h>

#include "common/String.h"

// What the engine refuses to overwrite: anything whose bytes are also reachable under a name
// outside the selection. Reported as this error, so the file stays and the user is told.
const DWORD kLinkedFileError = ERROR_NOT_SUPPORTED;

// A junction, mount point or symbolic link, of a folder or a file. The walk leaves it where it
// is: it never follows it, never changes its attributes, and never deletes it, because some
// systems (Wine) carry out a deletion or an attribute change on the link's target.
bool IsLinkPath(const String &path);

// True when the open file's contents also live under another name (a hard link).
bool HasOtherNames(HANDLE file);
