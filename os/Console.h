#pragma once
#include <atomic>
#include <string>
#include <vector>

// What a command-line program needs from the terminal or console it runs in;
// one implementation per platform.

// The arguments after the program's name, as UTF-8 (Windows reads its
// UTF-16 command line, so any file name comes through).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes UTF-8 output readable where the console would show it otherwise.
void PrepareConsole();

// The first Ctrl-C (SIGINT, SIGTERM, SIGHUP; Ctrl-Break and closing the
// console on Windows) sets *flag, which the run checks at every pump; a
// second one, or a SIGQUIT, ends the program at once even if something is
// stuck. A reader that goes away (| head) stops nobody: output to it just
// fails, and the board in hand is finished.
void InstallInterruptHandler(std::atomic<bool>* flag);

// restore runs when the program is ended at once (see above), just before it
// goes: it gives back what must not be left behind, such as a terminal in raw
// mode. It runs inside a signal handler, so it may only make calls that are
// safe there. nullptr removes it; one at a time.
void SetRestoreBeforeAbruptEnd(void (*restore)());

// true when a hang-up (SIGHUP) came first, whatever state the run was
// stopped in.
bool HangUpReceived();

// Before a panel is drawn: true when standard output is a terminal that
// takes escape codes (switched on where the console needs it), false when
// plain lines must do.
bool StdoutTakesEscapeCodes();

// true when standard output is a terminal or console (a bar is drawn
// there), false for a file or a pipe (plain lines).
bool StdoutIsConsole();
