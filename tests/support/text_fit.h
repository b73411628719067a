#pragma once
// Walks a window's controls and names every text that does not fit where its control
// draws it: wider (or, wrapped, taller) than the room the control gives it, measured
// with the font the control draws with and the style's indicator, frame and margins
// (framework/text_room.h). Works on any widget tree: a dialog built from a template or
// one laid out by Qt.

#include <QWidget>

#include <sstream>
#include <string>
#include <vector>

#include "framework/text_room.h"

namespace wing::test {

struct TextMisfit {
    QString window;   // class and title of the walked window
    QString control;  // object name, template id or class of the control
    TextRoom room;
};

// A name a person can find the control by.
inline QString ControlName(const QWidget& w) {
    QString name = QString::fromLatin1(w.metaObject()->className());
    if (!w.objectName().isEmpty()) name += QStringLiteral(" '%1'").arg(w.objectName());
    const QVariant id = w.property("wingControlId");
    if (id.isValid()) name += QStringLiteral(" id %1").arg(id.toInt());
    return name;
}

inline QString WindowName(const QWidget& top) {
    return QString::fromLatin1(top.metaObject()->className()) + QStringLiteral(" \"%1\"").arg(top.windowTitle());
}

// Every text of every control under `top` that the user can see and that does not fit.
// Windows of their own (a combo box's list, a calendar) are not part of `top`.
inline std::vector<TextMisfit> TextsThatDoNotFit(const QWidget& top) {
    std::vector<TextMisfit> misfits;
    const QString window = WindowName(top);
    for (const QWidget* w : top.findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(&top)) continue;
        for (const TextRoom& room : TextRooms(*w))
            if (!room.Fits()) misfits.push_back({window, ControlName(*w), room});
    }
    return misfits;
}

inline std::string Describe(const std::vector<TextMisfit>& misfits) {
    std::ostringstream out;
    for (const TextMisfit& m : misfits) {
        out << m.window.toStdString() << ": " << m.control.toStdString() << " \"" << m.room.text.toStdString()
            << "\" needs " << m.room.need.width() << "x" << m.room.need.height() << " px, has " << m.room.have.width()
            << "x" << m.room.have.height() << "\n";
    }
    return out.str();
}

}  // namespace wing::test
