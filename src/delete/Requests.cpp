#include "delete/Requests.h"

#include <windows.h>

namespace {

// The live records of the process, a list threaded through the records themselves: registering
// allocates nothing and so cannot fail. The lock is never deleted: a record may still go away
// during the process's static destruction.
struct LiveRecords
{
    LiveRecords() { InitializeCriticalSection(&lock); }

    CRITICAL_SECTION lock;
    CLiveRecord *first = nullptr;
};

LiveRecords &Records()
{
    static LiveRecords records;
    return records;
}

} // namespace

CLiveRecord::CLiveRecord(const void *record, Kind kind) noexcept
    : m_record(record), m_kind(kind), m_previous(nullptr), m_next(nullptr)
{
    LiveRecords &records = Records();
    EnterCriticalSection(&records.lock);
    m_next = records.first;
    if (m_next)
        m_next->m_previous = this;
    records.first = this;
    LeaveCriticalSection(&records.lock);
}

CLiveRecord::~CLiveRecord()
{
    LiveRecords &records = Records();
    EnterCriticalSection(&records.lock);
    if (m_previous)
        m_previous->m_next = m_next;
    else
        records.first = m_next;
    if (m_next)
        m_next->m_previous = m_previous;
    LeaveCriticalSection(&records.lock);
}

bool CLiveRecord::IsLive(const void *address, Kind kind) noexcept
{
    if (!address)
        return false;
    LiveRecords &records = Records();
    bool live = false;
    EnterCriticalSection(&records.lock);
    for (const CLiveRecord *record = records.first; record && !live; record = record->m_next)
        live = record->m_record == address && record->m_kind == kind;
    LeaveCriticalSection(&records.lock);
    return live;
}

RecycleRequest::RecycleRequest() {}

// A copy is a record of its own, at its own address.
RecycleRequest::RecycleRequest(const RecycleRequest &other)
    : useKeepList(other.useKeepList), folders(other.folders), keepList(other.keepList)
{
}

RecycleRequest &RecycleRequest::operator=(const RecycleRequest &other)
{
    useKeepList = other.useKeepList;
    folders = other.folders;
    keepList = other.keepList;
    return *this;
}

PathListRequest::PathListRequest() {}

PathListRequest::PathListRequest(const PathListRequest &other) : paths(other.paths), unused(other.unused) {}

PathListRequest &PathListRequest::operator=(const PathListRequest &other)
{
    paths = other.paths;
    unused = other.unused;
    return *this;
}
