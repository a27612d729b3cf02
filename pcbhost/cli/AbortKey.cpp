#include "pcbhost/cli/AbortKey.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace pcbhost::cli::AbortKey {

namespace {

std::atomic<int> gWork{0};
std::atomic<int> gQuestion{0};
std::atomic<int> gPressed{0};
std::atomic<bool> gStopping{false};
struct sigaction gPrevious {};
bool gInstalled = false;
bool gAnnounce = false;
int gHolds = 0;

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

void Say(const char* text) {
    // write() is what a signal handler may use; a short write only shortens the note.
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void Handler(int) {
    if (OnInterrupt() == eInterrupt_Noted) {
        if (gAnnounce)
            Say("\npermutor: Ctrl-C: stopping at the next check (Ctrl-C again quits without saving)\n");
        return;
    }
    // The usual way: default action, re-raised; it is delivered when the handler returns.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
}

void SetBlocked(bool blocked) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

} // namespace

void Install(bool announce) {
    if (gInstalled)
        return;
    gAnnounce = announce;
    struct sigaction action {};
    action.sa_handler = Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, &gPrevious) == 0)
        gInstalled = true;
}

void Uninstall() {
    if (!gInstalled)
        return;
    sigaction(SIGINT, &gPrevious, nullptr);
    gInstalled = false;
}

TInterrupt OnInterrupt() {
    if (gWork.load() <= 0 || gQuestion.load() > 0 || gStopping.load())
        return eInterrupt_Terminate;
    int expected = 0;
    return gPressed.compare_exchange_strong(expected, 1) ? eInterrupt_Noted : eInterrupt_Terminate;
}

bool Consume() {
    int expected = 1;
    return gPressed.compare_exchange_strong(expected, 0);
}

void BeginWork() {
    ++gWork;
}
void EndWork() {
    if (--gWork <= 0) {
        gWork = 0;
    }
}
void BeginQuestion() {
    ++gQuestion;
}
void EndQuestion() {
    if (--gQuestion <= 0)
        gQuestion = 0;
}

void SetStopping(bool stopping) {
    gStopping = stopping;
}
bool Stopping() {
    return gStopping.load();
}

void Reset() {
    gWork = 0;
    gQuestion = 0;
    gPressed = 0;
    gStopping = false;
}

THold::THold() {
    if (gInstalled && gHolds++ == 0)
        SetBlocked(true);
}

THold::~THold() {
    if (gHolds > 0 && --gHolds == 0)
        SetBlocked(false);
}

} // namespace pcbhost::cli::AbortKey
