// The whole way a shell goes, in a process of its own: the module file (or its registration),
// the class objects, a drop list, a real menu, the item invoked by its offset, the dialogs
// answered as a user answers them.
#include "support/TestSupport.h"

// Each run starts from the same files and bins; a bin's desktop.ini always stays. The host looks
// the item up by its text before invoking it, so a menu without it fails the run.
TEST(ShellHost, EndToEndRuns)
{
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::string sel = "S:\\host\\Dc1.txt S:\\host\\Dc2.doc";
    const WPaths selected = {L"S:\\host\\Dc1.txt", L"S:\\host\\Dc2.doc"};
    const WPaths bins = {L"S:\\recycler\\S-1-5-21-9\\", L"S:\\recycled\\", L"T:\\recycler\\S-1-5-21-9\\"};
    const WPaths made = {selected[0], selected[1], L"S:\\host\\neighbour.txt", bins[0] + L"Dc1.txt", bins[1] + L"Dc2.txt",
                         bins[2] + L"Dc3\\Dc4.txt"};
    const struct { const char *label; std::string arguments; DWORD exitCode; WPaths gone; } rows[] = {
        {"declined", "--answer cancel S:\\host\\Dc1.txt", 1, {}},
        {"through the registry", "--register --answer ok " + sel, 0, selected},
        {"both handlers", "--handler both-delete-first --answer ok " + sel, 0, selected},
        {"Recycle Bin", "--recycle --answer ok", 0, {bins[0] + L"Dc1.txt", bins[2] + L"Dc3\\Dc4.txt"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        for (const std::wstring &path : made)
            sandbox::Make(path);
        for (const std::wstring &bin : bins)
            sandbox::Make(bin + L"desktop.ini", "[.ShellClassInfo]");
        // With --register the host creates the handlers through the registry only, or fails.
        const RunResult run = RunProgram("b:\\shellhost.exe --dll b:\\OrvexSE.dll " + row.arguments);

        EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
        for (const std::wstring &path : made) {
            const bool goes = std::find(row.gone.begin(), row.gone.end(), path) != row.gone.end();
            EXPECT_EQ(!goes, sandbox::Exists(path)) << sandbox::Narrow(path);
        }
        for (const std::wstring &bin : bins)
            EXPECT_EQ("[.ShellClassInfo]", sandbox::Read(bin + L"desktop.ini"));
    }
    sandbox::Remove(L"S:\\host");
    sandbox::RemoveBins();
}
