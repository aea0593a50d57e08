#include "link/CShelLinkHandler.h"
#include "common/ComPtr.h"
#include "common/CommandInfo.h"
#include "common/DropList.h"
#include "common/QueryTable.h"
#include "delete/COrvexDeleteFile.h"
#include "delete/DirectDeleteHandler.h"
#include "delete/Requests.h"
#include "module/Module.h"
#include "module/TypeInfo.h"
#include "ui/ConfirmDlg.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <new>

namespace {

const char kCommandBlockSuffix[] = "_memFile";
const char kConfirmPrefix[] = "Do you really want to delete selected items\nusing ";
const char kConfirmSuffix[] = " Secure Delete?";

} // namespace

CShelLinkHandler::CShelLinkHandler(IUnknown *outer)
    : m_refCount(1), m_bMutexExisted(false), m_inner(this), m_pOuter(outer ? outer : &m_inner)
{
    g_module.Lock();
}

CShelLinkHandler::~CShelLinkHandler()
{
    ReleaseSyncMutex();
    g_module.Unlock();
}

HRESULT CShelLinkHandler::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // An aggregate must hold our inner unknown; any other interface would tie our lifetime to it.
    if (outer && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    CShelLinkHandler *handler = new (std::nothrow) CShelLinkHandler(outer);
    if (!handler)
        return E_OUTOFMEMORY;
    const HRESULT hr = handler->m_inner.QueryInterface(riid, ppv);
    handler->m_inner.Release();
    return hr;
}

STDMETHODIMP CShelLinkHandler::CInnerUnknown::QueryInterface(REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown *>(this);
        AddRef();
        return S_OK;
    }
    // Every other interface is counted on the controlling unknown, as aggregation requires.
    static const QITAB interfaces[] = {
        QITABENT(CShelLinkHandler, IShellinkHandler),
        QITABENTMULTI(CShelLinkHandler, IDispatch, IShellinkHandler),
        QITABENT(CShelLinkHandler, IContextMenu),
        QITABENT(CShelLinkHandler, IShellExtInit),
        QITABENT(CShelLinkHandler, IProvideClassInfo),
        {},
    };
    return QueryFromTable(m_owner, interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) CShelLinkHandler::CInnerUnknown::AddRef()
{
    return ++m_owner->m_refCount;
}

STDMETHODIMP_(ULONG) CShelLinkHandler::CInnerUnknown::Release()
{
    const LONG count = --m_owner->m_refCount;
    if (count == 0)
        delete m_owner;
    return count;
}

STDMETHODIMP CShelLinkHandler::QueryInterface(REFIID riid, void **ppv)
{
    return m_pOuter->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CShelLinkHandler::AddRef()
{
    return m_pOuter->AddRef();
}

STDMETHODIMP_(ULONG) CShelLinkHandler::Release()
{
    return m_pOuter->Release();
}

STDMETHODIMP CShelLinkHandler::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    CComPtr<ITypeInfo> info;
    *count = SUCCEEDED(LoadModuleTypeInfo(IID_IShellinkHandler, info.Receive())) ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CShelLinkHandler::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    return DispatchGetTypeInfo(IID_IShellinkHandler, index, info);
}

