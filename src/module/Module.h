#pragma once
#include <windows.h>

#include "common/Scoped.h"
#include "common/String.h"

// Process-wide state of the module: built by the runtime's start-up before DllMain runs,
// torn down after the last call (in the DLL at unload; in a program linking the code, at exit).
class CModule
{
public:
    CModule();
    ~CModule();
    CModule(const CModule &) = delete;
    CModule &operator=(const CModule &) = delete;

    HINSTANCE Instance() const { return m_instance; }
    const GUID &LibId() const { return m_libId; }
    bool InitFailed() const { return m_initFailed; }

    // Live instances, LockServer locks and client-held class objects.
    LONG Lock() { return InterlockedIncrement(&m_lockCount); }
    LONG Unlock() { return InterlockedDecrement(&m_lockCount); }
    LONG LockCount() const { return m_lockCount; }

    // Guards the creation of class objects.
    CRITICAL_SECTION &ClassObjectLock() { return m_classObjectLock; }

    // The two skin bitmaps every dialog frame draws (caption bar 219, body 227); owned here.
    HBITMAP CaptionBitmap() const { return m_captionBitmap.Get(); }
    HBITMAP BodyBitmap() const { return m_bodyBitmap.Get(); }

    // Window creation: an object is entered just before its window is created; the window's
    // start procedure takes the first record of its own thread.
    void AddCreateRecord(void *object);
    void *TakeCreateRecord();

    // Window classes registered by the module, unregistered when it ends.
    void AddWindowClass(ATOM atom);

private:
    struct CreateRecord
    {
        void *object;
        DWORD threadId;
        CreateRecord *next;
    };

    LONG m_lockCount;
    HINSTANCE m_instance;
    GUID m_libId;
    bool m_initFailed;
    CRITICAL_SECTION m_classObjectLock;
    CRITICAL_SECTION m_windowCreateLock;
    CreateRecord *m_createRecords;
    ATOM m_windowClasses[8];
    int m_windowClassCount;
    CBitmap m_captionBitmap;
    CBitmap m_bodyBitmap;
};

extern CModule g_module;

extern const String g_productTitle;     // "Talmior 2005 Trial"
extern const String g_menuText;         // product title + " Secure Delete"
extern const String g_recycleMenuText;  // "Empty Recycle Bin(s) With " + product title + " Secure Delete"
extern const String g_syncMutexName;    // "Orvex2005ShellSychMutex"
extern const String g_recycleMutexName; // "Orvex2005ShellRecycleCleanerMutex"
