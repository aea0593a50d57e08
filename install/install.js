// Ties OrvexSE.dll into the shell's context menus, or takes it out again.
//
//   cscript //nologo install.js [path\OrvexSE.dll]       install
//   cscript //nologo install.js /u [path\OrvexSE.dll]    uninstall
//
// Run it from an elevated command prompt with the 32-bit script host. Without a path it uses the
// OrvexSE.dll beside this script. The module registers its own classes (through regsvr32); this
// script adds what makes the shell load them: one context-menu handler key per file type and an
// entry in the approved-extensions list. Uninstalling removes exactly those entries, and only
// where they still name this module's classes, then unregisters the module.
//
// Exit codes: 0 done, 1 wrong use, 2 regsvr32 failed, 3 a registry entry could not be made,
// 4 anything else.

var shell = new ActiveXObject("WScript.Shell");
var files = new ActiveXObject("Scripting.FileSystemObject");

var HANDLER_NAME = "OrvexSE";
var APPROVED = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
var RECYCLE_BIN = "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}";

// Each class by its version-independent ProgID; its CLSID and name are read from what the module
// registered, so the identifiers are written down in one place only (the module).
// Folders are tied in as "Directory" (file-system folders only): virtual folders and whole
// drives are never offered.
var classes = [
    { progId: "OrvexShellExtensions.COrvexDeleteFile", fileTypes: ["*", "Directory"] },
    { progId: "OrvexShellExtensions.ShellinkHandler", fileTypes: ["lnkfile"] },
    { progId: "OrvexShellExtensions.OrvexRecycleCleane", fileTypes: [RECYCLE_BIN] }
];

function fail(code, text) {
    WScript.Echo(text);
    WScript.Quit(code);
}

function tryRead(path) {
    try {
        return shell.RegRead(path);
    } catch (e) {
        return null;
    }
}

function handlerKey(fileType) {
    return "HKCR\\" + fileType + "\\shellex\\ContextMenuHandlers\\" + HANDLER_NAME;
}

// Runs a system tool and waits at most a minute for it; false when it failed or did not end.
// Exec is used because some script hosts (Wine's among them) never return from a waiting Run
// and have no WScript.Sleep and no ExitCode, so callers also check the registry.
// Tools are found first in the script host's own folder, the system folder.
function runTool(commandLine) {
    var process = shell.Exec(commandLine);
    var deadline = new Date().getTime() + 60000;
    while (process.Status == 0) {
        if (new Date().getTime() > deadline) {
            process.Terminate();
            return false;
        }
        try {
            WScript.Sleep(50);
        } catch (e) {
            // no Sleep in this host: keep polling
        }
    }
    try {
        return process.ExitCode == 0;
    } catch (e) {
        return true;
    }
}

function regsvr32(options, modulePath) {
    return runTool("regsvr32.exe /s " + options + "\"" + modulePath + "\"");
}

// Deletes a key that has a default value (valueName null) or one named value. Some hosts lack
// RegDelete; the system's reg tool does the same there.
function deleteEntry(key, valueName) {
    var path = key + "\\" + (valueName === null ? "" : valueName);
    try {
        shell.RegDelete(path);
    } catch (e) {
        var target = valueName === null ? "" : " /v \"" + valueName + "\"";
        runTool("reg.exe delete \"" + key + "\"" + target + " /f");
    }
    if (tryRead(path) !== null)
        throw new Error("could not delete " + path);
}

function registeredClass(entry) {
    return {
        clsid: tryRead("HKCR\\" + entry.progId + "\\CLSID\\"),
        name: tryRead("HKCR\\" + entry.progId + "\\")
    };
}

function install(modulePath) {
    if (!regsvr32("", modulePath))
        fail(2, "regsvr32 could not register " + modulePath);
    for (var i = 0; i < classes.length; i++) {
        var found = registeredClass(classes[i]);
        if (!found.clsid || !found.name)
            fail(3, classes[i].progId + " was not registered by " + modulePath);
        try {
            for (var j = 0; j < classes[i].fileTypes.length; j++)
                shell.RegWrite(handlerKey(classes[i].fileTypes[j]) + "\\", found.clsid, "REG_SZ");
            shell.RegWrite(APPROVED + "\\" + found.clsid, found.name, "REG_SZ");
        } catch (e) {
            fail(3, "Could not write the shell entries of " + classes[i].progId +
                    " (run from an elevated prompt): " + e.message);
        }
    }
    WScript.Echo("OrvexSE is installed.");
}

function uninstall(modulePath) {
    for (var i = 0; i < classes.length; i++) {
        var found = registeredClass(classes[i]);
        if (!found.clsid) {
            WScript.Echo(classes[i].progId + " is not registered; its shell entries, if any, stay.");
            continue;
        }
        try {
            for (var j = 0; j < classes[i].fileTypes.length; j++) {
                var key = handlerKey(classes[i].fileTypes[j]);
                if (tryRead(key + "\\") == found.clsid)
                    deleteEntry(key, null);
            }
            if (tryRead(APPROVED + "\\" + found.clsid) !== null)
                deleteEntry(APPROVED, found.clsid);
        } catch (e) {
            fail(3, "Could not remove the shell entries of " + classes[i].progId + ": " + e.message);
        }
    }
    if (!regsvr32("/u ", modulePath) || registeredClass(classes[0]).clsid)
        fail(2, "regsvr32 could not unregister " + modulePath);
    WScript.Echo("OrvexSE is uninstalled.");
}

function main() {
    var remove = false;
    var modulePath = null;
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var argument = WScript.Arguments(i);
        if (argument.toLowerCase() == "/u")
            remove = true;
        else if (argument.charAt(0) == "/" || modulePath !== null)
            fail(1, "Use: cscript //nologo install.js [/u] [path\\OrvexSE.dll]");
        else
            modulePath = argument;
    }
    // A 32-bit shell extension belongs in the 32-bit registry and is loaded by a 32-bit shell.
    if (shell.Environment("Process")("PROCESSOR_ARCHITECTURE").toLowerCase() != "x86")
        fail(1, "Run this with the 32-bit script host (on 64-bit Windows: %SystemRoot%\\SysWOW64\\cscript.exe).");
    if (modulePath === null)
        modulePath = files.BuildPath(files.GetParentFolderName(WScript.ScriptFullName), "OrvexSE.dll");
    if (!files.FileExists(modulePath))
        fail(1, modulePath + " does not exist.");
    if (remove)
        uninstall(modulePath);
    else
        install(modulePath);
}

// Some hosts end silently with exit code 0 on an uncaught error: every failure must say so.
try {
    main();
} catch (e) {
    fail(4, "Failed: " + e.message + " (" + (e.number >>> 0).toString(16) + ")");
}
