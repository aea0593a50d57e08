#include "HandlerHarness.h"
#include "DropDataObject.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

HRESULT CRecordingHandler::DeletePath(const String &path, CProgressDlg &dialog)
{
    m_deleted.push_back(path.c_str());
    m_progressOpen = dialog.m_hWnd && IsWindow(dialog.m_hWnd);
    if (m_onDelete)
        m_onDelete(m_deleted.size());
    return S_OK;
}

CComPtr<CRecordingHandler> MakeRecordingHandler()
{
    CComPtr<CRecordingHandler> handler(new CRecordingHandler);
    return handler;
}

CComPtr<IDataObject> MakeSelection(const std::vector<std::string> &paths, bool offersDropList)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, offersDropList, selection.Receive()));
    return selection;
}

CMINVOKECOMMANDINFO InvokeByOffset(UINT offset)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return info;
}

CMINVOKECOMMANDINFO InvokeByVerb(const char *verb)
{
    CMINVOKECOMMANDINFO info = InvokeByOffset(0);
    info.lpVerb = verb;
    return info;
}

void MakeFile(const std::string &path, const std::string &content)
{
    sandbox::WriteFileBytes(path, content);
}

bool ReadCommandBlock(UINT &id)
{
    HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, "Talmior 2005 Trial_memFile");
    if (!block)
        return false;
    const void *view = MapViewOfFile(block, FILE_MAP_READ, 0, 0, 0);
    if (view) {
        id = *static_cast<const UINT32 *>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(block);
    return view != nullptr;
}
