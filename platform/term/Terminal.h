// The terminal backend of a command-line front end: Control-C as
// Command-period, and the few facts about the standard streams that the
// headless display needs. Pure declarations: callers above platform/ include
// no POSIX header.
#pragma once

#include <string_view>

enum class TermStream { kOutput, kError };

// Control-C: the first one reports Command-period (PostCommandPeriod) so that
// a running search stops at its next poll; a second one ends the process at
// once with status 130. Installing twice is harmless.
void TermInstallInterruptHandler();
// True once a Control-C has arrived since the handler was installed.
bool TermInterrupted();

// Whether the stream is a terminal.
bool TermIsTerminal(TermStream stream);
// Columns of the terminal on standard error; 80 when it cannot be told.
int TermColumns();

// A one-line status on standard error, redrawn in place: the line is
// replaced by `utf8Line` (the caller keeps it within TermColumns()).
void TermWriteStatus(std::string_view utf8Line);
// Removes the status line, leaving the cursor at the start of an empty line.
void TermClearStatus();
// A permanent line on standard error (the status line, if shown, is cleared first).
void TermWriteLine(std::string_view utf8Line);
