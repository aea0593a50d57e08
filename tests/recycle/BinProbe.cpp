// Scans the bins as a cleaner does and writes what it found to the file named by its argument
// (on a sandbox drive): the platform id first, then one bin per line. The discovery tests start
// it under another Windows version than their own, which Wine fixes when a program starts.
#include <windows.h>
#include <cstdio>
#include <string>

#include "recycle/COrvexRecycleCleaner.h"

int main(int argc, char **argv)
{
    if (argc != 2 || (argv[1][0] != 'S' && argv[1][0] != 'T') || argv[1][1] != ':')
        return 2;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    std::string report = "platform " + std::to_string(version.dwPlatformId) + "\n";

    void *object = nullptr;
    if (FAILED(COrvexRecycleCleaner::CreateInstance(nullptr, IID_IOrvexRecycleCleaner, &object)))
        return 3;
    COrvexRecycleCleaner *cleaner = static_cast<COrvexRecycleCleaner *>(static_cast<IOrvexRecycleCleaner *>(object));
    cleaner->Initialize(nullptr, nullptr, nullptr);
    for (size_t i = 0; i < cleaner->m_bins.Count(); ++i)
        report += std::string(cleaner->m_bins[i].c_str()) + "\n";
    cleaner->Release();

    FILE *out = std::fopen(argv[1], "wb");
    if (!out)
        return 4;
    std::fwrite(report.data(), 1, report.size(), out);
    std::fclose(out);
    return 0;
}
