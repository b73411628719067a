#pragma once
// One QApplication for a whole GUI test program, on the offscreen platform, created before
// the first test runs (test listing alone never builds it).

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace wing::test {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The dialog's pixel sizes assume the usual 96 dots per inch.
        setenv("QT_FONT_DPI", "96", 1);
        static int argc = 1;
        static char name[] = "wing-gui-test";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

// Processes events until `done` holds or the time runs out; the final value of `done`.
// Between events the thread sleeps (a 5 ms tick wakes it to look again), so a long wait
// does not spin a core that the threads under test need.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (timer.elapsed() > timeout.count()) return done();
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
}

}  // namespace wing::test

// Registers the environment once per test program.
#define WING_QT_TEST_ENVIRONMENT()                                                            \
    static ::testing::Environment* const wing_qt_env_ [[maybe_unused]] =                      \
        ::testing::AddGlobalTestEnvironment(new ::wing::test::QtEnvironment)
