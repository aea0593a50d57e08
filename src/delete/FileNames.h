#pragma once
#include <windows.h>

#include "common/String.h"

// The part of a path after its last backslash, scanning the path as text of the given code
// page: in a double-byte code page a trail byte of 0x5C belongs to its character and is no
// separator. A path without a backslash is returned whole.
String FileNamePartInCodePage(const String &path, UINT codePage);

// The path of an entry of a folder: one backslash between the two, also after a folder that
// already ends in one (a drive's root "T:\", a Recycle Bin folder).
String JoinPath(const String &folder, const String &name);

// Windows Vista and later keep each user's Recycle Bin as X:\$Recycle.Bin\<the user's SID>\.
extern const char kPerUserBinsName[];

// Where a folder lies in a bin of that layout: the user's bin folder itself, a folder inside it
// (a deleted folder), or in no such bin.
enum class PerUserBinPlace { None, Bin, Inside };
PerUserBinPlace PlaceInPerUserBin(const String &folder);
