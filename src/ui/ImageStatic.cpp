#include "ui/ImageStatic.h"

bool CImageStatic::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    if (message != WM_PAINT)
        return CSubclassedWindow::ProcessWindowMessage(message, wParam, lParam, result);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (dc && m_list && m_index >= 0 && m_index < ImageList_GetImageCount(m_list))
        ImageList_Draw(m_list, m_index, dc, 0, 0, ILD_NORMAL);
    EndPaint(m_hWnd, &ps);
    result = 0;
    return true;
}

bool CImageStatic::AttachWithList(HWND control, HIMAGELIST list)
{
    m_list = list;
    m_index = list && ImageList_GetImageCount(list) > 0 ? 0 : -1;
    return SubclassWindow(control);
}
