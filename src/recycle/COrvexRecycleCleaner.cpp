#include "recycle/COrvexRecycleCleaner.h"
#include "common/ComPtr.h"
#include "common/CommandInfo.h"
#include "common/QueryTable.h"
#include "delete/DirectDeleteHandler.h"
#include "delete/FileNames.h"
#include "delete/Requests.h"
#include "module/Module.h"
#include "module/TypeInfo.h"
#include "ui/ConfirmDlg.h"

#include <mbstring.h>
#include <sddl.h>
#include <shlwapi.h>
#include <cstring>
#include <new>

namespace {

const size_t kPathBufferSize = MAX_PATH;
const size_t kDriveEntryLength = 4; // letter, colon, backslash, terminating zero
const char kDriveSeparator[] = ":\\";
const char kNtBinName[] = "recycler";
const char kOtherBinName[] = "recycled";
const DWORD kFirstPerUserBinsVersion = 6;
const char kAllEntries[] = "*.*";
const char kKeptFileName[] = "desktop.ini";
const char kConfirmPrefix[] = "Do you really want delete items in Recycle Bin(s)\rusing ";
const char kConfirmSuffix[] = " Secure Delete ?";

// Entries a bin holds even when nothing was recycled into it (compared in lower case).
bool IsHousekeeping(const char *lowerName)
{
    static const char *const names[] = {".", "..", "desktop.ini", "info2"};
    for (const char *name : names)
        if (std::strcmp(lowerName, name) == 0)
            return true;
    return false;
}

// Zero-filled when the system does not answer: then neither family nor version is known.
OSVERSIONINFOA SystemVersion()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        version = OSVERSIONINFOA();
    return version;
}

bool IsNtFamily()
{
    return SystemVersion().dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// NT 6.0 (Vista) and later keep a bin per user and drive: X:\$Recycle.Bin\<the user's SID>\.
bool KeepsPerUserBins()
{
    const OSVERSIONINFOA version = SystemVersion();
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= kFirstPerUserBinsVersion;
}

// The process token's user as text (S-1-5-21-...), or an empty string when the system cannot say.
String CurrentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return String();
    const CKernelHandle ownedToken(token);
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, &info, sizeof(info), &size))
        return String();
    char *text = nullptr;
    if (!ConvertSidToStringSidA(info.user.User.Sid, &text))
        return String();
    const CLocalMemory ownedText(text);
    return String(text);
}

// The file-system path the shell gives for the Recycle Bin, or an empty string: it is a virtual
// folder, so normally there is none.
String ShellBinName()
{
    CComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.Receive())))
        return String();
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &items)))
        return String();
    char path[kPathBufferSize] = {};
    const BOOL converted = SHGetPathFromIDListA(items, path);
    allocator->Free(items);
    return converted ? String(path) : String();
}

} // namespace

COrvexRecycleCleaner::COrvexRecycleCleaner() : m_refCount(1), m_bNothingToDelete(true)
{
    m_keepList.Append(String(kKeptFileName));
    g_module.Lock();
}

COrvexRecycleCleaner::~COrvexRecycleCleaner()
{
    ReleaseCleanerMutex();
    g_module.Unlock();
}

HRESULT COrvexRecycleCleaner::CreateInstance(IUnknown *outer, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    COrvexRecycleCleaner *cleaner = nullptr;
    try {
        cleaner = new (std::nothrow) COrvexRecycleCleaner;
    } catch (...) {
        // the keep list could not be built
    }
    if (!cleaner)
        return E_OUTOFMEMORY;
    const HRESULT hr = cleaner->QueryInterface(riid, ppv);
    cleaner->Release();
    return hr;
}

