#include "common/PathList.h"
#include "common/Exceptions.h"

#include <new>

PathList::PathList() {}

PathList::PathList(const PathList &other)
{
    Append(other);
}

PathList &PathList::operator=(const PathList &other)
{
    if (this != &other) {
        PathList copy(other);
        m_items.swap(copy.m_items);
    }
    return *this;
}

size_t PathList::Count() const
{
    return m_items.size();
}

bool PathList::IsEmpty() const
{
    return m_items.empty();
}

const String &PathList::operator[](size_t index) const
{
    if (index >= m_items.size())
        throw CInvalidArg();
    return m_items[index];
}

String &PathList::operator[](size_t index)
{
    if (index >= m_items.size())
        throw CInvalidArg();
    return m_items[index];
}

void PathList::Append(const String &path)
{
    try {
        m_items.push_back(path);
    } catch (const std::bad_alloc &) {
        throw COutOfMemory();
    }
}

void PathList::Append(const PathList &other)
{
    // Element by element: the strings themselves are shared until one side writes.
    const size_t count = other.Count();
    for (size_t i = 0; i < count; ++i)
        Append(other.m_items[i]);
}

void PathList::Clear()
{
    m_items.clear();
}
