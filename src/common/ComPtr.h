#pragma once
#include <unknwn.h>

// Owning interface pointer: one reference, released by the owner.
template <typename T>
class CComPtr
{
public:
    CComPtr() : m_p(nullptr) {}
    CComPtr(T *p) : m_p(p) // takes a new reference
    {
        if (m_p)
            m_p->AddRef();
    }
    CComPtr(const CComPtr &other) : CComPtr(other.m_p) {}
    ~CComPtr() { Reset(); }
    CComPtr &operator=(const CComPtr &other)
    {
        if (other.m_p)
            other.m_p->AddRef();
        Reset();
        m_p = other.m_p;
        return *this;
    }

    T *Get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: the callee's reference becomes ours.
    T **Receive()
    {
        Reset();
        return &m_p;
    }
    void **ReceiveVoid() { return reinterpret_cast<void **>(Receive()); }
    void Reset()
    {
        if (m_p) {
            T *p = m_p;
            m_p = nullptr;
            p->Release();
        }
    }
    T *Detach()
    {
        T *p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T *m_p;
};
