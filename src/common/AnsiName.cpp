#include "common/AnsiName.h"

#include <cwchar>

#include "common/Scoped.h"

namespace {

// A UTF-8 ANSI code page takes neither the no-best-fit flag nor the used-default flag.
bool AnsiIsUtf8()
{
    return GetACP() == CP_UTF8;
}

// '*' and '?' are wildcards to the listing calls; no real name holds them.
bool HasWildcards(const wchar_t *wide)
{
    return std::wcspbrk(wide, L"*?") != nullptr;
}

// A drive letter with its root, or a network share. Anything else ("T:", "docs\\x") depends on
// the host's current folders: what it names is a guess.
bool IsFullPath(const wchar_t *wide)
{
    const bool driveLetter = (wide[0] >= L'A' && wide[0] <= L'Z') || (wide[0] >= L'a' && wide[0] <= L'z');
    return (driveLetter && wide[1] == L':' && wide[2] == L'\\') || (wide[0] == L'\\' && wide[1] == L'\\');
}

// One of the path calls that fill a buffer of the length they first ask for; empty on failure.
std::wstring AskedPath(DWORD(WINAPI *call)(LPCWSTR, LPWSTR, DWORD), const std::wstring &path)
{
    const DWORD size = call(path.c_str(), nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::wstring result(size, L'\0');
    const DWORD length = call(path.c_str(), &result[0], size);
    result.resize(length < size ? length : 0);
    return result;
}

// The path calls drop a trailing full stop or blank from a name ("sub." is read as "sub"), so
// such a name leads to its neighbour, or to nothing.
bool IsRewrittenName(const std::wstring &name)
{
    return !name.empty() && (name.back() == L'.' || name.back() == L' ') && name != L"." && name != L"..";
}

// The name in its exact ANSI form, if it has one that the A calls read back as itself.
bool ExactName(const std::wstring &name, String &ansi)
{
    bool exact = false;
    ansi = ToAnsi(name.c_str(), exact);
    return exact && !IsRewrittenName(name);
}

// The short (8.3) name that the listing of a folder (its path with the final backslash) gives its
// entry longName.
std::wstring ListedShortName(const std::wstring &folder, const std::wstring &longName)
{
    WIN32_FIND_DATAW entry;
    const CFindHandle search(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!search)
        return std::wstring();
    do {
        if (longName == entry.cFileName)
            return entry.cAlternateFileName;
    } while (FindNextFileW(search.Get(), &entry));
    return std::wstring();
}

// The short name of the entry longName of a folder reached already (folder: its exact path with
// the final backslash), in its exact ANSI form, unless the caller has it from a listing already;
// false when the entry has none (8.3 names can be turned off per volume). Asked of the listing,
// never of the path calls, which would rewrite the long name first. The short name must lead back
// to this very entry: some systems (Wine) let another file bear it as its long name, and that one
// would be opened.
bool ShortNameOf(const String &folder, const std::wstring &longName, std::wstring shortName, String &name)
{
    const std::wstring wideFolder = ToWide(folder);
    if (shortName.empty())
        shortName = ListedShortName(wideFolder, longName);
    if (shortName.empty() || HasWildcards(shortName.c_str()))
        return false;
    WIN32_FIND_DATAW entry;
    const CFindHandle found(FindFirstFileW((wideFolder + shortName).c_str(), &entry));
    if (!found || !SameWideName(entry.cFileName, longName))
        return false;
    return ExactName(shortName, name);
}

// A drive path's long form, name by name from listings of the path as given. The system's own
// call lists the long names it has found so far, and through "sub." it would list "sub".
std::wstring ListedLongPath(const std::wstring &path)
{
    std::wstring longPath = path.substr(0, 3);
    for (size_t start = 3; start < path.size();) {
        const size_t found = path.find(L'\\', start);
        const size_t end = found == std::wstring::npos ? path.size() : found;
        WIN32_FIND_DATAW entry;
        const CFindHandle search(FindFirstFileW(path.substr(0, end).c_str(), &entry));
        if (!search)
            return std::wstring();
        longPath += entry.cFileName;
        if (end < path.size())
            longPath += L'\\';
        start = end + 1;
    }
    return longPath;
}

} // namespace

String ToAnsi(const wchar_t *wide, bool &exact)
{
    exact = false;
    const int wideLength = lstrlenW(wide);
    if (wideLength == 0) {
        exact = true;
        return String();
    }
    const DWORD flags = AnsiIsUtf8() ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *const usedDefaultFlag = AnsiIsUtf8() ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(CP_ACP, flags, wide, wideLength, nullptr, 0, nullptr, usedDefaultFlag);
    if (size <= 0)
        return String();
    String ansi;
    char *buffer = ansi.GetBuffer(size);
    WideCharToMultiByte(CP_ACP, flags, wide, wideLength, buffer, size, nullptr, usedDefaultFlag);
    buffer[size] = '\0';
    ansi.ReleaseBuffer();
    // The test that counts: the A calls must turn these bytes back into this very name.
    exact = !usedDefault && ansi.Length() == static_cast<size_t>(size) &&
            ToWide(ansi) == std::wstring(wide, wideLength);
    return ansi;
}

std::wstring ToWide(const String &ansi)
{
    const int length = static_cast<int>(ansi.Length());
    const int size = length ? MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), length, nullptr, 0) : 0;
    if (size <= 0)
        return std::wstring();
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), length, &wide[0], size);
    return wide;
}

bool ReachablePath(const wchar_t *widePath, String &path, const wchar_t *listedShortName)
{
    if (!IsFullPath(widePath) || HasWildcards(widePath))
        return false;
    bool exact = false;
    path = ToAnsi(widePath, exact);
    const std::wstring whole = widePath;
    if (exact && !HasRewrittenName(whole))
        return true;
    // Name by name: one that has no exact form is taken by its short name, each decided on its
    // own, since a volume may hold names with and without one.
    String reached;
    for (size_t start = 0;;) {
        const size_t found = whole.find(L'\\', start);
        const size_t end = found == std::wstring::npos ? whole.size() : found;
        const std::wstring name = whole.substr(start, end - start);
        const bool last = end == whole.size();
        String part;
        if (!ExactName(name, part) &&
            !ShortNameOf(reached, name, last && listedShortName ? listedShortName : L"", part))
            return false;
        reached += part;
        if (last)
            break;
        reached += "\\";
        start = end + 1;
    }
    path = reached;
    return true;
}

bool HasRewrittenName(const std::wstring &path)
{
    for (size_t start = 0;;) {
        const size_t end = path.find(L'\\', start);
        if (IsRewrittenName(path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start)))
            return true;
        if (end == std::wstring::npos)
            return false;
        start = end + 1;
    }
}

std::wstring LongWidePath(const String &path)
{
    const std::wstring wide = ToWide(path);
    if (HasWildcards(wide.c_str()))
        return std::wstring();
    const bool plainDrivePath = IsFullPath(wide.c_str()) && wide[1] == L':' && wide.back() != L'\\' &&
                                wide.find(L"\\.") == std::wstring::npos;
    return plainDrivePath ? ListedLongPath(wide) : AskedPath(GetLongPathNameW, wide);
}

bool SameWideName(const std::wstring &a, const std::wstring &b)
{
    if (a.size() != b.size())
        return false;
    std::wstring upperA = a, upperB = b;
    CharUpperBuffW(&upperA[0], static_cast<DWORD>(upperA.size()));
    CharUpperBuffW(&upperB[0], static_cast<DWORD>(upperB.size()));
    return upperA == upperB;
}
