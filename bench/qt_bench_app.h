#pragma once
// The application object and the event pump the window benchmarks share: offscreen unless
// the caller chose a platform, made once per process.

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <functional>

namespace wing::bench {

inline void EnsureApp(const char* program) {
    static QApplication* app = [program] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char* argv[] = {const_cast<char*>(program), nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

// Runs the event loop until `done` holds; false when `ms` passed first.
inline bool Pump(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done()) QThread::usleep(200);
    }
    return true;
}

}  // namespace wing::bench
