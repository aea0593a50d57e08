#pragma once
#include <gtest/gtest.h>

#include "support/ImportTable.h"

// Points one of this program's import slots elsewhere while it lives. The module's code is linked
// into the test program, so its calls of that function come here.
class CImportHook
{
public:
    CImportHook(const char *dll, const char *function, void *replacement) : m_slot(ImportSlot(dll, function))
    {
        if (m_slot)
            m_original = ReplaceImport(m_slot, replacement);
        else
            ADD_FAILURE() << function << " is not in the program's import table";
    }
    ~CImportHook()
    {
        if (m_slot)
            ReplaceImport(m_slot, m_original);
    }
    CImportHook(const CImportHook &) = delete;
    CImportHook &operator=(const CImportHook &) = delete;

    template <typename Function>
    Function Original() const
    {
        return reinterpret_cast<Function>(m_original);
    }

private:
    void **m_slot;
    void *m_original = nullptr;
};
