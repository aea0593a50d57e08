#pragma once
#include <windows.h>
#include <string>

#include "common/String.h"

// What the engine refuses to overwrite: anything whose bytes are also reachable under a name
// outside the selection. Reported as this error, so the file stays and the user is told.
const DWORD kLinkedFileError = ERROR_NOT_SUPPORTED;

// Where a volume keeps a file's contents, in its attributes as Windows 8 and later give them
// (the SDK of this module's target does not know them).
const DWORD kRecallOnOpen = 0x00040000;       // a cloud file or folder that is fetched when opened
const DWORD kRecallOnDataAccess = 0x00400000; // a cloud file whose bytes are fetched when read

enum class LinkVerdict
{
    Own,        // nothing but this name leads to it
    Link,       // a junction, mount point or symbolic link, or a name that resolves elsewhere
    OtherNames, // a file whose contents also live under another name (a hard link)
    NotInPlace, // a file whose bytes are not where an overwrite lands: offline, in the cloud only,
                // compressed or deduplicated by the volume
};

// One look at a path before anything of it is changed, and where the file it names lives (the
// resolved path, in wide text; empty for a folder, a missing path, or where the system cannot say).
struct LinkCheck
{
    String path;
    LinkVerdict verdict = LinkVerdict::Own;
    std::wstring resolved;
};

// A missing path counts as own: the open that follows fails and says so.
LinkCheck CheckLinks(const String &path);

// A junction, mount point or symbolic link, of a folder or a file. The walk leaves it where it
// is: it never follows it, never changes its attributes, and never deletes it, because some
// systems (Wine) carry out a deletion or an attribute change on the link's target.
bool IsLinkPath(const String &path);

// True when the open file's contents also live under another name (a hard link).
bool HasOtherNames(HANDLE file);

// True while the open file, or the file a path names now, is still the one a check found at
// resolved. With nothing resolved (the system cannot say) there is nothing to compare.
bool StillResolvesTo(HANDLE file, const std::wstring &resolved);
bool StillResolvesTo(const String &path, const std::wstring &resolved);
