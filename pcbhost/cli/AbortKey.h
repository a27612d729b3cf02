// Ctrl-C as the abort key. While the module works (a command runs, a progress bar or wait cursor
// is up) the first Ctrl-C is only noted, and the module sees it once through AbortKey_Pressed so
// it can stop cleanly and keep the board consistent. A Ctrl-C while a question waits on the
// terminal, when no work runs, while an earlier press is still unseen, or once the user has
// confirmed that the work stops, ends the program the usual way: nothing is saved then. Files are
// written with Ctrl-C held back, so a press during a save ends the program only once every file
// is complete.
#pragma once

namespace pcbhost::cli::AbortKey {

enum TInterrupt { eInterrupt_Noted, eInterrupt_Terminate };

// Installs and removes the SIGINT handler (the real program only). `announce`: a noted press
// says on standard error what happens next.
void Install(bool announce = true);
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
// The user confirmed that the running work stops: from now on a Ctrl-C ends the program. Cleared
// when the next command starts.
void SetStopping(bool stopping);
bool Stopping();

// Back to no work, no question, no press (between in-process runs).
void Reset();

// Holds Ctrl-C back while alive (with the handler installed): a press is delivered when the
// last holder goes. For writing files, which must not be cut short.
class THold {
public:
    THold();
    ~THold();
    THold(const THold&) = delete;
    THold& operator=(const THold&) = delete;
};

} // namespace pcbhost::cli::AbortKey
