#include "HostOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool OnSandboxDrive(const std::string &path)
{
    return path.size() >= 3 && (path[0] == 'S' || path[0] == 's' || path[0] == 'T' || path[0] == 't') &&
           path[1] == ':' && path[2] == '\\';
}

bool ParseHandlers(const std::string &text, HandlerSet &handlers)
{
    static const struct
    {
        const char *name;
        HandlerSet handlers;
    } names[] = {
        {"delete", HandlerSet::Delete},
        {"link", HandlerSet::Link},
        {"both-delete-first", HandlerSet::BothDeleteFirst},
        {"both-link-first", HandlerSet::BothLinkFirst},
    };
    for (const auto &name : names) {
        if (text == name.name) {
            handlers = name.handlers;
            return true;
        }
    }
    return false;
}

bool ParseAnswer(const std::string &text, DialogAnswer &answer)
{
    if (text == "ok")
        answer = DialogAnswer::Ok;
    else if (text == "cancel")
        answer = DialogAnswer::Cancel;
    else if (text == "none")
        answer = DialogAnswer::LeaveToUser;
    else
        return false;
    return true;
}

} // namespace

bool ParseHostOptions(int argc, char **argv, HostOptions &options, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--handler" && hasValue) {
            if (!ParseHandlers(argv[++i], options.handlers)) {
                error = "unknown handler set " + std::string(argv[i]);
                return false;
            }
        } else if (arg == "--recycle") {
            options.handlers = HandlerSet::Recycle;
        } else if (arg == "--answer" && hasValue) {
            if (!ParseAnswer(argv[++i], options.answer)) {
                error = "unknown answer " + std::string(argv[i]);
                return false;
            }
        } else if (arg == "--answer-delay" && hasValue) {
            options.answerDelayMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--capture" && hasValue) {
            options.captureFolder = argv[++i];
        } else if (arg == "--dll" && hasValue) {
            options.modulePath = argv[++i];
        } else if (arg == "--register") {
            options.registerForRun = true;
        } else if (arg == "--item" && hasValue) {
            options.itemText = argv[++i];
        } else if (arg == "--verb" && hasValue) {
            options.verb = argv[++i];
        } else if (arg == "--menu-only") {
            options.invoke = false;
        } else if (arg == "--init-only") {
            options.initOnly = true;
        } else if (arg == "--any-path") {
            options.anyPath = true;
        } else if (arg.compare(0, 2, "--") == 0) {
            error = "unknown option " + arg;
            return false;
        } else {
            options.paths.push_back(arg);
        }
    }
    if (options.anyPath)
        return true;
    // This host deletes what it is given: by default only on the sandbox drives.
    for (const std::string &path : options.paths) {
        if (!OnSandboxDrive(path)) {
            error = "refusing " + path + ": not on S: or T: (use --any-path)";
            return false;
        }
    }
    if (!options.captureFolder.empty() && !OnSandboxDrive(options.captureFolder)) {
        error = "refusing capture folder " + options.captureFolder + ": not on S: or T:";
        return false;
    }
    return true;
}

void PrintHostUsage()
{
    std::printf(
        "usage: shellhost [options] path...\n"
        "  Builds a context menu from the module's handlers for the selected paths, the way the\n"
        "  shell does, and invokes the Secure Delete item.\n"
        "  --handler delete|link|both-delete-first|both-link-first   handlers in the menu (delete)\n"
        "  --recycle              the Recycle Bin's menu instead (no paths)\n"
        "  --answer ok|cancel|none  answer the module's dialogs (none: leave them to the user)\n"
        "  --answer-delay MS      wait before answering\n"
        "  --capture FOLDER       save confirm.bmp, message.bmp and progress.bmp there\n"
        "  --dll PATH             this module file, loaded directly (with --register: registered)\n"
        "  --register             register the module for this run (unregistered again at the end\n"
        "                         unless it was registered before) and create the handlers through\n"
        "                         the registry; without it an unregistered module is loaded directly\n"
        "  --item TEXT            the menu item to invoke\n"
        "  --verb VERB            invoke with a string verb instead of the item's offset (the\n"
        "                         handlers answer every verb E_FAIL: it is another handler's)\n"
        "  --menu-only            list the menu, invoke nothing\n"
        "  --init-only            exit with the first handler's Initialize result\n"
        "  --any-path             allow paths outside the sandbox drives S: and T:\n");
}
