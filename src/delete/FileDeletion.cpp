#include "delete/COrvexDeleteFile.h"

#include <mbstring.h>
#include <shlwapi.h>
#include <cstring>
#include <new>

#include "common/Exceptions.h"
#include "delete/LinkGuard.h"
#include "delete/Requests.h"
#include "module/Module.h"
#include "ui/MessageDlg.h"

namespace {

const DWORD kPlainAttributes = FILE_ATTRIBUTE_NORMAL;
const char kCorruptFailure[] = "Unable to corrupt file ";
const char kDeleteFailure[] = "Unable to delete file ";

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

bool IsDotEntry(const char *name)
{
    return std::strcmp(name, ".") == 0 ||
           _mbscmp(reinterpret_cast<const unsigned char *>(name), reinterpret_cast<const unsigned char *>("..")) == 0;
}

// Files that must stay in a Recycle Bin (its desktop.ini): exact, case-sensitive names.
bool IsKept(const RecycleRequest *request, const char *name)
{
    if (!request || !request->useKeepList)
        return false;
    const PathList &keepList = request->keepList;
    for (size_t i = 0; i < keepList.Count(); ++i)
        if (keepList[i].Compare(name) == 0)
            return true;
    return false;
}

// Depth-first: every entry in the order the listing gives it, a subfolder finished (and
// removed) before the next entry of its parent. Only "." and ".." are skipped. The search is
// closed on return, before the caller removes the folder.
void DeleteFolderEntries(COrvexDeleteFile &handler, const String &path, CProgressDlg &dialog)
{
    WIN32_FIND_DATAA entry;
    const CFindHandle search(FindFirstFileA((path + "\\*.*").c_str(), &entry));
    // A folder that cannot be listed counts as empty.
    for (BOOL more = search.IsValid(); more; more = FindNextFileA(search.Get(), &entry)) {
        if (IsDotEntry(entry.cFileName))
            continue;
        const String fullPath = path + "\\" + entry.cFileName;
        if (PathIsDirectoryA(fullPath.c_str()))
            handler.DeleteFolderList(SinglePath(fullPath), true, dialog);
        else if (!IsKept(handler.m_pRecycleRequest, entry.cFileName))
            handler.SecureDeleteFile(fullPath, dialog);
    }
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

void ReportNotDeleted(const PathList &paths)
{
    for (size_t i = 0; i < paths.Count(); ++i)
        ReportNotDeleted(paths[i]);
}

HRESULT COrvexDeleteFile::DeletePath(const String &path, CProgressDlg &dialog)
{
    return FailOnModuleException([&] {
        const bool isFolder = PathIsDirectoryA(path.c_str()) != FALSE;
        const PathList single = SinglePath(path);
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

        DeleteFolderEntries(*this, path, dialog);

        if (removeFolders) {
            // Fails while anything is left inside (kept, failed, cancelled): the folder stays.
            ResetAttributes(path, &kPlainAttributes);
            RemoveDirectoryA(path.c_str());
        }
    }
    return result;
}

HRESULT COrvexDeleteFile::SecureDeleteFile(const String &path, CProgressDlg &dialog)
{
    // A link to a file elsewhere is neither overwritten nor deleted: it stays, and the user
    // is told it was not deleted.
    if (IsLinkPath(path)) {
        if (m_bCancelled)
            return S_OK;
        ReportNotDeleted(path);
        return HRESULT_FROM_WIN32(kLinkedFileError);
    }
    ResetAttributes(path, &kPlainAttributes);
    HRESULT hr = CorruptFile(path, m_passCount, dialog);
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
    return hr;
}

HRESULT COrvexDeleteFile::RemoveFile(const String &path)
{
    // Wine deletes the target of a link it is asked to delete.
    if (IsLinkPath(path))
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
    if (IsLinkPath(path))
        return S_OK;
    return SetFileAttributesA(path.c_str(), *attributes) ? S_OK : E_FAIL;
}
