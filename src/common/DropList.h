#pragma once
#include <objidl.h>

#include "common/PathList.h"

// The CF_HDROP list of the shell's data object, held (fetched and locked) for as long as the
// object lives: the selection both Secure Delete handlers take.
class CDropList
{
public:
    explicit CDropList(IDataObject *dataObject);
    ~CDropList();
    CDropList(const CDropList &) = delete;
    CDropList &operator=(const CDropList &) = delete;

    // The data object gave a CF_HDROP medium.
    bool Fetched() const { return m_fetched; }
    // Its memory could be locked, so the paths can be read.
    bool Locked() const { return m_drop != nullptr; }

    // Appends the paths in the shell's order. An entry is taken whole (never cut to a buffer) and
    // only under a path that reaches exactly the selected item and fits MAX_PATH: a cut or
    // best-fit path may name another file. An entry without one goes to `unreachable`, in the
    // form it can be shown in. Empty entries are skipped: some shells count an empty list as one
    // empty path, and an empty path must never reach the deleter. Raises COutOfMemory or bad_alloc.
    void AppendPathsTo(PathList &paths, PathList &unreachable) const;

private:
    STGMEDIUM m_medium;
    bool m_fetched;
    HDROP m_drop;
};
