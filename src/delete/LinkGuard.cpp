#include "delete/LinkGuard.h"

#include "common/AnsiName.h"
#include "delete/COrvexDeleteFile.h"

namespace {

using FinalPathFn = DWORD(WINAPI *)(HANDLE, LPWSTR, DWORD, DWORD);
using FileInfoExFn = BOOL(WINAPI *)(HANDLE, int, LPVOID, DWORD);
const DWORD kFinalPathBuffer = 1024;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// How GetFinalPathNameByHandle begins a path with a drive letter.
const wchar_t kResolvedPrefix[] = L"\\\\?\\";

// GetFileInformationByHandleEx's classes and records, as Vista and later define them.
const int kFileStandardInfo = 1;
const int kFileAttributeTagInfo = 9;
struct FileStandardInfo
{
    LARGE_INTEGER allocationSize;
    LARGE_INTEGER endOfFile;
    DWORD numberOfLinks;
    BOOLEAN deletePending;
    BOOLEAN directory;
};
struct FileAttributeTagInfo
{
    DWORD fileAttributes;
    DWORD reparseTag;
};

template <typename Function>
Function Kernel32Function(const char *name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// Vista and later; the older systems have no file symbolic links to find. Wide: the ANSI form of
// a name the code page cannot spell is a best-fit one, which two different files may share.
FinalPathFn FinalPathFunction()
{
    static const FinalPathFn function = Kernel32Function<FinalPathFn>("GetFinalPathNameByHandleW");
    return function;
}

// Vista and later. GetFileInformationByHandle also asks for the volume's serial number, which
// on some systems (Wine) costs a round trip to another process for every file.
FileInfoExFn FileInfoExFunction()
{
    static const FileInfoExFn function = Kernel32Function<FileInfoExFn>("GetFileInformationByHandleEx");
    return function;
}

bool QueryLinksAndAttributes(HANDLE file, DWORD &links, DWORD &attributes)
{
    if (const FileInfoExFn infoEx = FileInfoExFunction()) {
        FileStandardInfo standard;
        FileAttributeTagInfo tag;
        if (!infoEx(file, kFileStandardInfo, &standard, sizeof(standard)) ||
            !infoEx(file, kFileAttributeTagInfo, &tag, sizeof(tag)))
            return false;
        links = standard.numberOfLinks;
        attributes = tag.fileAttributes;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return false;
    links = info.nNumberOfLinks;
    attributes = info.dwFileAttributes;
    return true;
}

// Where the system resolves an open file to, links followed; empty when unknown.
std::wstring FinalPath(HANDLE file, FinalPathFn finalPath)
{
    std::wstring resolved(kFinalPathBuffer, L'\0');
    const DWORD length = finalPath(file, &resolved[0], kFinalPathBuffer, 0);
    resolved.resize(length < kFinalPathBuffer ? length : 0);
    return resolved;
}

CFileHandle OpenForLooking(const String &path)
{
    return CFileHandle(CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
}

std::wstring ResolvedPath(const String &path, FinalPathFn finalPath)
{
    const CFileHandle handle = OpenForLooking(path);
    return handle ? FinalPath(handle.Get(), finalPath) : std::wstring();
}

// Some systems show a symbolic link to a file as a plain file (no reparse attribute). Such a
// link resolves to somewhere other than its own folder's resolved path plus its own name. The
// names are compared as the folders list them (the path may give short forms) and in wide text.
bool LivesInItsFolder(const String &path, const std::wstring &resolved, FinalPathFn finalPath)
{
    const std::wstring longPath = LongWidePath(path);
    if (longPath.empty())
        return false;
    // A path that resolves to itself went through no link at all: its folder need not be asked.
    if (SameWideName(kResolvedPrefix + longPath, resolved))
        return true;
    const String name = FileNamePart(path);
    if (name.IsEmpty() || name.Length() >= path.Length())
        return false;
    String folder = path.Left(path.Length() - name.Length());
    if (folder.Length() > 1 && folder[folder.Length() - 2] != ':')
        folder = folder.Left(folder.Length() - 1); // keep the backslash of a drive's root only
    std::wstring expected = ResolvedPath(folder, finalPath);
    if (expected.empty())
        return false;
    if (expected[expected.size() - 1] != L'\\')
        expected += L'\\';
    return SameWideName(expected + longPath.substr(longPath.rfind(L'\\') + 1), resolved);
}

} // namespace

LinkCheck CheckLinks(const String &path)
{
    LinkCheck check;
    check.path = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return check;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        check.verdict = LinkVerdict::Link;
        return check;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return check;

    // Unknown counts as a link: refusing costs a message, not someone's data.
    const CFileHandle file = OpenForLooking(path);
    const FinalPathFn finalPath = FinalPathFunction();
    if (finalPath) {
        check.resolved = file ? FinalPath(file.Get(), finalPath) : std::wstring();
        if (check.resolved.empty() || !LivesInItsFolder(path, check.resolved, finalPath)) {
            check.verdict = LinkVerdict::Link;
            return check;
        }
    }
    if (file && HasOtherNames(file.Get()))
        check.verdict = LinkVerdict::OtherNames;
    return check;
}

bool IsLinkPath(const String &path)
{
    return CheckLinks(path).verdict == LinkVerdict::Link;
}

bool HasOtherNames(HANDLE file)
{
    DWORD links = 0;
    DWORD attributes = 0;
    // Unknown means shared: refusing costs a message, guessing wrong costs someone's data.
    if (!QueryLinksAndAttributes(file, links, attributes))
        return true;
    return links > 1 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool StillResolvesTo(HANDLE file, const std::wstring &resolved)
{
    const FinalPathFn finalPath = FinalPathFunction();
    if (!finalPath || resolved.empty())
        return true;
    return SameWideName(FinalPath(file, finalPath), resolved);
}

bool StillResolvesTo(const String &path, const std::wstring &resolved)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    if (resolved.empty())
        return true;
    const CFileHandle file = OpenForLooking(path);
    return file && StillResolvesTo(file.Get(), resolved);
}
