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

// A fresh recording handler holding one reference.
CComPtr<CRecordingHandler> MakeRecordingHandler();

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

// CMINVOKECOMMANDINFO as the shell fills it for the item at an offset, or for a string verb.
CMINVOKECOMMANDINFO InvokeByOffset(UINT offset);
CMINVOKECOMMANDINFO InvokeByVerb(const char *verb);

// Makes the file with some content; the test fails if it cannot.
void MakeFile(const std::string &path, const std::string &content = "secret bytes");

// The shared command-id block as another process reads it; false when it does not exist.
bool ReadCommandBlock(UINT &id);

// Makes one call of the C runtime's malloc, as this program imports it, fail: the one after the
// given number of successful calls, while it lives. The module's strings and lists allocate
// through it.
class CFailingMalloc
{
public:
    explicit CFailingMalloc(size_t allowedCalls);
    ~CFailingMalloc();
    CFailingMalloc(const CFailingMalloc &) = delete;
    CFailingMalloc &operator=(const CFailingMalloc &) = delete;

    // Whether an allocation was refused.
    static bool Refused();

private:
    void **m_slot;
    void *m_original;
};

// Records the calls this program makes to shell32's SHEmptyRecycleBinA while it lives, and makes
// none of them reach the shell.
class CEmptyBinSpy
{
public:
    struct Call
    {
        std::string root;
        DWORD flags;
    };

    CEmptyBinSpy();
    ~CEmptyBinSpy();
    CEmptyBinSpy(const CEmptyBinSpy &) = delete;
    CEmptyBinSpy &operator=(const CEmptyBinSpy &) = delete;

    const std::vector<Call> &Calls() const;

private:
    void **m_slot;
    void *m_original;
};
