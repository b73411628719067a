#pragma once
// One QApplication for a whole GUI test program, on the offscreen platform, created before
// the first test runs (test listing alone never builds it).

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

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
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout.count()) return done();
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline void PumpFor(std::chrono::milliseconds time) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < time.count()) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace wing::test

// Registers the environment once per test program.
#define WING_QT_TEST_ENVIRONMENT()                                                            \
    static ::testing::Environment* const wing_qt_env_ [[maybe_unused]] =                      \
        ::testing::AddGlobalTestEnvironment(new ::wing::test::QtEnvironment)
