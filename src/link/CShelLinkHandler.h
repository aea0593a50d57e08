#pragma once
#include <windows.h>
#include <shlobj.h>

#include "OrvexShellExtensions.h"
#include "common/PathList.h"
#include "common/Scoped.h"

// The second Secure Delete handler: when the Secure Delete handler is in the same menu it takes
// that item's place, and on its command it hands its selection to a fresh Secure Delete handler.
// It deletes nothing itself. Aggregatable: its IUnknown methods go to the controlling unknown,
// which is the outer object in an aggregate and the inner unknown (m_inner) otherwise.
class CShelLinkHandler : public IShellinkHandler, public IContextMenu, public IShellExtInit, public IProvideClassInfo
{
public:
    explicit CShelLinkHandler(IUnknown *outer);
    static HRESULT CreateInstance(IUnknown *outer, REFIID riid, void **ppv);

    // IUnknown, delegating
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the interface has no members, so there is nothing to call.
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *excepInfo, UINT *argErr) override;

    // The class's own operations, in this slot order.
    virtual void ReleaseSyncMutex();
    // The command id a Secure Delete handler published last; false when there is none to read.
    virtual bool ReadCommandId(UINT *idCmd);
    virtual ~CShelLinkHandler();

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO *info) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT *reserved, CHAR *name, UINT cchMax) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject *dataObject, HKEY progIdKey) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo **info) override;

    // The non-delegating unknown: it alone owns the object's lifetime and answers IUnknown with itself.
    class CInnerUnknown : public IUnknown
    {
    public:
        explicit CInnerUnknown(CShelLinkHandler *owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        CShelLinkHandler *m_owner;
    };

    LONG m_refCount;
    PathList m_files;
    CKernelHandle m_hSyncMutex;
    bool m_bMutexExisted; // the Secure Delete handler (or another one of ours) held the mutex first
    CInnerUnknown m_inner;
    IUnknown *m_pOuter; // the controlling unknown; not counted, it outlives us
    PathList m_unreachable; // selected items that no path reaches, as they can be shown
};
