// Helper program of the discovery tests, for what must happen in a process of its own.
//   recycle_bin_probe scan REPORT      scans the bins as a cleaner does and writes the platform id,
//                                      then one bin a line, to REPORT (on a sandbox drive). Started
//                                      under another Windows version, which Wine fixes at start-up.
//   recycle_bin_probe cdrom on|off     makes Wine's drive T: a CD-ROM drive, or a plain one again
//                                      (HKLM\Software\Wine\Drives, read when the prefix starts).
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "recycle/COrvexRecycleCleaner.h"

namespace {

const char kWineDrives[] = "Software\\Wine\\Drives";
const char kSandboxDrive[] = "t:";

int Scan(const char *reportPath)
{
    if ((reportPath[0] != 'S' && reportPath[0] != 'T') || reportPath[1] != ':')
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

    FILE *out = std::fopen(reportPath, "wb");
    if (!out)
        return 4;
    std::fwrite(report.data(), 1, report.size(), out);
    std::fclose(out);
    return 0;
}

int SetCdrom(bool on)
{
    HKEY drives = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kWineDrives, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &drives, nullptr) !=
        ERROR_SUCCESS)
        return 3;
    LONG result = ERROR_SUCCESS;
    if (on) {
        static const char type[] = "cdrom";
        result = RegSetValueExA(drives, kSandboxDrive, 0, REG_SZ, reinterpret_cast<const BYTE *>(type), sizeof(type));
    } else {
        result = RegDeleteValueA(drives, kSandboxDrive);
        if (result == ERROR_FILE_NOT_FOUND)
            result = ERROR_SUCCESS;
    }
    RegCloseKey(drives);
    return result == ERROR_SUCCESS ? 0 : 4;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "scan") == 0)
        return Scan(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "cdrom") == 0)
        return SetCdrom(std::strcmp(argv[2], "on") == 0);
    return 2;
}
