#pragma once
#include <windows.h>
#include <shlobj.h>

#include "OrvexShellExtensions.h"
#include "common/PathList.h"
#include "common/Scoped.h"
#include "ui/ProgressDlg.h"

struct RecycleRequest;
struct PathListRequest;
struct LinkCheck;

// The Secure Delete handler of files and folders, and the deletion engine the other two
// handlers drive through ICOrvexDeleteFile. Apartment-threaded: everything runs on the thread
// that created it. Members are public like the fields of a record: the dialogs and the tests
// reach the cancel flag and the pass count directly.
class COrvexDeleteFile : public ICOrvexDeleteFile, public IShellExtInit, public IContextMenu, public IProvideClassInfo
{
public:
    COrvexDeleteFile();
    static HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, from the type library
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *excepInfo, UINT *argErr) override;

    // ICOrvexDeleteFile
    STDMETHODIMP ClearRecycle(IUnknown *pUnk) override;
    STDMETHODIMP ClearRaw(IUnknown *pUnk) override;

    // The class's own operations, in this slot order after ClearRaw; called through the vtable.
    virtual HRESULT DeleteFileList(const PathList &paths, CProgressDlg &dialog);
    virtual HRESULT DeleteFolderList(const PathList &paths, bool removeFolders, CProgressDlg &dialog);
    virtual HRESULT DeletePath(const String &path, CProgressDlg &dialog);
    virtual HRESULT SecureDeleteFile(const String &path, CProgressDlg &dialog);
    virtual HRESULT CorruptFile(const String &path, UINT passCount, CProgressDlg &dialog);
    virtual HRESULT LoadSettings();
    virtual HRESULT RemoveFile(const String &path);
    virtual HRESULT ResetAttributes(const String &path, const DWORD *attributes);
    virtual HRESULT ShortenForDisplay(String &text, size_t maxLength);
    virtual void PublishCommandId(UINT idCmd);
    virtual void CloseCommandMap();
    virtual void ReleaseSyncMutex();
    virtual ~COrvexDeleteFile();

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject *dataObject, HKEY progIdKey) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO *info) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT *reserved, CHAR *name, UINT cchMax) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo **info) override;

    LONG m_refCount;
    PathList m_paths;
    UINT m_passCount;
    CProgressDlg m_progress;
    bool m_bCancelled;
    RecycleRequest *m_pRecycleRequest;
    PathListRequest *m_pPathListRequest;
    CKernelHandle m_hSyncMutex;
    CKernelHandle m_hCommandMap;
    CMappedView m_pCommandView;
    bool m_bMutexExisted;
    // The file of the SecureDeleteFile step under way, as the step's one look at it found it;
    // null between steps. The step's own calls on that path confirm it instead of looking again.
    const LinkCheck *m_pCheckedFile;
    const LinkCheck *CheckedFileFor(const String &path) const;
    // Selected items that no path reaches, as they can be shown; reported when the command runs.
    PathList m_unreachable;
    // Files and folders this handler has deleted: a Recycle Bin run tells the shell of the bins it changed.
    size_t m_deletedItems;
};

// The part of a path after its last backslash.
String FileNamePart(const String &path);

// The text, or when it is longer than maxLength its first half, "......." and its end.
String ShortenedForDisplay(const String &text, size_t maxLength);

// Tells the user that an item stays: "Unable to delete file " and its path.
void ReportNotDeleted(const String &path);
// Tells the user that an item no path reaches stays: the same, with the path as it can be shown
// and shortened in its middle to fit a line on the screen.
void ReportUnreachable(const String &path);
// The same for each item of the list, in order.
void ReportUnreachable(const PathList &paths);
