#pragma once
// Working a modal window the way a user does: `open` shows it and returns once it is
// closed; meanwhile `act` gets the window once, and a window `act` left open is
// cancelled so the test never hangs on it.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

namespace wing::test {

// True when a modal T appeared and `act` ran on it.
template <class T>
bool WhileModal(const std::function<void()>& open, const std::function<void(T&)>& act) {
    bool acted = false;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* window = dynamic_cast<T*>(QApplication::activeModalWidget());
        if (window == nullptr) return;
        if (!acted) {
            acted = true;
            act(*window);
        }
        if (window->isVisible()) static_cast<QDialog*>(window)->reject();
    });
    timer.start();
    open();
    return acted;
}

}  // namespace wing::test
