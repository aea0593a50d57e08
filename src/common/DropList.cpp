#include "common/DropList.h"

#include <shellapi.h>

CDropList::CDropList(IDataObject *dataObject) : m_medium(), m_fetched(false), m_drop(nullptr)
{
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    m_fetched = SUCCEEDED(dataObject->GetData(&format, &m_medium));
    if (m_fetched)
        m_drop = static_cast<HDROP>(GlobalLock(m_medium.hGlobal));
}

CDropList::~CDropList()
{
    if (m_drop)
        GlobalUnlock(m_medium.hGlobal);
    if (m_fetched)
        ReleaseStgMedium(&m_medium);
}

void CDropList::AppendPathsTo(PathList &paths) const
{
    const UINT count = DragQueryFileA(m_drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        char path[MAX_PATH] = {};
        if (DragQueryFileA(m_drop, i, path, MAX_PATH) == 0 || path[0] == '\0')
            continue;
        paths.Append(path);
    }
}
