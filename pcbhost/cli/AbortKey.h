// Ctrl-C as the abort key. While the module works (a command runs, a progress bar or wait cursor
// is up) the first Ctrl-C is only noted, and the module sees it once through AbortKey_Pressed so
// it can stop cleanly and keep the board consistent. A Ctrl-C while a question is waiting, when
// no work runs, or while an earlier press is still unseen ends the program the usual way.
#pragma once

namespace pcbhost::cli::AbortKey {

enum TInterrupt { eInterrupt_Noted, eInterrupt_Terminate };

// Installs and removes the SIGINT handler (the real program only).
void Install();
void Uninstall();

// What a Ctrl-C does now; notes the press when it is to be noted. Safe in a signal handler.
TInterrupt OnInterrupt();
// True once per noted press.
bool Consume();

// Brackets of long work and of questions; they nest.
void BeginWork();
void EndWork();
void BeginQuestion();
void EndQuestion();

// Back to no work, no question, no press (between in-process runs).
void Reset();

} // namespace pcbhost::cli::AbortKey
