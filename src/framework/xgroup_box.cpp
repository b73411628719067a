#include "framework/xgroup_box.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QImage>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>

#include "framework/qt_text.h"
#include "resources/string_table.h"

namespace wing {
namespace {

// While one group box paints, a paint request for another returns at once.
bool g_painting = false;

// How far below its rectangle's top the style starts its group-box frame (some styles
// leave room for a title of their own there).
int StyleFrameOffset(const QStyleOptionFrame& base, QStyle* style, const QWidget* widget) {
    QImage probe(64, 200, QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    {
        QPainter p(&probe);
        QStyleOptionFrame option = base;
        option.rect = probe.rect();
        style->drawPrimitive(QStyle::PE_FrameGroupBox, &option, &p, widget);
    }
    for (int y = 0; y < probe.height(); ++y)
        if (qAlpha(probe.pixel(32, y)) != 0) return y;
    return 0;
}

// The outline a 1-pixel GDI rectangle (left, top, right, bottom) draws: right and
// bottom exclusive.
void GdiRectangle(QPainter& p, int left, int top, int right, int bottom) {
    if (right - left < 1 || bottom - top < 1) return;
    p.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

}  // namespace

CXGroupBox::CXGroupBox(QWidget* parent) : QGroupBox(parent) {
    m_textColor = palette().color(QPalette::ButtonText);
    m_backColor = palette().color(QPalette::Window);
}

void CXGroupBox::Attach() {
    // The style draws a group-box frame of its own: that is the theme here.
    m_themed = style() != nullptr;
    if (m_themed) {
        QColor themeText = palette().color(QPalette::WindowText);
        m_textColor = themeText.isValid() ? themeText : palette().color(QPalette::Highlight);
    } else {
        m_textColor = palette().color(QPalette::ButtonText);
    }
    QFont f = font();
    if (parentWidget() && f == QApplication::font()) f = parentWidget()->font();
    m_font = f;
    m_captionExtent = QSize(0, 0);
}

void CXGroupBox::SetCaption(const std::wstring& text) {
    m_captionExtent = QSize(0, 0);
    const QString q = ToQString(text);
    const bool changed = q != title();
    setTitle(q);
    if (changed) {
        QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
    }
    repaint();
}

void CXGroupBox::SetCaption(unsigned stringId) {
    std::wstring text;
    if (stringId <= 0xFFFF) LoadLanguageString(DefaultResourceLanguage(), stringId, text);
    SetCaption(text);
}

void CXGroupBox::SetBold(bool bold) {
    m_font.setWeight(bold ? QFont::Bold : QFont::Normal);
    m_captionExtent = QSize(0, 0);
}

void CXGroupBox::SetCaptionFont() {
    // A fresh description: only the face and the height, so the weight is normal again.
    m_font = MakePixelFont(QString::fromUtf8("標楷體"), PointsToPixels(12), 400);
    m_captionExtent = QSize(0, 0);
}

void CXGroupBox::MeasureCaption() {
    if (m_captionExtent.width() != 0) return;
    const QString text = title();
    if (text.isEmpty()) return;
    QFontMetrics fm(m_font);
    m_captionExtent = QSize(fm.horizontalAdvance(text), fm.height());
}

QRect CXGroupBox::CaptionBox() const {
    const int d = m_captionExtent.height() + 1;
    return QRect(QPoint(m_captionInset, m_captionDrop),
                 QPoint(m_captionInset + m_captionExtent.width() + 6 - 1, m_captionDrop + d - 1));
}

void CXGroupBox::paintEvent(QPaintEvent*) {
    if (g_painting) return;
    g_painting = true;

    const int w = width();
    const int h = height();
    MeasureCaption();
    const int d = m_captionExtent.height() + 1;
    m_halfCaptionHeight = d / 2;
    const int half = m_halfCaptionHeight;
    const QRect frame(QPoint(0, half), QPoint(w - 1, h - 1));

    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    // See-through: the parent has already painted this place; only the caption band is
    // filled, the rest of the buffer stays clear.
    buffer.fill(Qt::transparent);
    {
        QPainter p(&buffer);
        p.fillRect(QRect(0, 0, w, std::min(h, 2 * half)), m_backColor);

        if (!m_previousFrame.isEmpty() && m_previousFrame != frame) {
            // The frame of the last paint, wiped where it no longer belongs.
            p.setPen(QPen(m_backColor, 5));
            p.setBrush(Qt::NoBrush);
            p.drawRect(m_previousFrame.adjusted(2, 2, -2, -2));
        }
        m_previousFrame = frame;

        p.setBrush(Qt::NoBrush);
        if (!m_borderColor && m_themed && m_useTheme && isEnabled()) {
            // The style's frame alone, its top line on the frame rectangle's top; some
            // styles shade the inside, which must stay clear.
            QStyleOptionFrame option;
            option.initFrom(this);
            option.features = QStyleOptionFrame::None;
            option.lineWidth = 1;
            option.midLineWidth = 0;
            const int offset = StyleFrameOffset(option, style(), this);
            QPixmap themed(frame.size() * ratio);
            themed.setDevicePixelRatio(ratio);
            themed.fill(Qt::transparent);
            {
                QPainter tp(&themed);
                option.rect = QRect(0, -offset, frame.width(), frame.height() + offset);
                style()->drawPrimitive(QStyle::PE_FrameGroupBox, &option, &tp, this);
                tp.setCompositionMode(QPainter::CompositionMode_Clear);
                tp.fillRect(QRect(QPoint(0, 0), frame.size()).adjusted(3, 3, -3, -3), Qt::transparent);
            }
            p.drawPixmap(frame.topLeft(), themed);
        } else {
            const QColor frameColour = (!m_borderColor || !isEnabled()) ? palette().color(QPalette::Dark)
                                                                          : *m_borderColor;
            const int left = 0, top = half;
            int right = w, bottom = h;
            if (m_etched) {
                right -= 1;
                bottom -= 1;
                // The highlight line, one pixel right of and below the frame line.
                p.setPen(QPen(palette().color(QPalette::Light), 1));
                GdiRectangle(p, left + 1, top + 1, right + 1, bottom + 1);
            }
            p.setPen(QPen(frameColour, 1));
            GdiRectangle(p, left, top, right, bottom);
        }

        // The caption box cuts the frame line behind the caption.
        p.fillRect(QRect(m_captionInset, m_captionDrop, m_captionExtent.width() + 6, d), m_backColor);
        const QString text = title();
        if (!text.isEmpty()) {
            QColor colour = m_textColor;
            if (!isEnabled() && m_greyWhenDisabled) colour = palette().color(QPalette::Disabled, QPalette::WindowText);
            const QRect textBox(m_captionInset + 3, 0, m_captionExtent.width(), d);
            p.fillRect(textBox, palette().color(QPalette::Window));
            p.setFont(m_font);
            p.setPen(colour);
            p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text);
        }
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, buffer);
    g_painting = false;
}

}  // namespace wing
