#include "delete/COrvexDeleteFile.h"

// Overwrite engine, deletion and settings: placeholder bodies until the engine is built.
HRESULT COrvexDeleteFile::DeleteFileList(const PathList &, CProgressDlg &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::DeleteFolderList(const PathList &, bool, CProgressDlg &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::DeletePath(const String &, CProgressDlg &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::SecureDeleteFile(const String &, CProgressDlg &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::CorruptFile(const String &, UINT, CProgressDlg &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::LoadSettings() { return S_OK; }
HRESULT COrvexDeleteFile::RemoveFile(const String &) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::ResetAttributes(const String &, const DWORD *) { return E_NOTIMPL; }
HRESULT COrvexDeleteFile::ShortenForDisplay(String &, size_t) { return S_OK; }
String FileNamePart(const String &path) { return path; }
