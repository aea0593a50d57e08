#pragma once
#include <windows.h>
#include <string>

#include "common/String.h"

// Names as the module's 8-bit (A) calls must be given them. The system turns a wide name that
// the ANSI code page cannot spell into a best-fit or '?' form, and that form may name another
// file (a Greek capital omega becomes "O", fullwidth full stops and reverse solidus become "..\")
// or act as a wildcard. A name is only ever used in a form that the A calls read back as exactly
// the same wide name.

// The wide text in the ANSI code page, with '?' for each character the code page lacks (never a
// best-fit look-alike). exact tells whether the A calls read it back as the same wide text; an
// inexact result is fit only to be shown, never to be opened.
String ToAnsi(const wchar_t *wide, bool &exact);

// The wide text that the A calls read the ANSI text as.
std::wstring ToWide(const String &ansi);

// The path by which the A calls reach the item that the full wide path names and nothing else:
// its exact form, with each name that has none replaced by that item's own short (8.3) name. A
// name has no exact form when the code page cannot spell it, or when the path calls would rewrite
// it (a trailing full stop or blank). listedShortName, when given, is the last name's short name
// as a listing of its folder gave it. False when some name has neither (8.3 names can be turned
// off per volume).
bool ReachablePath(const wchar_t *widePath, String &path, const wchar_t *listedShortName = nullptr);

// Whether some name of the path is one that the path calls rewrite.
bool HasRewrittenName(const std::wstring &path);

// The path with every name as its folder lists it (the long form, in wide text); empty when the
// item cannot be found.
std::wstring LongWidePath(const String &path);

// Whether two wide names or paths are one to the file system: letter case aside, every character
// counts (a linguistic comparison passes over some characters and would join distinct names).
bool SameWideName(const std::wstring &a, const std::wstring &b);

// Every path the module opens fits its MAX_PATH buffers; a longer one is never used, never cut.
inline bool FitsPathBuffer(const String &path)
{
    return path.Length() < MAX_PATH;
}
