// Sets how many times OrvexSE overwrites every file before deleting it, for the current user.
// Each pass writes the whole file three times (zeros, 0xFF bytes, random bytes).
//
//   cscript //nologo set-passes.js 7    seven passes (1 to 32)
//   cscript //nologo set-passes.js      shows the current setting
//
// Exit codes: 0 done, 1 wrong use, 3 the value could not be written, 4 anything else.

var shell = new ActiveXObject("WScript.Shell");

var SLIDER = "HKCU\\Software\\Kessane\\Talmior 2004\\Secure\\Slider";
var MOST = 32;

function fail(code, text) {
    WScript.Echo(text);
    WScript.Quit(code);
}

function show() {
    var value = null;
    try {
        value = shell.RegRead(SLIDER);
    } catch (e) {
    }
    // The module treats a missing or unusable value as one pass.
    if (typeof value == "number" && value >= 1 && value <= MOST)
        WScript.Echo("Passes: " + value);
    else
        WScript.Echo("Passes: 1 (not set)");
}

function main() {
    if (WScript.Arguments.length == 0)
        return show();
    var text = WScript.Arguments(0);
    if (WScript.Arguments.length != 1 || !/^[0-9]{1,2}$/.test(text) || +text < 1 || +text > MOST)
        fail(1, "Use: cscript //nologo set-passes.js [1.." + MOST + "]");
    try {
        shell.RegWrite(SLIDER, +text, "REG_DWORD");
    } catch (e) {
        fail(3, "Could not write " + SLIDER + ": " + e.message);
    }
    WScript.Echo("Passes: " + +text);
}

// Some hosts end silently with exit code 0 on an uncaught error: every failure must say so.
try {
    main();
} catch (e) {
    fail(4, "Failed: " + e.message + " (" + (e.number >>> 0).toString(16) + ")");
}
