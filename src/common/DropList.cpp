#include "common/DropList.h"

#include <shellapi.h>
#include <string>

#include "common/AnsiName.h"

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

void CDropList::AppendPathsTo(PathList &paths, PathList &unreachable) const
{
    // The wide entries are the true names, whichever form the shell wrote the list in.
    const UINT count = DragQueryFileW(m_drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(m_drop, i, nullptr, 0);
        if (length == 0)
            continue;
        std::wstring wide(length + 1, L'\0');
        DragQueryFileW(m_drop, i, &wide[0], length + 1);
        wide.resize(lstrlenW(wide.c_str()));
        if (wide.empty())
            continue;
        String path;
        if (ReachablePath(wide.c_str(), path) && FitsPathBuffer(path)) {
            paths.Append(path);
        } else {
            bool exact = false;
            unreachable.Append(ToAnsi(wide.c_str(), exact));
        }
    }
}
