#pragma once
#include <windows.h>
#include <shlobj.h>

#include "OrvexShellExtensions.h"
#include "common/PathList.h"
#include "common/Scoped.h"

// The Recycle Bin's context-menu handler: finds the non-empty recycle folders of the fixed drives
// and has a fresh Secure Delete handler empty them. It deletes nothing itself. Apartment-threaded;
// members are public like the fields of a record, so that tests can look at what a scan found.
class COrvexRecycleCleaner : public IOrvexRecycleCleaner, public IContextMenu, public IShellExtInit, public IProvideClassInfo
{
public:
    COrvexRecycleCleaner();
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

    // IOrvexRecycleCleaner: scan and hand over in one call, without menu or confirmation.
    STDMETHODIMP Init() override;

    // The class's own operations, in this slot order after Init.
    virtual bool IsBinEmpty(const String &path);
    virtual String FindUserFolder(const String &path);
    virtual void AppendBackslash(String &path);
    virtual void ReleaseCleanerMutex();
    virtual ~COrvexRecycleCleaner();

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO *info) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT *reserved, CHAR *name, UINT cchMax) override;

    // IShellExtInit: the scan. All three arguments are ignored.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject *dataObject, HKEY progIdKey) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo **info) override;

    LONG m_refCount;
    bool m_bNothingToDelete;
    PathList m_bins;     // one folder per fixed drive at most, each ending with a backslash
    PathList m_keepList; // "desktop.ini": the file the bins keep
    CKernelHandle m_hMutex;

private:
    void ScanDrives();
    void AddDriveBin(char letter, const String &userSid);
    String SharedBinPath(const String &root);
};
