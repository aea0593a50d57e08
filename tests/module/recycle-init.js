// Creates the Recycle Bin cleaner by its ProgIDs and calls Init through IDispatch, as an
// automation client would. Exit code: Init's result (0 for S_OK), or 1000 when a ProgID gives
// no object.
var cleaner = null;
try {
    new ActiveXObject("OrvexShellExtensions.OrvexRecycleCleane");
    cleaner = new ActiveXObject("OrvexShellExtensions.OrvexRecycleClea.1");
} catch (e) {
    WScript.Echo("Not created: " + (e.number >>> 0).toString(16));
    WScript.Quit(1000);
}
try {
    cleaner.Init();
} catch (e) {
    WScript.Echo("Init: " + (e.number >>> 0).toString(16));
    WScript.Quit(e.number);
}
WScript.Quit(0);
