#include "module/Module.h"
#include "OrvexShellExtensions.h"
#include "resource.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

CModule::CModule()
    : m_lockCount(0),
      m_instance(reinterpret_cast<HINSTANCE>(&__ImageBase)),
      m_libId(LIBID_OrvexShellExtensions),
      m_initFailed(false),
      m_createRecords(nullptr),
      m_windowClasses(),
      m_windowClassCount(0)
{
    if (!InitializeCriticalSectionAndSpinCount(&m_classObjectLock, 0))
        m_initFailed = true;
    InitializeCriticalSection(&m_windowCreateLock);
    m_captionBitmap.Reset(LoadBitmapA(m_instance, MAKEINTRESOURCEA(IDB_CAPTION)));
    m_bodyBitmap.Reset(LoadBitmapA(m_instance, MAKEINTRESOURCEA(IDB_BODY)));
}

CModule::~CModule()
{
    for (int i = 0; i < m_windowClassCount; ++i)
        UnregisterClassA(MAKEINTATOM(m_windowClasses[i]), m_instance);
    while (m_createRecords) {
        CreateRecord *next = m_createRecords->next;
        delete m_createRecords;
        m_createRecords = next;
    }
    DeleteCriticalSection(&m_windowCreateLock);
    if (!m_initFailed)
        DeleteCriticalSection(&m_classObjectLock);
}

void CModule::AddCreateRecord(void *object)
{
    CreateRecord *record = new CreateRecord{object, GetCurrentThreadId(), nullptr};
    EnterCriticalSection(&m_windowCreateLock);
    record->next = m_createRecords;
    m_createRecords = record;
    LeaveCriticalSection(&m_windowCreateLock);
}

void *CModule::TakeCreateRecord()
{
    const DWORD thread = GetCurrentThreadId();
    void *object = nullptr;
    EnterCriticalSection(&m_windowCreateLock);
    for (CreateRecord **link = &m_createRecords; *link; link = &(*link)->next) {
        if ((*link)->threadId == thread) {
            CreateRecord *record = *link;
            *link = record->next;
            object = record->object;
            delete record;
            break;
        }
    }
    LeaveCriticalSection(&m_windowCreateLock);
    return object;
}

void CModule::AddWindowClass(ATOM atom)
{
    if (atom && m_windowClassCount < static_cast<int>(sizeof(m_windowClasses) / sizeof(m_windowClasses[0])))
        m_windowClasses[m_windowClassCount++] = atom;
}

// Built in this order before any entry point runs: the menu texts depend on the title.
CModule g_module;
const String g_productTitle("Talmior 2005 Trial");
const String g_menuText = g_productTitle + " Secure Delete";
const String g_recycleMenuText = "Empty Recycle Bin(s) With " + g_productTitle + " Secure Delete";
const String g_syncMutexName("Orvex2005ShellSychMutex");
const String g_recycleMutexName("Orvex2005ShellRecycleCleanerMutex");
