#pragma once
#include <windows.h>

#include "common/String.h"

// What the engine refuses to overwrite: anything whose bytes are also reachable under a name
// outside the selection. Reported as this error, so the file stays and the user is told.
const DWORD kLinkedFileError = ERROR_NOT_SUPPORTED;

// A junction, mount point or symbolic link (file or folder): the walk removes the link itself
// and never follows it.
bool IsLinkPath(const String &path);

// True when the open file's contents are shared with another name (a hard link) or the name
// that was opened is a link to a file elsewhere.
bool SharesContentWithOtherNames(HANDLE file, const String &openedPath);
