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

CComPtr<CRecordingHandler> RecordingHandler(const std::vector<std::string> &selection)
{
    CComPtr<CRecordingHandler> handler(new CRecordingHandler);
    if (!selection.empty()) {
        EXPECT_EQ(S_OK, handler->Initialize(nullptr, MakeSelection(selection).Get(), nullptr));
    }
    return handler;
}

CComPtr<IDataObject> MakeSelection(const std::vector<std::string> &paths, bool offersDropList)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, offersDropList, selection.Receive()));
    return selection;
}

CComPtr<IDataObject> MakeWideSelection(const std::vector<std::wstring> &paths)
{
    CComPtr<IDataObject> selection;
    EXPECT_EQ(S_OK, CDropDataObject::Create(paths, selection.Receive()));
    return selection;
}

void MakeFile(const std::string &path, const std::string &content)
{
    sandbox::WriteFileBytes(path, content);
}
