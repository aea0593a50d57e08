#pragma once
#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "common/ComPtr.h"
#include "delete/COrvexDeleteFile.h"

// A Secure Delete handler whose DeletePath only records what it was handed (and can act in the
// middle of a command); everything else is the real class.
class CRecordingHandler : public COrvexDeleteFile
{
public:
    HRESULT DeletePath(const String &path, CProgressDlg &dialog) override;

    std::vector<std::string> m_deleted;
    // Called inside DeletePath with the number of paths handed so far.
    std::function<void(size_t)> m_onDelete;
    // Whether the progress dialog existed when DeletePath ran.
    bool m_progressOpen = false;
};

// A fresh recording handler holding one reference, initialised with the selection unless it is
// empty (a failed Initialize fails the test).
CComPtr<CRecordingHandler> RecordingHandler(const std::vector<std::string> &selection = {});

// A real handler of the module, made by its instance creator, as the given interface.
template <typename T>
CComPtr<T> MakeHandler(REFIID riid)
{
    CComPtr<T> handler;
    COrvexDeleteFile::CreateInstance(nullptr, riid, handler.ReceiveVoid());
    return handler;
}

// The shell's data object for a selection (a CF_HDROP drop list), or one that offers no drop list.
CComPtr<IDataObject> MakeSelection(const std::vector<std::string> &paths, bool offersDropList = true);
// The same with a drop list of wide paths, as the shells of the NT family write it.
CComPtr<IDataObject> MakeWideSelection(const std::vector<std::wstring> &paths);

// Makes the file with some content; the test fails if it cannot.
void MakeFile(const std::string &path, const std::string &content = "secret bytes");
