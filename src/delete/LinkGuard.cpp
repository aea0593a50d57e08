#include "delete/LinkGuard.h"

#include "delete/COrvexDeleteFile.h"

namespace {

using FinalPathFn = DWORD(WINAPI *)(HANDLE, LPSTR, DWORD, DWORD);
const DWORD kFinalPathBuffer = 1024;

// Vista and later; the older systems have no file symbolic links to find.
FinalPathFn FinalPathFunction()
{
    static const FinalPathFn function = reinterpret_cast<FinalPathFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    return function;
}

// The path the system resolves an existing name to, links followed; empty when unknown.
String ResolvedPath(const String &path, FinalPathFn finalPath)
{
    const CFileHandle handle(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return String();
    String resolved;
    char *buffer = resolved.GetBuffer(kFinalPathBuffer);
    const DWORD length = finalPath(handle.Get(), buffer, kFinalPathBuffer, 0);
    if (length == 0 || length >= kFinalPathBuffer)
        buffer[0] = '\0';
    resolved.ReleaseBuffer();
    return resolved;
}

// Some systems show a symbolic link to a file as a plain file (no reparse attribute). Such a
// link resolves to somewhere other than its own folder's resolved path plus its own name.
bool ResolvesElsewhere(const String &path)
{
    const FinalPathFn finalPath = FinalPathFunction();
    if (!finalPath)
        return false;
    WIN32_FIND_DATAA entry;
    const CFindHandle find(FindFirstFileA(path.c_str(), &entry));
    const String name = FileNamePart(path);
    if (!find || name.Length() >= path.Length())
        return true;
    String folder = path.Left(path.Length() - name.Length());
    if (folder.Length() > 1 && folder[folder.Length() - 2] != ':')
        folder = folder.Left(folder.Length() - 1); // keep the backslash of a drive's root only
    String expected = ResolvedPath(folder, finalPath);
    const String resolved = ResolvedPath(path, finalPath);
    if (expected.IsEmpty() || resolved.IsEmpty())
        return true; // unknown counts as a link: refusing costs a message, not someone's data
    if (expected[expected.Length() - 1] != '\\')
        expected += "\\";
    return lstrcmpiA((expected + entry.cFileName).c_str(), resolved.c_str()) != 0;
}

} // namespace

bool IsLinkPath(const String &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return true;
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && ResolvesElsewhere(path);
}

bool HasOtherNames(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    // Unknown means shared: refusing costs a message, guessing wrong costs someone's data.
    if (!GetFileInformationByHandle(file, &info))
        return true;
    return info.nNumberOfLinks > 1 || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
