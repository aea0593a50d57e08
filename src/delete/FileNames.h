#pragma once
#include <windows.h>

#include "common/String.h"

// The part of a path after its last backslash, scanning the path as text of the given code
// page: in a double-byte code page a trail byte of 0x5C belongs to its character and is no
// separator. A path without a backslash is returned whole.
String FileNamePartInCodePage(const String &path, UINT codePage);
