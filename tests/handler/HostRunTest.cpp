// The whole way a shell goes, in a process of its own: the module file (or its registration),
// the class objects, a drop list, a real menu, the item invoked by its offset, the dialogs
// answered as a user answers them.
#include "support/TestSupport.h"

// Each run starts from the same files and bins; what a run does not delete stays as it was, a
// bin's desktop.ini included. The host looks the item up by its text before invoking it, so a
// menu without it fails the run.
TEST(ShellHost, EndToEndRuns)
{
    ASSERT_TRUE(NoBinOutsideTheSandbox());
    const std::string sel = "S:\\host\\Dc1.txt S:\\host\\Dc2.doc";
    const WPaths selected = {L"S:\\host\\Dc1.txt", L"S:\\host\\Dc2.doc"};
    const WPaths bins = {L"S:\\recycler\\S-1-5-21-9\\", L"S:\\recycled\\", L"T:\\recycler\\S-1-5-21-9\\"};
    const WPaths made = {selected[0], selected[1], L"S:\\host\\neighbour.txt", bins[0] + L"Dc1.txt", bins[1] + L"Dc2.txt",
                         bins[2] + L"Dc3\\Dc4.txt", bins[0] + L"desktop.ini", bins[1] + L"desktop.ini", bins[2] + L"desktop.ini"};
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
        // With --register the host creates the handlers through the registry only, or fails.
        const RunResult run = RunProgram("b:\\shellhost.exe --dll b:\\OrvexSE.dll " + row.arguments);

        EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
        for (const std::wstring &path : made) {
            const bool goes = std::find(row.gone.begin(), row.gone.end(), path) != row.gone.end();
            EXPECT_EQ(goes ? "gone" : sandbox::Content(path), sandbox::Exists(path) ? sandbox::Read(path) : "gone") << sandbox::Narrow(path);
        }
    }
    sandbox::Remove(L"S:\\host");
    sandbox::RemoveBins();
}
