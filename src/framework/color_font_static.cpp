#include "framework/color_font_static.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cmath>

#include "framework/qt_text.h"

namespace wing {

CColorFontStatic::CColorFontStatic(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_textColor = palette().color(QPalette::WindowText);
}

bool CColorFontStatic::OnUiThread() const { return QThread::currentThread() == thread(); }

int CColorFontStatic::HeightForPoints(int points, double dpi) {
    return -static_cast<int>(std::lround(dpi * points * 10.0 / 720.0));
}

void CColorFontStatic::Attach() {
    // The font the control uses now (the dialog's), or the application's when it has none.
    QFont current = font();
    m_description.faceName = FromQString(current.family());
    if (m_description.faceName.size() > kMaxFaceName) m_description.faceName.resize(kMaxFaceName);
    int pixels = current.pixelSize();
    if (pixels <= 0) pixels = PointsToPixels(current.pointSize() > 0 ? current.pointSize() : 9);
    m_description.height = -pixels;
    m_description.width = 0;
    m_description.weight = current.weight() >= QFont::Bold ? 700 : 400;
    m_description.charSet = 1;
    m_attached = true;
    RebuildFont();
}

void CColorFontStatic::RebuildFont() {
    m_font = MakePixelFont(ToQString(m_description.faceName), std::abs(m_description.height),
                           m_description.weight);
}

void CColorFontStatic::Redraw() {
    // The control at once, then its place in the parent without erasing.
    repaint();
    if (QWidget* p = parentWidget()) {
        p->update(geometry());
    }
}

CColorFontStatic& CColorFontStatic::SetBackColor(const QColor& colour) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, colour] { SetBackColor(colour); }, Qt::QueuedConnection);
        return *this;
    }
    m_backColor = colour;
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetTextColor(const QColor& colour) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, colour] { SetTextColor(colour); }, Qt::QueuedConnection);
        return *this;
    }
    if (colour == m_textColor) return *this;  // the status poll sets the same colours again and again
    m_textColor = colour;
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetText(const std::wstring& text) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, text] { SetText(text); }, Qt::QueuedConnection);
        return *this;
    }
    if (!m_attached) return *this;  // no window yet: nothing to set
    const QString q = ToQString(text);
    // The status answers set the same battery text twice a second: only a change is drawn.
    if (q == QLabel::text()) return *this;
    setText(q);
    m_text = text;
    // Assistive technology reads the status texts as they change.
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetBold(bool bold) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, bold] { SetBold(bold); }, Qt::QueuedConnection);
        return *this;
    }
    m_description.weight = bold ? 700 : 400;
    RebuildFont();
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetFaceName(const std::wstring& face, std::uint8_t charSet) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, face, charSet] { SetFaceName(face, charSet); },
                                  Qt::QueuedConnection);
        return *this;
    }
    m_description.charSet = charSet;
    m_description.faceName = face.substr(0, kMaxFaceName);
    RebuildFont();
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetPointSize(int points) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, points] { SetPointSize(points); }, Qt::QueuedConnection);
        return *this;
    }
    double dpi = 96.0;
    if (auto* s = screen() ? screen() : QGuiApplication::primaryScreen()) dpi = s->logicalDotsPerInchY();
    const int height = HeightForPoints(points, dpi);
    if (height == m_description.height && m_description.width == 0) return *this;
    m_description.height = height;
    m_description.width = 0;
    RebuildFont();
    Redraw();
    return *this;
}

CColorFontStatic& CColorFontStatic::SetFontDescription(const FontDescription&) { return *this; }

CColorFontStatic& CColorFontStatic::SetBorder(bool border) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, border] { SetBorder(border); }, Qt::QueuedConnection);
        return *this;
    }
    m_border = border;
    setFrameStyle(border ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
    Redraw();
    return *this;
}

std::wstring CColorFontStatic::Text() const { return FromQString(QLabel::text()); }

QColor CColorFontStatic::EffectiveBackColor() const {
    // The button face, which is the dialog's own surface.
    return m_backColor ? *m_backColor : palette().color(QPalette::Window);
}

QString CColorFontStatic::PaintedText(QString text) {
    // Windows breaks lines at CR LF; a lone CR is no line of its own.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

int CColorFontStatic::PaintFlags() const {
    return Qt::AlignLeft | Qt::AlignTop | (m_noPrefix ? 0 : Qt::TextShowMnemonic) | (m_wordWrap ? Qt::TextWordWrap : 0);
}

void CColorFontStatic::paintEvent(QPaintEvent*) {
    m_text = FromQString(QLabel::text());
    const QRect client = contentsRect();
    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    {
        QPainter mem(&buffer);
        mem.fillRect(rect(), EffectiveBackColor());
        mem.setFont(m_font);
        mem.setPen(m_textColor);
        mem.setClipRect(client);
        mem.drawText(client, PaintFlags(), PaintedText(QLabel::text()));
    }
    QPainter p(this);
    p.drawPixmap(0, 0, buffer);
    if (m_border) drawFrame(&p);
}

}  // namespace wing
