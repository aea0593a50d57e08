// Ties OrvexSE into the shell's context menus, or takes it out again.
//
//   cscript //nologo install.js [folder]       install
//   cscript //nologo install.js /u [folder]    uninstall
//
// The folder (default: this script's folder) holds the modules in x64\OrvexSE.dll and
// x86\OrvexSE.dll. Run it from an elevated command prompt.
//   32-bit Windows: the x86 module is registered and tied in.
//   64-bit Windows: the x64 module for 64-bit programs (Explorer among them) in the 64-bit
//   registry, and the x86 module, if present, for 32-bit programs' file dialogs in the 32-bit
//   registry. Each half runs in the script host of its own architecture, so that it reaches that
//   architecture's regsvr32 and registry view.
// The module registers its own classes (through regsvr32); this script adds what makes the shell
// load them: one context-menu handler key per file type and an entry in the approved-extensions
// list. Uninstalling removes exactly those entries, and only where they still name this module's
// classes, then unregisters the module.
//
// Exit codes: 0 done, 1 wrong use, 2 regsvr32 failed, 3 a registry entry could not be made,
// 4 anything else.

var shell = new ActiveXObject("WScript.Shell");
var files = new ActiveXObject("Scripting.FileSystemObject");

var HANDLER_NAME = "OrvexSE";
var APPROVED = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
var RECYCLE_BIN = "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}";
var USE = "Use: cscript //nologo install.js [/u] [folder holding x64\\OrvexSE.dll and x86\\OrvexSE.dll]";

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

function describe(e) {
    return (e.message || "error") + " (" + (e.number >>> 0).toString(16) + ")";
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

// Runs a program and waits at most a minute for it; its exit code, or -1 when it did not end.
// Exec is used because some script hosts (Wine's among them) never return from a waiting Run
// and have no WScript.Sleep and no ExitCode, so callers also check the registry.
function runTool(commandLine) {
    var process = shell.Exec(commandLine);
    var deadline = new Date().getTime() + 60000;
    while (process.Status == 0) {
        if (new Date().getTime() > deadline) {
            process.Terminate();
            return -1;
        }
        try {
            WScript.Sleep(50);
        } catch (e) {
            // no Sleep in this host: keep polling
        }
    }
    try {
        while (!process.StdOut.AtEndOfStream)
            WScript.Echo(process.StdOut.ReadLine());
    } catch (e) {
        // no output stream in this host
    }
    try {
        return process.ExitCode;
    } catch (e) {
        return 0;
    }
}

// The system folder of this host's architecture holds its regsvr32 and reg.
function regsvr32(options, modulePath) {
    return runTool("regsvr32.exe /s " + options + "\"" + modulePath + "\"") == 0;
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
                    " (run from an elevated prompt): " + describe(e));
        }
    }
    WScript.Echo("OrvexSE (" + hostArchitecture() + ") is installed.");
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
            fail(3, "Could not remove the shell entries of " + classes[i].progId + ": " + describe(e));
        }
    }
    if (!regsvr32("/u ", modulePath) || registeredClass(classes[0]).clsid)
        fail(2, "regsvr32 could not unregister " + modulePath);
    WScript.Echo("OrvexSE (" + hostArchitecture() + ") is uninstalled.");
}

function environment(name) {
    return shell.Environment("Process")(name).toLowerCase();
}

// The architecture of this script host: x86 or x64.
function hostArchitecture() {
    return environment("PROCESSOR_ARCHITECTURE") == "x86" ? "x86" : "x64";
}

function windowsIs64Bit() {
    return hostArchitecture() == "x64" || environment("PROCESSOR_ARCHITEW6432") != "";
}

// The script host of the other architecture on 64-bit Windows: SysWOW64 holds the 32-bit one;
// a 32-bit host reaches the 64-bit system folder through Sysnative.
function otherHost() {
    var windows = shell.ExpandEnvironmentStrings("%SystemRoot%");
    return windows + (hostArchitecture() == "x64" ? "\\SysWOW64" : "\\Sysnative") + "\\cscript.exe";
}

function modulePathIn(folder, architecture) {
    return files.BuildPath(files.BuildPath(folder, architecture), "OrvexSE.dll");
}

// One architecture's half, in a host of that architecture.
function runHalf(architecture, folder, remove) {
    if (architecture == hostArchitecture()) {
        var modulePath = modulePathIn(folder, architecture);
        if (remove)
            uninstall(modulePath);
        else
            install(modulePath);
        return 0;
    }
    var line = "\"" + otherHost() + "\" //nologo \"" + WScript.ScriptFullName + "\" /half " +
               (remove ? "/u " : "") + "\"" + folder + "\"";
    return runTool(line);
}

function main() {
    var remove = false;
    var half = false;
    var folder = null;
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var argument = WScript.Arguments(i);
        if (argument.toLowerCase() == "/u")
            remove = true;
        else if (argument.toLowerCase() == "/half")
            half = true; // started by this script for the host's own architecture only
        else if (argument.charAt(0) == "/" || folder !== null)
            fail(1, USE);
        else
            folder = argument;
    }
    if (folder === null)
        folder = files.GetParentFolderName(WScript.ScriptFullName);
    if (!files.FolderExists(folder))
        fail(1, folder + " does not exist. " + USE);
    folder = files.GetAbsolutePathName(folder);

    if (half) {
        runHalf(hostArchitecture(), folder, remove);
        return;
    }
    var architectures = windowsIs64Bit() ? ["x64", "x86"] : ["x86"];
    var present = [];
    for (var j = 0; j < architectures.length; j++) {
        if (files.FileExists(modulePathIn(folder, architectures[j])))
            present.push(architectures[j]);
    }
    if (present.length == 0 || present[0] != architectures[0])
        fail(1, modulePathIn(folder, architectures[0]) + " does not exist. " + USE);
    if (present.length < architectures.length)
        WScript.Echo(modulePathIn(folder, "x86") + " does not exist: 32-bit programs will not show the items.");
    for (var k = 0; k < present.length; k++) {
        var code = runHalf(present[k], folder, remove);
        if (code != 0)
            fail(code < 0 ? 4 : code, "The " + present[k] + " half ended with code " + code + ".");
    }
}

// Some hosts end silently with exit code 0 on an uncaught error: every failure must say so.
try {
    main();
} catch (e) {
    fail(4, "Failed: " + describe(e));
}
