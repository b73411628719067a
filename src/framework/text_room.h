#pragma once
// The room a control's text takes and the room the control gives it, measured with the
// font the control draws with and the style's own decoration (a check box's indicator, a
// push button's frame, a group box's caption inset, a combo box's arrow). A window's
// layout grows from these figures, and the tests judge every window by them.

#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QWidget;

namespace wing {

struct TextRoom {
    QString text;
    QSize need;  // pixels the text takes where the control draws it
    QSize have;  // pixels the control gives it there
    bool Fits() const { return need.width() <= have.width() && need.height() <= have.height(); }
    // How much wider the control must be for the text to fit; 0 when it does.
    int MissingWidth() const { return need.width() > have.width() ? need.width() - have.width() : 0; }
    int MissingHeight() const { return need.height() > have.height() ? need.height() - have.height() : 0; }
};

// Every text the control shows: its text or caption, a combo box's items (each one is
// shown in the field once chosen), a line edit's contents (its placeholder while empty).
// Empty for controls without a text, for pictures, and for item views, which scroll.
std::vector<TextRoom> TextRooms(const QWidget& control);

// The room `text` would take in this control, in place of its own text.
std::optional<TextRoom> MeasureText(const QWidget& control, const QString& text);

}  // namespace wing
