#include "module/ObjectMap.h"
#include "OrvexShellExtensions.h"
#include "delete/COrvexDeleteFile.h"
#include "link/CShelLinkHandler.h"
#include "module/ClassScripts.h"
#include "module/Module.h"
#include "recycle/COrvexRecycleCleaner.h"

CObjectMap::CObjectMap()
    : m_entries{
          {&CLSID_CCOrvexDeleteFile, UpdateRegistryDeleteFile, CClassFactory::CreateInstance,
           COrvexDeleteFile::CreateInstance, nullptr},
          {&CLSID_CShelLinkHandler, UpdateRegistryShellLink, CClassFactory::CreateInstance,
           CShelLinkHandler::CreateInstance, nullptr},
          {&CLSID_COrvexRecycleCleaner, UpdateRegistryRecycleCleaner, CClassFactory::CreateInstance,
           COrvexRecycleCleaner::CreateInstance, nullptr},
      }
{
}

CObjectMap::~CObjectMap()
{
    for (ObjectMapEntry &entry : m_entries) {
        if (entry.classObject) {
            entry.classObject->Release();
            entry.classObject = nullptr;
        }
    }
}

size_t CObjectMap::Count() const
{
    return sizeof(m_entries) / sizeof(m_entries[0]);
}

const ObjectMapEntry &CObjectMap::Entry(size_t index) const
{
    return m_entries[index];
}

HRESULT CObjectMap::GetClassObject(REFCLSID clsid, REFIID riid, void **ppv)
{
    for (ObjectMapEntry &entry : m_entries) {
        if (!IsEqualCLSID(*entry.clsid, clsid))
            continue;
        IUnknown *classObject = nullptr;
        const HRESULT hr = CachedClassObject(entry, &classObject);
        if (FAILED(hr))
            return hr;
        return classObject->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CObjectMap::CachedClassObject(ObjectMapEntry &entry, IUnknown **classObject)
{
    HRESULT hr = S_OK;
    EnterCriticalSection(&g_module.ClassObjectLock());
    // Asked again inside the lock: another thread may have made it meanwhile.
    if (!entry.classObject)
        hr = entry.createClassObject(entry.createInstance, IID_IUnknown, reinterpret_cast<void **>(&entry.classObject));
    *classObject = entry.classObject;
    LeaveCriticalSection(&g_module.ClassObjectLock());
    return hr;
}

CObjectMap g_objectMap;
