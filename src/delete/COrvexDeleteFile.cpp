#include "delete/COrvexDeleteFile.h"
#include "common/ComPtr.h"
#include "common/CommandInfo.h"
#include "common/DropList.h"
#include "common/QueryTable.h"
#include "common/Exceptions.h"
#include "delete/LinkGuard.h"
#include "delete/MessagePump.h"
#include "delete/Requests.h"
#include "module/Module.h"
#include "module/TypeInfo.h"
#include "ui/ConfirmDlg.h"
#include "ui/MessageDlg.h"

#include <new>
#include <shellapi.h>
#include <shlwapi.h>

namespace {

const char kEmptySelectionText[] = "Internal error.\rUnable to delete file";
// The two questions differ in their line break: a line feed for several items, a carriage return for one.
const char kConfirmSeveralText[] = "Do you really want delete selected items\nusing Talmior 2005 Secure Delete ?";
const char kConfirmOneText[] = "Do you really want delete selected item"
                               "\rusing Talmior 2005 Secure Delete ?";
const char kCommandBlockSuffix[] = "_memFile";
const DWORD kCommandBlockSize = sizeof(UINT32);
const UINT kEmptyBinQuietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
const UINT kCommandsAdded = 1;

// The HRESULT for the exception being handled; only ever called inside a catch block.
HRESULT CaughtExceptionResult()
{
    try {
        throw;
    } catch (const COutOfMemory &) {
        return E_OUTOFMEMORY;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (const CInvalidArg &) {
        return E_INVALIDARG;
    } catch (...) {
        return E_FAIL;
    }
}

// The progress dialog for the length of one command; it goes however the command ends.
class CProgressShown
{
public:
    explicit CProgressShown(COrvexDeleteFile &handler) : m_dialog(handler.m_progress)
    {
        m_dialog.Create(nullptr);
        ShowWindow(m_dialog.m_hWnd, SW_SHOWNORMAL);
        SetForegroundWindow(m_dialog.m_hWnd);
        m_dialog.SetCancelFlag(&handler.m_bCancelled);
    }
    ~CProgressShown() { DestroyWindow(m_dialog.m_hWnd); }
    CProgressShown(const CProgressShown &) = delete;
    CProgressShown &operator=(const CProgressShown &) = delete;

private:
    CProgressDlg &m_dialog;
};

// From ClearRaw: the request's own paths, no question asked; stops at a cancel before the next path.
HRESULT RunPathListCommand(COrvexDeleteFile &handler, size_t count)
{
    const PathListRequest *request = handler.m_pPathListRequest;
    if (!CLiveRecord::IsLive(request, CLiveRecord::PathListKind))
        return E_FAIL;
    CProgressShown progress(handler);
    for (size_t i = 0; i < count && i < request->paths.Count(); ++i) {
        if (handler.m_bCancelled)
            break;
        handler.DeletePath(request->paths[i], handler.m_progress);
    }
    return S_OK;
}

// The desktop's Recycle Bin icon shows full or empty; shell32 offers the call since Windows XP.
void UpdateRecycleBinIcon()
{
    using UpdateIcon = void(WINAPI *)();
    const HMODULE shell = GetModuleHandleA("shell32.dll");
    const FARPROC update = shell ? GetProcAddress(shell, "SHUpdateRecycleBinIcon") : nullptr;
    if (update)
        reinterpret_cast<UpdateIcon>(reinterpret_cast<void *>(update))();
}

// From ClearRecycle: each bin folder is cleaned, then emptied in the shell's books too. A bin
// cancelled half-way is left as the shell sees it. The shell learns of every bin that lost
// anything, so that the desktop icon and an open Recycle Bin window show what is left.
HRESULT RunRecycleCommand(COrvexDeleteFile &handler, size_t count)
{
    const RecycleRequest *request = handler.m_pRecycleRequest;
    if (!CLiveRecord::IsLive(request, CLiveRecord::RecycleKind) || !request->useKeepList)
        return E_FAIL;
    CProgressShown progress(handler);
    const size_t deletedBefore = handler.m_deletedItems;
    for (size_t i = 0; i < count; ++i) {
        if (handler.m_bCancelled)
            break;
        const String folder = handler.m_paths[i];
        // A bin that has gone since it was found, or is now a link, is nobody's bin to empty.
        if (!PathIsDirectoryA(folder.c_str()) || IsLinkPath(folder))
            continue;
        const size_t deletedBeforeBin = handler.m_deletedItems;
        handler.DeletePath(folder, handler.m_progress);
        const bool cancelled = handler.m_bCancelled;
        if (!cancelled)
            SHEmptyRecycleBinA(nullptr, folder.c_str(), kEmptyBinQuietly);
        if (handler.m_deletedItems != deletedBeforeBin)
            SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, folder.c_str(), nullptr);
        if (cancelled)
            break;
        DispatchOnePendingMessage();
    }
    if (handler.m_deletedItems != deletedBefore)
        UpdateRecycleBinIcon();
    return S_OK;
}

HRESULT RunShellCommand(COrvexDeleteFile &handler, size_t count)
{
    // The question is about everything the user selected, also what no path reaches.
    const PathList &unreachable = handler.m_unreachable;
    const size_t selected = count + unreachable.Count();
    // Nothing to delete: the user learns it, and the command ends without asking anything.
    if (selected == 0) {
        CMessageDlg().Show(kEmptySelectionText, g_productTitle);
        return E_FAIL;
    }
    const bool several = selected > 1;
    CConfirmDlg confirm;
    confirm.Show(several ? kConfirmSeveralText : kConfirmOneText, g_productTitle);
    if (!confirm.m_bConfirmed)
        return several ? S_OK : E_FAIL;
    // Each once, before the work starts; the rest of the selection goes on.
    ReportUnreachable(unreachable);
    if (count == 0)
        return S_OK;
    CProgressShown progress(handler);
    // No cancel test here: after a cancel DeletePath itself declines the remaining paths.
    for (size_t i = 0; i < count; ++i) {
        const String path = handler.m_paths[i];
        handler.DeletePath(path, handler.m_progress);
        DispatchOnePendingMessage();
    }
    return S_OK;
}

// A request's paths join the selection; on failure nothing of it stays to be deleted later.
HRESULT AppendRequestPaths(PathList &paths, const PathList &requested)
{
    try {
        paths.Append(requested);
        return S_OK;
    } catch (...) {
        paths.Clear();
        return CaughtExceptionResult();
    }
}

// ClearRecycle and ClearRaw: the argument is a record of this module passed by address, never
// a COM object. Anything that is not a live record of the expected kind (an object from
// IDispatch::Invoke or any other client) is refused before a single byte of it is read.
// Otherwise its paths join the selection, its address is kept for the command, and the
// command runs without a question.
template <typename Request>
HRESULT RunRequest(COrvexDeleteFile &handler, IUnknown *pUnk, CLiveRecord::Kind kind, PathList Request::*paths,
                   Request *&requestSlot)
{
    if (!pUnk)
        return E_FAIL;
    if (!CLiveRecord::IsLive(pUnk, kind))
        return E_INVALIDARG;
    Request *request = reinterpret_cast<Request *>(pUnk);
    const HRESULT appended = AppendRequestPaths(handler.m_paths, request->*paths);
    if (FAILED(appended))
        return appended;
    requestSlot = request;
    handler.LoadSettings();
    const HRESULT hr = handler.InvokeCommand(nullptr);
    // The record lives on the caller's stack for this one call.
    requestSlot = nullptr;
    return hr;
}

} // namespace

