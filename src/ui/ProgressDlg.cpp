#include "ui/ProgressDlg.h"

CProgressDlg::CProgressDlg() : m_pBar(new CSkinProgressBar) {}
CProgressDlg::~CProgressDlg() { delete m_pBar; }
HWND CProgressDlg::Create(HWND) { return nullptr; }
void CProgressDlg::SetStatusText(const String &) {}
