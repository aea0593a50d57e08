#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "DialogWatcher.h"

// Which of the module's handlers fill the menu, and in which order the shell initialises them.
enum class HandlerSet { Delete, Link, BothDeleteFirst, BothLinkFirst, Recycle };

struct HostOptions
{
    HandlerSet handlers = HandlerSet::Delete;
    DialogAnswer answer = DialogAnswer::LeaveToUser;
    DWORD answerDelayMs = 0;
    std::string captureFolder;
    std::string modulePath;   // the module file (default: OrvexSE.dll beside the host)
    bool registerForRun = false; // register the module for this run and create through the registry
    std::string itemText;     // the menu item to invoke; the handlers' own text by default
    std::string verb;         // invoke with this string verb instead of the item's offset
    bool invoke = true;       // false: show the menu only
    bool initOnly = false;    // exit with the first handler's Initialize result
    bool anyPath = false;     // allow paths outside the sandbox drives S: and T:
    std::vector<std::string> paths;
};

// Fills options from the command line; false with a reason when it cannot be used.
bool ParseHostOptions(int argc, char **argv, HostOptions &options, std::string &error);
void PrintHostUsage();
