#pragma once
#include "common/String.h"
#include <vector>

// Ordered, growable list of paths, indexed from 0 in insertion order.
// An index outside the count raises CInvalidArg; allocation failure raises COutOfMemory.
class PathList
{
public:
    PathList();
    PathList(const PathList &other);
    PathList &operator=(const PathList &other);

    size_t Count() const;
    bool IsEmpty() const;
    const String &operator[](size_t index) const;
    String &operator[](size_t index);

    void Append(const String &path);
    void Append(const PathList &other);
    void Clear();

private:
    std::vector<String> m_items;
};
