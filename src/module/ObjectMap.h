#pragma once
#include <unknwn.h>

#include "module/ClassFactory.h"

// One row per COM class of the module, in the module's fixed order.
struct ObjectMapEntry
{
    const CLSID *clsid;
    HRESULT (*updateRegistry)(BOOL doRegister);
    HRESULT (*createClassObject)(InstanceCreator creator, REFIID riid, void **ppv);
    InstanceCreator createInstance;
    IUnknown *classObject; // cached on first request, released when the module ends
};

// The module's classes and their cached class objects.
class CObjectMap
{
public:
    CObjectMap();
    ~CObjectMap();
    CObjectMap(const CObjectMap &) = delete;
    CObjectMap &operator=(const CObjectMap &) = delete;

    size_t Count() const;
    const ObjectMapEntry &Entry(size_t index) const;

    // The class object of clsid asked for riid: made once, under the module's class-object lock,
    // and the same object for every later request.
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void **ppv);

private:
    HRESULT CachedClassObject(ObjectMapEntry &entry, IUnknown **classObject);

    ObjectMapEntry m_entries[3];
};

extern CObjectMap g_objectMap;
