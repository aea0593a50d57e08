#include "common/AnsiName.h"

#include <cwchar>

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

// The last name of a wide path.
std::wstring LastName(const std::wstring &path)
{
    return path.substr(path.rfind(L'\\') + 1);
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

// The short (8.3) name of the item at the wide path, whose last name is longName, in its exact
// ANSI form; false when the item has none. The short name must lead back to this very item:
// some systems (Wine) let another file bear it as its long name, and that one would be opened.
bool ShortNameOf(const std::wstring &itemPath, const std::wstring &longName, String &name)
{
    const std::wstring shortPath = AskedPath(GetShortPathNameW, itemPath);
    const std::wstring shortName = LastName(shortPath);
    // Without a short name (8.3 names turned off) the system gives the long name back, which has
    // no exact form either.
    if (shortName.empty() || HasWildcards(shortName.c_str()))
        return false;
    if (!SameWideName(LastName(AskedPath(GetLongPathNameW, shortPath)), longName))
        return false;
    bool exact = false;
    name = ToAnsi(shortName.c_str(), exact);
    return exact;
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

bool ReachablePath(const wchar_t *widePath, String &path)
{
    if (!IsFullPath(widePath) || HasWildcards(widePath))
        return false;
    bool exact = false;
    path = ToAnsi(widePath, exact);
    if (exact)
        return true;
    // Name by name: one that the code page cannot spell is taken by its short name, each decided
    // on its own, since a volume may hold names with and without one.
    const std::wstring whole = widePath;
    String reached;
    for (size_t start = 0;;) {
        const size_t found = whole.find(L'\\', start);
        const size_t end = found == std::wstring::npos ? whole.size() : found;
        const std::wstring name = whole.substr(start, end - start);
        String part = ToAnsi(name.c_str(), exact);
        if (!exact && !ShortNameOf(whole.substr(0, end), name, part))
            return false;
        reached += part;
        if (end == whole.size())
            break;
        reached += "\\";
        start = end + 1;
    }
    path = reached;
    return true;
}

std::wstring LongWidePath(const String &path)
{
    return AskedPath(GetLongPathNameW, ToWide(path));
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