STDMETHODIMP COrvexRecycleCleaner::QueryInterface(REFIID riid, void **ppv)
{
    static const QITAB interfaces[] = {
        QITABENT(COrvexRecycleCleaner, IOrvexRecycleCleaner),
        QITABENTMULTI(COrvexRecycleCleaner, IDispatch, IOrvexRecycleCleaner),
        QITABENT(COrvexRecycleCleaner, IContextMenu),
        QITABENT(COrvexRecycleCleaner, IShellExtInit),
        QITABENT(COrvexRecycleCleaner, IProvideClassInfo),
        {},
    };
    return QueryFromTable(this, interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) COrvexRecycleCleaner::AddRef()
{
    return ++m_refCount;
}

STDMETHODIMP_(ULONG) COrvexRecycleCleaner::Release()
{
    const LONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP COrvexRecycleCleaner::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COrvexRecycleCleaner::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    return DispatchGetTypeInfo(IID_IOrvexRecycleCleaner, index, info);
}

STDMETHODIMP COrvexRecycleCleaner::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    return DispatchGetIDsOfNames(IID_IOrvexRecycleCleaner, riid, names, count, ids);
}

// Invoke of the dispatch id of Init calls Init on this object.
STDMETHODIMP COrvexRecycleCleaner::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params,
                                          VARIANT *result, EXCEPINFO *excepInfo, UINT *argErr)
{
    return DispatchInvoke(IID_IOrvexRecycleCleaner, static_cast<IOrvexRecycleCleaner *>(this), id, riid, flags,
                          params, result, excepInfo, argErr);
}

STDMETHODIMP COrvexRecycleCleaner::GetClassInfo(ITypeInfo **info)
{
    return LoadModuleTypeInfo(CLSID_COrvexRecycleCleaner, info);
}

STDMETHODIMP COrvexRecycleCleaner::Init()
{
    Initialize(nullptr, nullptr, nullptr);
    InvokeCommand(nullptr);
    return S_OK;
}

STDMETHODIMP COrvexRecycleCleaner::Initialize(PCIDLIST_ABSOLUTE, IDataObject *, HKEY)
{
    try {
        // A repeated call starts over: the earlier handle is given up (not leaked) and the bins are
        // scanned afresh, so the list never holds a folder twice or one that has been emptied since.
        ReleaseCleanerMutex();
        m_bins.Clear();
        m_bNothingToDelete = true;

        HANDLE mutex = CreateMutexA(nullptr, TRUE, g_recycleMutexName.c_str());
        const DWORD error = GetLastError();
        m_hMutex.Reset(mutex);
        // Another cleaner is alive: its menu item is the active one, ours stays greyed.
        if (mutex && error == ERROR_ALREADY_EXISTS)
            return S_OK;
        ScanDrives();
    } catch (...) {
        // Out of memory: the bins found so far are real ones; the scan just ends early.
    }
    m_bNothingToDelete = m_bins.IsEmpty();
    return S_OK;
}

void COrvexRecycleCleaner::ScanDrives()
{
    char drives[kPathBufferSize] = {};
    if (GetLogicalDriveStringsA(kPathBufferSize, drives) == 0)
        return;
    const String userSid = CurrentUserSid();
    // The buffer is zero-filled, so the first zero after the list's own final zero ends the walk.
    int zeros = 0;
    for (size_t i = 0; i < kPathBufferSize;) {
        if (drives[i] == '\0') {
            if (++zeros == 2)
                break;
            ++i;
            continue;
        }
        AddDriveBin(drives[i], userSid);
        i += kDriveEntryLength;
    }
}

void COrvexRecycleCleaner::AddDriveBin(char letter, const String &userSid)
{
    const String root = String(&letter, 1) + kDriveSeparator;
    // Removable, network and CD-ROM drives are never cleaned.
    if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED)
        return;

    String path;
    const String perUserBins = root + kPerUserBinsName + "\\";
    if (KeepsPerUserBins() && PathFileExistsA(perUserBins.c_str())) {
        // Only the user's own bin: the folders beside it are other users', and refused to us anyway.
        // A drive where this user never deleted anything has no bin of theirs.
        if (userSid.IsEmpty())
            return;
        path = perUserBins + userSid;
        AppendBackslash(path);
    } else {
        path = SharedBinPath(root);
        if (path.IsEmpty())
            return;
    }
    if (!IsBinEmpty(path)) {
        m_bNothingToDelete = false;
        m_bins.Append(path);
    }
}

