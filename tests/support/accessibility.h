#pragma once
// What assistive technology (AT-SPI, through QAccessible) reads of a window: every
// control a user can reach or press must say what it is (its role) and which one it is
// (its name).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QWidget>

#include <string>
#include <vector>

namespace wing::test {

// A visible control that a pointer can press or the keyboard can reach, leaving out the
// parts composite controls are built of (a spin box's or a combo box's own line edit).
inline bool IsInteractive(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p)) return false;
    if (qobject_cast<const QAbstractButton*>(w)) return true;
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

// Walks every visible widget under `top` (shown); each interactive control without a role
// or with an empty name is a failure naming its class and object name. `checked` counts
// the controls looked at, so a walk that found nothing cannot pass unnoticed.
inline ::testing::AssertionResult EveryControlIsNamed(QWidget* top, int* checked = nullptr) {
    std::vector<std::string> unnamed;
    int count = 0;
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisible() || !IsInteractive(w)) continue;
        ++count;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const QString what = QString::fromLatin1(w->metaObject()->className()) + " '" + w->objectName() + "'" +
                             (w->parentWidget() ? QString::fromLatin1(" in ") + w->parentWidget()->metaObject()->className() : QString());
        if (a == nullptr || a->role() == QAccessible::NoRole) {
            unnamed.push_back(what.toStdString() + ": no role");
        } else if (a->text(QAccessible::Name).trimmed().isEmpty()) {
            unnamed.push_back(what.toStdString() + ": no name");
        }
    }
    if (checked) *checked = count;
    if (unnamed.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (const auto& u : unnamed) failure << "\n  " << u;
    return failure;
}

}  // namespace wing::test