COrvexDeleteFile::COrvexDeleteFile()
    : m_refCount(0), m_passCount(0), m_bCancelled(false), m_pRecycleRequest(nullptr), m_pPathListRequest(nullptr),
      m_bMutexExisted(false), m_pCheckedFile(nullptr), m_deletedItems(0)
{
    g_module.Lock();
}

COrvexDeleteFile::~COrvexDeleteFile()
{
    ReleaseSyncMutex();
    CloseCommandMap();
    g_module.Unlock();
}

HRESULT COrvexDeleteFile::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    COrvexDeleteFile *handler = nullptr;
    try {
        handler = new (std::nothrow) COrvexDeleteFile;
    } catch (...) {
        return CaughtExceptionResult();
    }
    if (!handler)
        return E_OUTOFMEMORY;
    handler->AddRef();
    const HRESULT hr = handler->QueryInterface(riid, ppv);
    handler->Release();
    return hr;
}

STDMETHODIMP COrvexDeleteFile::QueryInterface(REFIID riid, void **ppv)
{
    // The first row also answers IUnknown.
    static const QITAB interfaces[] = {
        QITABENT(COrvexDeleteFile, ICOrvexDeleteFile),
        QITABENTMULTI(COrvexDeleteFile, IDispatch, ICOrvexDeleteFile),
        QITABENT(COrvexDeleteFile, IShellExtInit),
        QITABENT(COrvexDeleteFile, IContextMenu),
        QITABENT(COrvexDeleteFile, IProvideClassInfo),
        {nullptr, 0},
    };
    return QueryFromTable(this, interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) COrvexDeleteFile::AddRef()
{
    return ++m_refCount;
}

STDMETHODIMP_(ULONG) COrvexDeleteFile::Release()
{
    const LONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP COrvexDeleteFile::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COrvexDeleteFile::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    return DispatchGetTypeInfo(IID_ICOrvexDeleteFile, index, info);
}

STDMETHODIMP COrvexDeleteFile::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    return DispatchGetIDsOfNames(IID_ICOrvexDeleteFile, riid, names, count, ids);
}

STDMETHODIMP COrvexDeleteFile::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                      EXCEPINFO *excepInfo, UINT *argErr)
{
    return DispatchInvoke(IID_ICOrvexDeleteFile, static_cast<ICOrvexDeleteFile *>(this), id, riid, flags, params,
                          result, excepInfo, argErr);
}

