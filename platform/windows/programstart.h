#pragma once
// How the menu finds and starts programs on Windows.
//
// CreateProcessW given only a command line looks for the program in the folder of the running
// executable before the current folder. The menu sits in the medium's root and every entry's
// command runs in the entry's folder, so a setup.exe beside the menu would start in place of
// every entry's own setup.exe. The program is therefore looked up here, the current folder
// first, and CreateProcessW is given its full path.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform::win {

// One reading of the program word of a command line, as CreateProcessW reads it: a word that
// begins with a double quote runs to the next one (the quotes are dropped); an unquoted word
// ends at a blank, and where no program of that name exists, at the next blank and so on, so
// that "C:\Program Files\Tool\setup.exe /q" finds a program whose path holds blanks.
struct ProgramWord {
    std::wstring program;
    std::wstring rest;  // what follows the word, as written (the arguments)
};

// The readings to try, shortest first; none for a blank command line.
std::vector<ProgramWord> programWords(std::wstring_view commandLine);

// Where programs are looked for.
struct SearchPlaces {
    std::wstring currentDir;               // first: the entry's folder
    std::wstring applicationDir;           // then the menu's own folder
    std::vector<std::wstring> systemDirs;  // then the system folder, the Windows folder, PATH
    std::wstring commandProcessor;         // cmd.exe, which runs .bat and .cmd files

    // The places of this process now: its current directory, its executable's folder, the
    // system folders and the PATH variable.
    static SearchPlaces ofThisProcess();
};

// A command line's program, found.
struct ResolvedCommand {
    std::wstring program;  // full path of the file to start; empty when none was found
    std::wstring rest;     // the arguments as written
    std::string failure;   // why nothing can be started, when `program` is empty
};

// Finds the program of `commandLine`. A bare name is looked for in the current folder, the
// menu's folder, then the system folders and PATH; a name with a folder in it (relative to the
// current folder or absolute) only there. A name without an extension is tried with ".exe",
// ".com", ".bat" and ".cmd" in each folder in turn, as the command processor does. A command
// that cannot start here, a ".sh" script (from a medium made for Linux too) or a name without an
// extension that nothing matched, runs the ".exe", ".bat" or ".cmd" of the same name from the same
// folder (the current folder for a bare name), with the same arguments.
ResolvedCommand resolveCommand(std::wstring_view commandLine, const SearchPlaces& places);

// Starts a resolved command with its window in `showState` (1: normal, with the focus), in
// `places.currentDir`. Batch files run through the command processor. A program that must run
// as administrator is started through the shell, which asks the user first. When `process` is
// given, it receives the process handle, which the caller closes; otherwise nothing stays open.
StartResult startCommand(const ResolvedCommand& command, const SearchPlaces& places, int showState,
                         HANDLE* process = nullptr);

// What a document viewer command line (e.g. "C:\Windows\Notepad.exe readme.txt") starts, or the
// message that tells the user why nothing starts. Where Notepad is named but is not at that place
// (Windows lives elsewhere), the Notepad of this Windows opens the document. Notepad's document
// must exist: Notepad would offer to create it.
struct ViewerStart {
    ResolvedCommand command;
    std::string program;  // the viewer as the command line names it, for messages
    std::string message;  // empty when `command` is to be started
};
ViewerStart viewerCommand(std::wstring_view commandLine, const SearchPlaces& places);

// File system helpers, wide paths; "/" is taken as "\".
std::wstring withBackslashes(std::wstring path);
std::wstring joinPath(const std::wstring& folder, const std::wstring& name);
bool isFile(const std::wstring& path);
std::wstring currentDirectory();
std::wstring moduleDirectory();  // the folder of the running executable
std::wstring systemDirectory();
std::wstring windowsDirectory();

// A short reason for a Windows error code, as messages to the user carry it ("no such file").
std::string describeError(DWORD error);

}  // namespace platform::win
