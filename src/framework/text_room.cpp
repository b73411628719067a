#include "framework/text_room.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>

#include <cmath>

#include "framework/color_font_static.h"
#include "framework/xgroup_box.h"

namespace wing {
namespace {

// Whole pixels that hold a measured extent: text drawn at fractional positions (a scale
// factor of 1.5) must not lose its last column to rounding.
int Ceil(qreal v) { return static_cast<int>(std::ceil(v - 1e-6)); }

QSize OneLine(const QFont& font, const QString& text, int flags = Qt::TextShowMnemonic) {
    const QFontMetricsF fm(font);
    const QSizeF size = fm.size(flags | Qt::TextSingleLine, text);
    return QSize(Ceil(size.width()), Ceil(std::max(size.height(), fm.height())));
}

// A text laid out from the top left of a box `width` wide (unbounded when 0), as
// QPainter::drawText lays it out with `flags`.
QSize Laid(const QFont& font, const QString& text, int flags, int width) {
    const QFontMetricsF fm(font);
    const qreal w = width > 0 ? width : 1e6;
    const QRectF box = fm.boundingRect(QRectF(0, 0, w, 1e6), flags, text);
    return QSize(Ceil(box.width()), Ceil(box.height()));
}

TextRoom ColourStatic(const CColorFontStatic& s, const QString& text) {
    // A wrapped text takes the width it has, and as many lines as that gives it.
    const QRect client = s.contentsRect();
    return {text, Laid(s.PaintFont(), CColorFontStatic::PaintedText(text), s.PaintFlags(), s.WordWrap() ? client.width() : 0),
            client.size()};
}

TextRoom GroupCaption(const CXGroupBox& box, const QString& text) {
    // The caption box starts at the inset and is 6 pixels wider than the text; the same
    // inset on the right keeps the caption clear of the frame's corner.
    const QSize line = OneLine(box.CaptionFont(), text);
    return {text, QSize(2 * box.m_captionInset + line.width() + 6, line.height() + 1), box.size()};
}

TextRoom PlainGroupCaption(const QGroupBox& box, const QString& text) {
    QStyleOptionGroupBox opt;
    opt.initFrom(&box);
    opt.text = text;
    opt.textAlignment = box.alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box.isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    const QRect label = box.style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, &box);
    // The label with the margin it keeps on its left kept on its right too.
    return {text, QSize(label.right() + 1 + label.left(), label.height()), box.size()};
}

QStyleOptionButton ButtonOption(const QAbstractButton& b, const QString& text) {
    QStyleOptionButton opt;
    opt.initFrom(&b);
    opt.text = text;
    opt.icon = b.icon();
    opt.iconSize = b.iconSize();
    if (const auto* push = qobject_cast<const QPushButton*>(&b)) {
        if (push->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault()) opt.features |= QStyleOptionButton::DefaultButton;
        if (push->isFlat()) opt.features |= QStyleOptionButton::Flat;
        if (push->menu()) opt.features |= QStyleOptionButton::HasMenu;
    }
    return opt;
}

TextRoom Button(const QAbstractButton& b, const QString& text) {
    const QStyleOptionButton opt = ButtonOption(b, text);
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(&b)) contents = QStyle::SE_CheckBoxContents;
    if (qobject_cast<const QRadioButton*>(&b)) contents = QStyle::SE_RadioButtonContents;
    const QRect room = b.style()->subElementRect(contents, &opt, &b);
    QSize need = OneLine(b.font(), text);
    if (!b.icon().isNull()) need.rwidth() += b.iconSize().width() + 4;
    return {text, need, room.size()};
}

TextRoom Label(const QLabel& label, const QString& text) {
    // QLabel draws inside its contents rectangle less its margin.
    const int m = label.margin();
    const QRect room = label.contentsRect().adjusted(m, m, -m, -m);
    int flags = static_cast<int>(label.alignment());
    // '&' marks a mnemonic only when the label names a buddy; otherwise it is shown.
    if (label.buddy()) flags |= Qt::TextShowMnemonic;
    if (label.wordWrap()) flags |= Qt::TextWordWrap;
    // A wrapped text takes the width it has; a word longer than that still sticks out.
    const QSize need = Laid(label.font(), text, flags, label.wordWrap() ? room.width() : 0);
    return {text, need, room.size()};
}

TextRoom ComboItem(const QComboBox& combo, const QString& text) {
    QStyleOptionComboBox opt;
    opt.initFrom(&combo);
    opt.editable = combo.isEditable();
    opt.frame = combo.hasFrame();
    opt.currentText = text;
    const QRect field = combo.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &combo);
    // The label is drawn one pixel inside the field on either side.
    return {text, OneLine(combo.font(), text, 0), field.size() - QSize(2, 0)};
}

TextRoom LineEdit(const QLineEdit& edit, const QString& text) {
    QStyleOptionFrame panel;
    panel.initFrom(&edit);
    panel.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, &edit) : 0;
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    QRect room = edit.style()->subElementRect(QStyle::SE_LineEditContents, &panel, &edit);
    room = room.marginsRemoved(edit.textMargins());
    // QLineEdit keeps two pixels clear on either side of its text.
    room.adjust(2, 0, -2, 0);
    return {text, OneLine(edit.font(), text, 0), room.size()};
}

}  // namespace

std::optional<TextRoom> MeasureText(const QWidget& control, const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    if (const auto* s = dynamic_cast<const CColorFontStatic*>(&control)) return ColourStatic(*s, text);
    if (const auto* box = dynamic_cast<const CXGroupBox*>(&control)) return GroupCaption(*box, text);
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) return PlainGroupCaption(*box, text);
    if (const auto* b = qobject_cast<const QAbstractButton*>(&control)) return Button(*b, text);
    if (const auto* label = qobject_cast<const QLabel*>(&control)) return Label(*label, text);
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) return ComboItem(*combo, text);
    if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) return LineEdit(*edit, text);
    return std::nullopt;
}

std::vector<TextRoom> TextRooms(const QWidget& control) {
    std::vector<TextRoom> rooms;
    auto add = [&](const QString& text) {
        if (auto room = MeasureText(control, text)) rooms.push_back(*room);
    };
    if (const auto* box = qobject_cast<const QGroupBox*>(&control)) {
        add(box->title());
    } else if (const auto* b = qobject_cast<const QAbstractButton*>(&control)) {
        add(b->text());
    } else if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        // Rich text lays itself out as a document; a picture has no text.
        if (label->pixmap().isNull() && (label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(label->text())))
            add(label->text());
    } else if (const auto* combo = qobject_cast<const QComboBox*>(&control)) {
        for (int i = 0; i < combo->count(); ++i) add(combo->itemText(i));
        if (combo->isEditable() && combo->findText(combo->currentText()) < 0) add(combo->currentText());
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) {
        // A combo box's own field is measured with the combo box.
        if (!qobject_cast<const QComboBox*>(edit->parentWidget()))
            add(edit->text().isEmpty() ? edit->placeholderText() : edit->displayText());
    }
    return rooms;
}

}  // namespace wing