STDMETHODIMP COrvexDeleteFile::GetClassInfo(ITypeInfo **info)
{
    return LoadModuleTypeInfo(CLSID_CCOrvexDeleteFile, info);
}

STDMETHODIMP COrvexDeleteFile::ClearRecycle(IUnknown *pUnk)
{
    return RunRequest(*this, pUnk, CLiveRecord::RecycleKind, &RecycleRequest::folders, m_pRecycleRequest);
}

STDMETHODIMP COrvexDeleteFile::ClearRaw(IUnknown *pUnk)
{
    return RunRequest(*this, pUnk, CLiveRecord::PathListKind, &PathListRequest::paths, m_pPathListRequest);
}

void COrvexDeleteFile::PublishCommandId(UINT idCmd)
{
    CloseCommandMap();
    try {
        const String name = g_productTitle + kCommandBlockSuffix;
        // An existing block is simply opened: the last writer's value is the one that counts.
        m_hCommandMap.Reset(
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kCommandBlockSize, name.c_str()));
    } catch (...) {
        return; // no name, no block: nothing is published
    }
    if (!m_hCommandMap)
        return;
    m_pCommandView.Reset(MapViewOfFile(m_hCommandMap.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (m_pCommandView)
        *static_cast<UINT32 *>(m_pCommandView.Get()) = idCmd;
}

void COrvexDeleteFile::CloseCommandMap()
{
    m_pCommandView.Reset();
    m_hCommandMap.Reset();
}

void COrvexDeleteFile::ReleaseSyncMutex()
{
    if (!m_hSyncMutex)
        return;
    // A handle to a mutex that another handler created is not ownership; releasing it would
    // take the mutex from its owner when both handlers share a thread.
    if (!m_bMutexExisted)
        ReleaseMutex(m_hSyncMutex.Get());
    m_hSyncMutex.Reset();
}

STDMETHODIMP COrvexDeleteFile::Initialize(PCIDLIST_ABSOLUTE, IDataObject *dataObject, HKEY)
{
    // A repeated Initialize starts over: the earlier mutex and selection are given up first.
    ReleaseSyncMutex();
    m_bMutexExisted = false;
    m_paths.Clear();
    m_unreachable.Clear();

    HANDLE mutex = CreateMutexA(nullptr, TRUE, g_syncMutexName.c_str());
    const DWORD createError = GetLastError();
    m_hSyncMutex.Reset(mutex);
    if (mutex && createError == ERROR_ALREADY_EXISTS) {
        // Another handler, in this process or another, holds it: the shell leaves this one out.
        m_bMutexExisted = true;
        ReleaseSyncMutex();
        return E_INVALIDARG;
    }
    if (!dataObject) {
        ReleaseSyncMutex();
        return E_INVALIDARG;
    }
    const CDropList dropList(dataObject);
    if (!dropList.Fetched()) {
        ReleaseSyncMutex();
        return E_FAIL;
    }
    if (!dropList.Locked())
        return E_INVALIDARG;
    try {
        dropList.AppendPathsTo(m_paths, m_unreachable);
    } catch (...) {
        // Half a selection is never offered for deletion.
        m_paths.Clear();
        m_unreachable.Clear();
        ReleaseSyncMutex();
        return CaughtExceptionResult();
    }
    LoadSettings();
    return S_OK;
}

STDMETHODIMP COrvexDeleteFile::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT, UINT flags)
{
    // A default-only menu (a double-click, Enter) wants only the default verb, which is never
    // Secure Delete: no item, no published id, and the mutex goes, so that the menu the user
    // opens next is the same as without this one.
    if (flags & CMF_DEFAULTONLY) {
        ReleaseSyncMutex();
        return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0);
    }
    InsertMenuA(menu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, g_menuText.c_str());
    PublishCommandId(idCmdFirst);
    return MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, kCommandsAdded);
}

// The command of the one item; the automation methods call it with no argument at all.
STDMETHODIMP COrvexDeleteFile::InvokeCommand(CMINVOKECOMMANDINFO *info)
{
    // Another handler's verb or offset, or no dialogs allowed: left to the shell, untouched.
    if (info && !IsOwnItemCommand(*info))
        return E_FAIL;
    // A host closing during the run gets its WM_QUIT back when the command returns.
    const CQuitHold quitHold;
    m_bCancelled = false;
    // From here on a menu opened elsewhere may offer Secure Delete again.
    ReleaseSyncMutex();
    const size_t count = m_paths.Count();
    try {
        if (m_pPathListRequest && !m_pRecycleRequest)
            return RunPathListCommand(*this, count);
        if (m_pRecycleRequest && !m_pPathListRequest)
            return RunRecycleCommand(*this, count);
        return RunShellCommand(*this, count);
    } catch (...) {
        return CaughtExceptionResult();
    }
}

STDMETHODIMP COrvexDeleteFile::GetCommandString(UINT_PTR, UINT, UINT *, CHAR *, UINT)
{
    return E_NOTIMPL;
}
