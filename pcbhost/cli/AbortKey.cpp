#include "pcbhost/cli/AbortKey.h"

#include <atomic>
#include <csignal>

namespace pcbhost::cli::AbortKey {

namespace {

std::atomic<int> gWork{0};
std::atomic<int> gQuestion{0};
std::atomic<int> gPressed{0};
struct sigaction gPrevious {};
bool gInstalled = false;

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

void Handler(int) {
    if (OnInterrupt() == eInterrupt_Noted)
        return;
    // The usual way: default action, re-raised; it is delivered when the handler returns.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
}

} // namespace

void Install() {
    if (gInstalled)
        return;
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
    if (gWork.load() <= 0 || gQuestion.load() > 0)
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

void Reset() {
    gWork = 0;
    gQuestion = 0;
    gPressed = 0;
}

} // namespace pcbhost::cli::AbortKey
