#include "delete/COrvexDeleteFile.h"

#include <shlwapi.h>
#include <cwchar>
#include <new>

#include "common/AnsiName.h"
#include "common/Exceptions.h"
#include "delete/FileNames.h"
#include "delete/LinkGuard.h"
#include "delete/Requests.h"
#include "module/Module.h"
#include "ui/MessageDlg.h"

namespace {

const DWORD kPlainAttributes = FILE_ATTRIBUTE_NORMAL;
const char kCorruptFailure[] = "Unable to corrupt file ";
const char kDeleteFailure[] = "Unable to delete file ";
// A message is one line: a longer path would run off the screen, the item's name first.
const size_t kShownPathLimit = 100;

void Report(const String &text)
{
    CMessageDlg message;
    message.Show(text, g_productTitle);
}

PathList SinglePath(const String &path)
{
    PathList list;
    list.Append(path);
    return list;
}

bool IsDotEntry(const wchar_t *name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Files that must stay in a Recycle Bin (its desktop.ini): exact, case-sensitive names, anywhere
// in the bin. A per-user bin of Vista and later keeps only its own one, in any case: a folder in
// it is a deleted folder, which goes whole. The record is read only while it is one of the
// module's live records.
bool IsKept(const RecycleRequest *request, const String &folder, const wchar_t *name)
{
    if (!CLiveRecord::IsLive(request, CLiveRecord::RecycleKind) || !request->useKeepList)
        return false;
    const PerUserBinPlace place = PlaceInPerUserBin(folder);
    if (place == PerUserBinPlace::Inside)
        return false;
    const PathList &keepList = request->keepList;
    for (size_t i = 0; i < keepList.Count(); ++i) {
        const std::wstring kept = ToWide(keepList[i]);
        if (place == PerUserBinPlace::Bin ? _wcsicmp(kept.c_str(), name) == 0 : kept == name)
            return true;
    }
    return false;
}

// After a cancel nothing more is reported: the user asked for the run to end.
void ReportUnreached(const COrvexDeleteFile &handler, const String &path)
{
    if (!handler.m_bCancelled)
        ReportUnreachable(path);
}

// Depth-first: every entry in the order the listing gives it, a subfolder finished (and
// removed) before the next entry of its parent. Only "." and ".." are skipped. The listing is
// the wide one, whose names are the true ones; an entry that no path reaches is reported and
// left. The search is closed on return, before the caller removes the folder. False when the
// folder's contents could not all be seen: it is reported, and it stays.
bool DeleteFolderEntries(COrvexDeleteFile &handler, const String &path, CProgressDlg &dialog)
{
    const String pattern = JoinPath(path, "*");
    if (!FitsPathBuffer(pattern)) {
        ReportUnreached(handler, path);
        return false;
    }
    const std::wstring widePattern = ToWide(pattern);
    // The folder's part of every entry's wide path, its backslash included.
    const std::wstring widePrefix = widePattern.substr(0, widePattern.size() - 1);
    WIN32_FIND_DATAW entry;
    const CFindHandle search(FindFirstFileW(widePattern.c_str(), &entry));
    if (!search) {
        // A folder without entries (a drive's empty root) gives "not found"; anything else is a
        // folder whose contents are out of sight, not an empty one.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            return true;
        ReportUnreached(handler, path);
        return false;
    }
    do {
        if (IsDotEntry(entry.cFileName))
            continue;
        const std::wstring wideFullPath = widePrefix + entry.cFileName;
        String fullPath;
        if (!ReachablePath(wideFullPath.c_str(), fullPath, entry.cAlternateFileName) || !FitsPathBuffer(fullPath)) {
            bool exact = false;
            ReportUnreached(handler, ToAnsi(wideFullPath.c_str(), exact));
            continue;
        }
        if (PathIsDirectoryA(fullPath.c_str()))
            handler.DeleteFolderList(SinglePath(fullPath), true, dialog);
        else if (!IsKept(handler.m_pRecycleRequest, path, entry.cFileName))
            handler.SecureDeleteFile(fullPath, dialog);
    } while (FindNextFileW(search.Get(), &entry));
    if (GetLastError() == ERROR_NO_MORE_FILES)
        return true;
    ReportUnreached(handler, path);
    return false;
}

// Out of memory or a bad index in the string and list types abandons the item with E_FAIL.
template <typename Work>
HRESULT FailOnModuleException(Work work)
{
    try {
        return work();
    } catch (const COutOfMemory &) {
    } catch (const CInvalidArg &) {
    } catch (const std::bad_alloc &) {
    }
    return E_FAIL;
}

} // namespace

void ReportNotDeleted(const String &path)
{
    Report(kDeleteFailure + path);
}

void ReportUnreachable(const String &path)
{
    Report(kDeleteFailure + ShortenedForDisplay(path, kShownPathLimit));
}

void ReportUnreachable(const PathList &paths)
{
    for (size_t i = 0; i < paths.Count(); ++i)
        ReportUnreachable(paths[i]);
}

HRESULT COrvexDeleteFile::DeletePath(const String &path, CProgressDlg &dialog)
{
    return FailOnModuleException([&] {
        // A name that the path calls would rewrite ("sub." read as "sub") is taken to the item it
        // spells, by its short name; never to the neighbour that bears the rewritten name.
        String reached = path;
        const std::wstring widePath = ToWide(path);
        if (HasRewrittenName(widePath) && (!ReachablePath(widePath.c_str(), reached) || !FitsPathBuffer(reached))) {
            ReportUnreached(*this, path);
            return E_FAIL;
        }
        const bool isFolder = PathIsDirectoryA(reached.c_str()) != FALSE;
        // A selected folder link stays with all behind it, and the user is told.
        if (isFolder && IsLinkPath(reached)) {
            if (!m_bCancelled)
                ReportNotDeleted(reached);
            return HRESULT_FROM_WIN32(kLinkedFileError);
        }
        const PathList single = SinglePath(reached);
        // The bins handed over by ClearRecycle stay; only their contents go.
        if (isFolder)
            return DeleteFolderList(single, m_pRecycleRequest == nullptr, dialog);
        return DeleteFileList(single, dialog);
    });
}

HRESULT COrvexDeleteFile::DeleteFileList(const PathList &paths, CProgressDlg &dialog)
{
    return FailOnModuleException([&] {
        const size_t count = paths.Count();
        for (size_t i = 0; i < count && !m_bCancelled; ++i)
            SecureDeleteFile(paths[i], dialog);
        return S_OK;
    });
}

HRESULT COrvexDeleteFile::DeleteFolderList(const PathList &paths, bool removeFolders, CProgressDlg &dialog)
{
    HRESULT result = E_FAIL;
    const size_t count = paths.Count();
    for (size_t i = 0; i < count; ++i) {
        const String &path = paths[i];
        if (!PathIsDirectoryA(path.c_str())) {
            result = SecureDeleteFile(path, dialog);
            continue;
        }
        // Behind a folder link lies another tree. The link stays, like any folder that cannot
        // be removed, and so does the folder holding it.
        if (IsLinkPath(path))
            continue;

        const bool seenWhole = DeleteFolderEntries(*this, path, dialog);

        // A drive's root is never removed, nor are its attributes changed: only its contents go.
        if (removeFolders && seenWhole && !PathIsRootA(path.c_str())) {
            // Fails while anything is left inside (kept, failed, cancelled): the folder stays.
            ResetAttributes(path, &kPlainAttributes);
            if (RemoveDirectoryA(path.c_str()))
                ++m_deletedItems;
        }
    }
    return result;
}

const LinkCheck *COrvexDeleteFile::CheckedFileFor(const String &path) const
{
    return m_pCheckedFile && m_pCheckedFile->path == path ? m_pCheckedFile : nullptr;
}

namespace {

// The step's one look at its file, for the calls the step makes on it.
class CCheckedFileScope
{
public:
    CCheckedFileScope(const LinkCheck *&slot, const LinkCheck &check) : m_slot(slot), m_previous(slot)
    {
        slot = &check;
    }
    ~CCheckedFileScope() { m_slot = m_previous; }
    CCheckedFileScope(const CCheckedFileScope &) = delete;
    CCheckedFileScope &operator=(const CCheckedFileScope &) = delete;

private:
    const LinkCheck *&m_slot;
    const LinkCheck *m_previous;
};

} // namespace

HRESULT COrvexDeleteFile::SecureDeleteFile(const String &path, CProgressDlg &dialog)
{
    // One look before anything changes: a file that is refused keeps its attributes too,
    // which belong to the file and so to its other names as well.
    const LinkCheck check = CheckLinks(path);
    // A link to a file elsewhere is neither overwritten nor deleted: it stays, and the user
    // is told it was not deleted.
    if (check.verdict == LinkVerdict::Link) {
        if (m_bCancelled)
            return S_OK;
        ReportNotDeleted(path);
        return HRESULT_FROM_WIN32(kLinkedFileError);
    }
    const CCheckedFileScope checked(m_pCheckedFile, check);
    HRESULT hr = HRESULT_FROM_WIN32(kLinkedFileError); // its contents live under another name too
    if (check.verdict == LinkVerdict::Own) {
        ResetAttributes(path, &kPlainAttributes);
        hr = CorruptFile(path, m_passCount, dialog);
    }
    if (FAILED(hr)) {
        // The progress window would cover the message; it stays hidden for the rest of the run.
        ShowWindow(dialog.m_hWnd, SW_HIDE);
        Report(kCorruptFailure + FileNamePart(path));
        return hr;
    }
    // Cancelled part-way: the file stays, partly overwritten.
    if (m_bCancelled)
        return S_OK;
    hr = RemoveFile(path);
    if (FAILED(hr))
        ReportNotDeleted(path);
    else
        ++m_deletedItems;
    return hr;
}

HRESULT COrvexDeleteFile::RemoveFile(const String &path)
{
    // Wine deletes the target of a link it is asked to delete.
    const LinkCheck *checked = CheckedFileFor(path);
    if (checked ? !StillResolvesTo(path, checked->resolved) : IsLinkPath(path))
        return E_FAIL;
    ResetAttributes(path, &kPlainAttributes);
    return DeleteFileA(path.c_str()) ? S_OK : E_FAIL;
}

HRESULT COrvexDeleteFile::ResetAttributes(const String &path, const DWORD *attributes)
{
    if (!attributes)
        return E_POINTER;
    // FILE_ATTRIBUTE_NORMAL is reported only for a plain file; a failed query has every bit set.
    const DWORD current = GetFileAttributesA(path.c_str());
    if (current & FILE_ATTRIBUTE_NORMAL)
        return S_OK;
    // Changing a link's attributes may change those of its target.
    if (!CheckedFileFor(path) && IsLinkPath(path))
        return S_OK;
    return SetFileAttributesA(path.c_str(), *attributes) ? S_OK : E_FAIL;
}
