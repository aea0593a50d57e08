// Creates the Recycle Bin cleaner by its ProgIDs and calls Init through IDispatch, as an
// automation client would. Exit code: Init's result (0 for S_OK), or 1000 when a ProgID gives
// no object.
try {
    new ActiveXObject("OrvexShellExtensions.OrvexRecycleCleane");
    var cleaner = new ActiveXObject("OrvexShellExtensions.OrvexRecycleClea.1");
} catch (e) {
    WScript.Quit(1000);
}
try { cleaner.Init(); } catch (e) { WScript.Quit(e.number); }
