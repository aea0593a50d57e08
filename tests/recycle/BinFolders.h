#pragma once
#include <string>
#include <vector>

#include "recycle/COrvexRecycleCleaner.h"

// Recycle folders made for the tests, on the sandbox drives only (S: and T:).
namespace bins {

// Removes every recycle folder of S: and T:.
void RemoveAll();
// Makes a folder (and its parents under the drive root); fails the test outside S: and T:.
void MakeFolder(const std::string &path);
// Makes a file, its folder included, with a little content.
void MakeFile(const std::string &path, const std::string &bytes = "recycled content");
// A recycle folder on a drive other than the sandbox ones, which a test would list by mistake.
std::vector<std::string> FoldersOutsideSandbox();

} // namespace bins

// A new cleaner, held by its primary interface.
class CleanerRef
{
public:
    CleanerRef();
    ~CleanerRef();
    CleanerRef(const CleanerRef &) = delete;
    CleanerRef &operator=(const CleanerRef &) = delete;

    COrvexRecycleCleaner *operator->() const { return m_cleaner; }
    COrvexRecycleCleaner *Get() const { return m_cleaner; }
    HRESULT Scan(); // Initialize as the shell calls it
    std::vector<std::string> Bins() const;
    void Reset(); // the final release

private:
    COrvexRecycleCleaner *m_cleaner;
};

// Whether the cleaner mutex exists now (any handle to it open in the process or another).
bool CleanerMutexExists();
