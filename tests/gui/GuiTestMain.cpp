// Widget tests need one QApplication for the whole run; without a display they draw offscreen.
#include <QApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

// GLib (under Qt's fonts and platform theme) keeps a few blocks for the life of the process,
// which the leak checker of sanitizer builds would report at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}

// A pooled thread frees its thread data (kept in thread-local storage) only as it exits, a moment
// after the pool has seen it finish: the process waits for that, a second at most, so that the
// leak checker does not find the data of a thread still on its way out.
static void WaitForOtherThreadsToExit() {
    for (int i = 0; i < 100; ++i) {
        std::error_code ec;
        std::size_t threads = 0;
        for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end;
             it.increment(ec))
            ++threads;
        if (ec || threads <= 1)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Recent files and other settings of the tests stay out of the user's own.
    // Qt's own event dispatcher: the GLib one keeps allocations the leak checker reports.
    qputenv("QT_NO_GLIB", "1");
    qputenv("XDG_CONFIG_HOME", QByteArray("/tmp/permutor-gui-test-config"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Permutor");
    QApplication::setApplicationName("permutor-gui-test");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Qt's pooled worker threads hold their thread data in thread-local storage, which the leak
    // checker does not scan: let them finish before it looks at what is left.
    QThreadPool::globalInstance()->waitForDone();
    WaitForOtherThreadsToExit();
    return result;
}