// The bin folder of Windows 95 to XP, one per drive for all users, or an empty string: its name
// as the shell gives it or by the system's family, the other name when that is missing, and in
// it, on NT, the first folder named like a user's.
String COrvexRecycleCleaner::SharedBinPath(const String &root)
{
    String name = ShellBinName();
    if (name.IsEmpty())
        name = IsNtFamily() ? kNtBinName : kOtherBinName;
    String path = root + name + "\\";
    if (!PathFileExistsA(path.c_str())) {
        name = std::strcmp(name.c_str(), kNtBinName) == 0 ? kOtherBinName : kNtBinName;
        path = root + name + "\\";
        if (!PathFileExistsA(path.c_str()))
            return String();
    }
    const String userFolder = FindUserFolder(path);
    if (!userFolder.IsEmpty()) {
        path += userFolder;
        AppendBackslash(path);
    }
    return path;
}

String COrvexRecycleCleaner::FindUserFolder(const String &path)
{
    WIN32_FIND_DATAA entry;
    CFindHandle search(FindFirstFileA((path + kAllEntries).c_str(), &entry));
    if (!search)
        return String();
    do {
        // The first entry named like a security identifier is taken, file or folder alike.
        const char *name = entry.cFileName;
        if (name[0] != '\0' && name[1] != '\0' && (name[0] == 'S' || name[0] == 's') && name[1] == '-')
            return String(name);
    } while (FindNextFileA(search.Get(), &entry));
    return String();
}

bool COrvexRecycleCleaner::IsBinEmpty(const String &path)
{
    WIN32_FIND_DATAA entry;
    CFindHandle search(FindFirstFileA((path + kAllEntries).c_str(), &entry));
    if (!search)
        return true;
    do {
        unsigned char lowerName[sizeof(entry.cFileName)];
        std::memcpy(lowerName, entry.cFileName, sizeof(lowerName));
        lowerName[sizeof(lowerName) - 1] = '\0';
        _mbslwr(lowerName);
        if (!IsHousekeeping(reinterpret_cast<const char *>(lowerName)))
            return false;
    } while (FindNextFileA(search.Get(), &entry));
    return true;
}

void COrvexRecycleCleaner::AppendBackslash(String &path)
{
    path += "\\";
}

void COrvexRecycleCleaner::ReleaseCleanerMutex()
{
    if (!m_hMutex)
        return;
    ReleaseMutex(m_hMutex.Get());
    m_hMutex.Reset();
}

STDMETHODIMP COrvexRecycleCleaner::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT, UINT flags)
{
    if (flags & CMF_DEFAULTONLY)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    // An Explorer window with its folder tree: the command counts as used but is not shown.
    if (flags & CMF_EXPLORE)
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
    InsertMenuA(menu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, g_recycleMenuText.c_str());
    if (m_bNothingToDelete)
        EnableMenuItem(menu, idCmdFirst, MF_BYCOMMAND | MF_GRAYED);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP COrvexRecycleCleaner::InvokeCommand(CMINVOKECOMMANDINFO *info)
{
    // Another handler's verb or offset, or no dialogs allowed for our question: not ours.
    if (info && !IsOwnItemCommand(*info))
        return E_FAIL;
    try {
        // Init passes no command information and asks nothing.
        if (info) {
            CConfirmDlg confirm;
            confirm.Show(kConfirmPrefix + g_productTitle + kConfirmSuffix, g_productTitle);
            if (!confirm.m_bConfirmed)
                return S_OK;
        }
        RecycleRequest request;
        request.useKeepList = true;
        request.folders = m_bins;
        request.keepList = m_keepList;

        // The record's address is handed over as it is: to the object itself, never to a proxy.
        const CDirectDeleteHandler deleter;
        if (!deleter.Get())
            return E_FAIL;
        // The deleter reports its own failures to the user.
        deleter.Get()->ClearRecycle(reinterpret_cast<IUnknown *>(&request));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP COrvexRecycleCleaner::GetCommandString(UINT_PTR, UINT, UINT *, CHAR *, UINT)
{
    return E_NOTIMPL;
}