STDMETHODIMP CShelLinkHandler::GetIDsOfNames(REFIID, LPOLESTR *, UINT count, LCID, DISPID *ids)
{
    if (ids)
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CShelLinkHandler::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *,
                                      UINT *)
{
    if (result)
        VariantInit(result);
    if (!params)
        return E_INVALIDARG;
    if (params->cArgs != 0 || params->cNamedArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CShelLinkHandler::GetClassInfo(ITypeInfo **info)
{
    return LoadModuleTypeInfo(CLSID_CShelLinkHandler, info);
}

STDMETHODIMP CShelLinkHandler::Initialize(PCIDLIST_ABSOLUTE, IDataObject *dataObject, HKEY)
{
    if (!dataObject)
        return E_INVALIDARG;
    try {
        // A repeated call starts over rather than adding to the list or leaking the earlier handle.
        ReleaseSyncMutex();
        m_files.Clear();
        m_unreachable.Clear();
        m_bMutexExisted = false;

        const CDropList dropList(dataObject);
        if (!dropList.Fetched())
            return E_FAIL;
        if (!dropList.Locked())
            return E_INVALIDARG;
        dropList.AppendPathsTo(m_files, m_unreachable);
        if (m_files.IsEmpty() && m_unreachable.IsEmpty())
            return E_FAIL;

        HANDLE mutex = CreateMutexA(nullptr, TRUE, g_syncMutexName.c_str());
        const DWORD error = GetLastError();
        m_hSyncMutex.Reset(mutex);
        // Unlike the Secure Delete handler, this one never withdraws: it takes the other's item over.
        if (mutex && error == ERROR_ALREADY_EXISTS)
            m_bMutexExisted = true;
        return S_OK;
    } catch (...) {
        m_files.Clear();
        m_unreachable.Clear();
        return E_OUTOFMEMORY;
    }
}

void CShelLinkHandler::ReleaseSyncMutex()
{
    if (!m_hSyncMutex)
        return;
    // A mutex found existing belongs to another handler: only our handle goes.
    if (!m_bMutexExisted)
        ReleaseMutex(m_hSyncMutex.Get());
    m_hSyncMutex.Reset();
}

bool CShelLinkHandler::ReadCommandId(UINT *idCmd)
{
    const String name = g_productTitle + kCommandBlockSuffix;
    CKernelHandle block(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
    if (!block)
        return false;
    CMappedView view(MapViewOfFile(block.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view)
        return false;
    *idCmd = *static_cast<const UINT *>(view.Get());
    return true;
}

STDMETHODIMP CShelLinkHandler::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT, UINT flags)
{
    // Like the Secure Delete handler: nothing in a default-only menu, nothing taken from it, and
    // our handle to the mutex goes, which would otherwise keep the mutex in being for the next menu.
    if (flags & CMF_DEFAULTONLY) {
        ReleaseSyncMutex();
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    }
    InsertMenuA(menu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, g_menuText.c_str());
    UINT published = 0;
    try {
        // A published id equal to ours is a stale one from another menu: removing it would take
        // our own item away and leave the menu without Secure Delete.
        if (m_bMutexExisted && ReadCommandId(&published) && published != idCmdFirst)
            DeleteMenu(menu, published, MF_BYCOMMAND);
    } catch (...) {
        // The block's name could not be built: both items stay.
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP CShelLinkHandler::InvokeCommand(CMINVOKECOMMANDINFO *info)
{
    // Only our own item: when we took the Secure Delete handler's place, its item left the menu,
    // so the shell never hands us its offset.
    if (info && !IsOwnItemCommand(*info))
        return E_FAIL;
    // Given up before asking, so that a menu opened meanwhile offers Secure Delete again.
    ReleaseSyncMutex();
    if (m_files.IsEmpty() && m_unreachable.IsEmpty())
        return E_FAIL;
    try {
        CConfirmDlg confirm;
        confirm.Show(kConfirmPrefix + g_productTitle + kConfirmSuffix, g_productTitle);
        if (!confirm.m_bConfirmed)
            return S_OK;
        // Each once, before the work starts; the rest of the selection goes on.
        ReportUnreachable(m_unreachable);
        if (m_files.IsEmpty())
            return S_OK;

        PathListRequest request;
        request.paths = m_files;
        // The record's address is handed over as it is: to the object itself, never to a proxy.
        const CDirectDeleteHandler deleter;
        if (!deleter.Get())
            return E_FAIL;
        // The deleter reports its own failures to the user.
        deleter.Get()->ClearRaw(reinterpret_cast<IUnknown *>(&request));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP CShelLinkHandler::GetCommandString(UINT_PTR, UINT, UINT *, CHAR *, UINT)
{
    return E_NOTIMPL;
}
