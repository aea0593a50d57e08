// Helper program of the recycle tests, for what must happen in a process of its own.
//   recycle_bin_probe scan            prints the platform id, then the bins a cleaner lists, one a
//                                     line. Started under another Windows version, which Wine
//                                     fixes at start-up.
//   recycle_bin_probe cdrom on|off    makes Wine's drive T: a CD-ROM drive, or a plain one again
//                                     (HKLM\Software\Wine\Drives, read when the prefix starts).
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "recycle/COrvexRecycleCleaner.h"

namespace {

int Scan()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    std::printf("platform %lu\n", version.dwPlatformId);
    void *object = nullptr;
    if (FAILED(COrvexRecycleCleaner::CreateInstance(nullptr, IID_IOrvexRecycleCleaner, &object)))
        return 3;
    COrvexRecycleCleaner *cleaner = static_cast<COrvexRecycleCleaner *>(static_cast<IOrvexRecycleCleaner *>(object));
    cleaner->Initialize(nullptr, nullptr, nullptr);
    for (size_t i = 0; i < cleaner->m_bins.Count(); ++i)
        std::printf("%s\n", cleaner->m_bins[i].c_str());
    cleaner->Release();
    return 0;
}

int SetCdrom(bool on)
{
    HKEY drives = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine\\Drives", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &drives,
                        nullptr) != ERROR_SUCCESS)
        return 3;
    static const char type[] = "cdrom";
    LONG result = on ? RegSetValueExA(drives, "t:", 0, REG_SZ, reinterpret_cast<const BYTE *>(type), sizeof(type))
                     : RegDeleteValueA(drives, "t:");
    RegCloseKey(drives);
    return result == ERROR_SUCCESS || (!on && result == ERROR_FILE_NOT_FOUND) ? 0 : 4;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "scan") == 0)
        return Scan();
    if (argc == 3 && std::strcmp(argv[1], "cdrom") == 0)
        return SetCdrom(std::strcmp(argv[2], "on") == 0);
    return 2;
}
