#pragma once
#include "common/PathList.h"

// Marks the record that holds it as one of the module's own for as long as the record lives.
// ClearRecycle and ClearRaw receive the record's address typed as an IUnknown pointer; any other
// client (IDispatch::Invoke included) hands them a real COM object at that place. Comparing the
// address with the live records tells the two apart without ever reading through it.
class CLiveRecord
{
public:
    enum Kind { RecycleKind, PathListKind };

    CLiveRecord(const void *record, Kind kind) noexcept;
    ~CLiveRecord();
    CLiveRecord(const CLiveRecord &) = delete;
    CLiveRecord &operator=(const CLiveRecord &) = delete;

    // True only while a record of this kind lives at that address; the address is compared, never read.
    static bool IsLive(const void *address, Kind kind) noexcept;

private:
    const void *m_record;
    Kind m_kind;
    CLiveRecord *m_previous;
    CLiveRecord *m_next;
};

// Plain in-process records that the other two handlers pass by address to
// COrvexDeleteFile::ClearRecycle and ::ClearRaw (declared there as IUnknown pointers).
struct RecycleRequest
{
    RecycleRequest();
    RecycleRequest(const RecycleRequest &other);
    RecycleRequest &operator=(const RecycleRequest &other);

    bool useKeepList = false;
    PathList folders;
    PathList keepList;

private:
    CLiveRecord m_live{this, CLiveRecord::RecycleKind};
};

struct PathListRequest
{
    PathListRequest();
    PathListRequest(const PathListRequest &other);
    PathListRequest &operator=(const PathListRequest &other);

    PathList paths;
    PathList unused;

private:
    CLiveRecord m_live{this, CLiveRecord::PathListKind};
};
