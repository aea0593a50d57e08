#pragma once
#include "support/TestObjects.h"
#include "recycle/COrvexRecycleCleaner.h"

// Recycle folders made for the tests, on the sandbox drives only (S: and T:).
namespace bins {

void RemoveAll();
// Makes a file with its folders, or only folders for a path ending in a backslash; fails the test
// outside S: and T:.
void Make(const std::string &path, const std::string &bytes = "recycled content");

} // namespace bins

using CleanerRef = CObjectRef<COrvexRecycleCleaner, IOrvexRecycleCleaner, IID_IOrvexRecycleCleaner>;

inline Paths Bins(const CleanerRef &cleaner)
{
    return Strings(cleaner->m_bins);
}

// The bins a new cleaner lists after its scan.
Paths ScanBins();

bool CleanerMutexExists();

// Starts and ends each case with no recycle folders on S: and T:, and makes sure that no bin
// outside them could be listed.
class BinsTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
};
