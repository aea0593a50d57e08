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
    return exact;
}

bool ReachableName(const WIN32_FIND_DATAW &entry, String &name)
{
    if (HasWildcards(entry.cFileName))
        return false;
    bool exact = false;
    name = ToAnsi(entry.cFileName, exact);
    return exact;
}
