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

// Looked up at each use, not kept: a table search, cheap beside the open it serves.
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
    return Kernel32Function<FinalPathFn>("GetFinalPathNameByHandleW");
}

// What an open file is: its attributes, its reparse tag (0 where the volume does not say) and
// how many names lead to it; known: whether the file answered at all.
struct FileFacts
{
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    DWORD links = 0;
    bool known = false;
};

bool QueryFacts(HANDLE file, FileFacts &facts)
{
    // Vista and later. GetFileInformationByHandle also asks for the volume's serial number, which
    // on some systems (Wine) costs a round trip to another process for every file.
    if (const FileInfoExFn infoEx = Kernel32Function<FileInfoExFn>("GetFileInformationByHandleEx")) {
        FileStandardInfo standard;
        FileAttributeTagInfo tag;
        if (infoEx(file, kFileStandardInfo, &standard, sizeof(standard)) &&
            infoEx(file, kFileAttributeTagInfo, &tag, sizeof(tag))) {
            facts.links = standard.numberOfLinks;
            facts.attributes = tag.fileAttributes;
            facts.reparseTag = tag.reparseTag;
            facts.known = true;
            return true;
        }
        // FAT32 and exFAT refuse the attribute-tag class (ERROR_INVALID_PARAMETER); every volume
        // answers the older query. It gives no tag, which those volumes have no use for.
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return false;
    facts.links = info.nNumberOfLinks;
    facts.attributes = info.dwFileAttributes;
    facts.known = true;
    return true;
}

// Only name surrogates (symbolic links, junctions, mount points) lead elsewhere; cloud files and
// the volume's own storage tags are files in their place. A reparse point whose tag is unknown
// counts as a link.
bool IsLink(const FileFacts &facts)
{
    return (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (facts.reparseTag == 0 || IsReparseTagNameSurrogate(facts.reparseTag));
}

// Bytes an overwrite cannot reach in place: fetched from elsewhere on access (opening or writing
// would first download them), or stored by the volume in a form of its own (compressed,
// deduplicated, WOF-compressed), so that new bytes go somewhere new and the old stay.
bool IsNotInPlace(const FileFacts &facts)
{
    const DWORD away = FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess | FILE_ATTRIBUTE_COMPRESSED;
    const bool storedByVolume = (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                (facts.reparseTag == static_cast<DWORD>(IO_REPARSE_TAG_DEDUP) ||
                                 facts.reparseTag == static_cast<DWORD>(IO_REPARSE_TAG_WOF));
    return (facts.attributes & away) || storedByVolume;
}

// Where the system resolves an open file to, links followed; empty when unknown.
std::wstring FinalPath(HANDLE file, FinalPathFn finalPath)
{
    std::wstring resolved(kFinalPathBuffer, L'\0');
    const DWORD length = finalPath(file, &resolved[0], kFinalPathBuffer, 0);
    resolved.resize(length < kFinalPathBuffer ? length : 0);
    return resolved;
}

CFileHandle OpenForLooking(const String &path, DWORD flags = 0)
{
    return CFileHandle(CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}

// What an item is, through a handle to the item itself (item): a link is not followed and a
// cloud file is not fetched. Some systems (Wine) show a folder link only to the path query, so
// its attributes count too. False when the path names nothing.
bool LookAt(const String &path, FileFacts &facts, CFileHandle &item)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    item = OpenForLooking(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (item)
        QueryFacts(item.Get(), facts); // facts.known tells whether it answered
    facts.attributes |= attributes;
    return true;
}

// Only a reparse point can be a link; its tag tells which kind it is.
bool IsLinkItem(const String &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    FileFacts facts;
    CFileHandle item;
    return LookAt(path, facts, item) && IsLink(facts);
}

// Where a volume cannot say where a file resolves to (some RAM disks and virtual drives), a link
// still shows on the way: on the file itself or on a folder of its path. One that cannot be
// looked at counts as a link.
bool AnyFolderIsLink(const String &path)
{
    const std::wstring wide = ToWide(path);
    for (size_t end = wide.find(L'\\'); end != std::wstring::npos; end = wide.find(L'\\', end + 1)) {
        const std::wstring folder = wide.substr(0, end);
        if (folder.size() <= 2)
            continue; // a drive ("T:") or the start of a network path
        bool exact = false;
        const String narrowFolder = ToAnsi(folder.c_str(), exact);
        FileFacts facts;
        CFileHandle item;
        if (!exact || !LookAt(narrowFolder, facts, item) || IsLink(facts))
            return true;
    }
    return false;
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
    FileFacts facts;
    CFileHandle file;
    if (!LookAt(path, facts, file))
        return check;
    if (IsLink(facts)) {
        check.verdict = LinkVerdict::Link;
        return check;
    }
    if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY)
        return check;
    // Decided before the file is opened for real: a cloud file would be fetched.
    if (IsNotInPlace(facts)) {
        check.verdict = LinkVerdict::NotInPlace;
        return check;
    }

    // What was opened is the file itself: anything else would have been a link. Unknown counts
    // as a link: refusing costs a message, not someone's data.
    const FinalPathFn finalPath = FinalPathFunction();
    if (finalPath) {
        check.resolved = file ? FinalPath(file.Get(), finalPath) : std::wstring();
        const bool unresolved = check.resolved.empty();
        if (!file || (unresolved && AnyFolderIsLink(path)) ||
            (!unresolved && !LivesInItsFolder(path, check.resolved, finalPath))) {
            check.verdict = LinkVerdict::Link;
            return check;
        }
    }
    // Unknown means shared, as in HasOtherNames.
    if (file && (!facts.known || facts.links > 1))
        check.verdict = LinkVerdict::OtherNames;
    return check;
}

bool IsLinkPath(const String &path)
{
    return CheckLinks(path).verdict == LinkVerdict::Link;
}

bool HasOtherNames(HANDLE file)
{
    FileFacts facts;
    // Unknown means shared: refusing costs a message, guessing wrong costs someone's data.
    if (!QueryFacts(file, facts))
        return true;
    return facts.links > 1 || IsLink(facts);
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
    if (IsLinkItem(path))
        return false;
    if (resolved.empty())
        return true;
    const CFileHandle file = OpenForLooking(path);
    return file && StillResolvesTo(file.Get(), resolved);
}
