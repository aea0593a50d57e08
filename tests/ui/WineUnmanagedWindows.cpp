// Test setup for Wine: without a window manager (Xvfb), Wine waits 2 s for the manager every
// time a "managed" top-level window is hidden, and every dialog of the module counts as one.
// Marking the test program's windows unmanaged removes the wait. Only Wine reads this key.
#include <windows.h>
#include <cstdio>

int main()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\ui_tests.exe\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create the Wine settings key\n");
        return 1;
    }
    const LONG result = RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE *>("N"), 2);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : 1;
}
