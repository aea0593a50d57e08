#include "common/QueryTable.h"

HRESULT QueryFromTable(void *object, const QITAB *table, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const QITAB *row = table; row->piid; ++row) {
        if (IsEqualIID(riid, *row->piid) || (row == table && IsEqualIID(riid, IID_IUnknown))) {
            IUnknown *face = reinterpret_cast<IUnknown *>(static_cast<BYTE *>(object) + row->dwOffset);
            face->AddRef();
            *ppv = face;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}
