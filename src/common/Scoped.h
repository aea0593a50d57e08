#pragma once
#include <windows.h>
#include <commctrl.h>

// One owner for every kind of handle the module touches; released exactly once, by its owner.
template <typename T, typename Traits>
class CScoped
{
public:
    CScoped() : m_value(Traits::Invalid()) {}
    explicit CScoped(T value) : m_value(value) {}
    ~CScoped() { Reset(); }
    CScoped(const CScoped &) = delete;
    CScoped &operator=(const CScoped &) = delete;
    CScoped(CScoped &&other) noexcept : m_value(other.Detach()) {}
    CScoped &operator=(CScoped &&other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    T Get() const { return m_value; }
    bool IsValid() const { return m_value != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    void Reset(T value = Traits::Invalid())
    {
        if (IsValid())
            Traits::Close(m_value);
        m_value = value;
    }
    T Detach()
    {
        T value = m_value;
        m_value = Traits::Invalid();
        return value;
    }

private:
    T m_value;
};

struct KernelHandleTraits
{
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits
{
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits
{
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct RegKeyTraits
{
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
struct MappedViewTraits
{
    static void *Invalid() { return nullptr; }
    static void Close(void *p) { UnmapViewOfFile(p); }
};
struct LocalMemoryTraits
{
    static HLOCAL Invalid() { return nullptr; }
    static void Close(HLOCAL p) { LocalFree(p); }
};
struct VirtualBlockTraits
{
    static void *Invalid() { return nullptr; }
    static void Close(void *p) { VirtualFree(p, 0, MEM_RELEASE); }
};
template <typename T>
struct GdiObjectTraits
{
    static T Invalid() { return nullptr; }
    static void Close(T h) { DeleteObject(h); }
};
struct ImageListTraits
{
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};
struct IconTraits
{
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
struct MemoryDCTraits
{
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

using CKernelHandle = CScoped<HANDLE, KernelHandleTraits>; // mutexes, mappings: null when absent
using CFileHandle = CScoped<HANDLE, FileHandleTraits>;     // CreateFile: INVALID_HANDLE_VALUE when absent
using CFindHandle = CScoped<HANDLE, FindHandleTraits>;
using CRegKey = CScoped<HKEY, RegKeyTraits>;
using CMappedView = CScoped<void *, MappedViewTraits>;
using CVirtualBlock = CScoped<void *, VirtualBlockTraits>;
using CLocalMemory = CScoped<HLOCAL, LocalMemoryTraits>; // what the system hands out with LocalAlloc
using CBitmap = CScoped<HBITMAP, GdiObjectTraits<HBITMAP>>;
using CFont = CScoped<HFONT, GdiObjectTraits<HFONT>>;
using CBrush = CScoped<HBRUSH, GdiObjectTraits<HBRUSH>>;
using CPen = CScoped<HPEN, GdiObjectTraits<HPEN>>;
using CRegion = CScoped<HRGN, GdiObjectTraits<HRGN>>;
using CImageList = CScoped<HIMAGELIST, ImageListTraits>;
using CIcon = CScoped<HICON, IconTraits>;
using CMemoryDC = CScoped<HDC, MemoryDCTraits>;
