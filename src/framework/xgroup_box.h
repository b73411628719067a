#pragma once
// A group frame that draws its own frame and caption: the style's group-box frame when
// the theme is used, an etched rectangle otherwise; the caption in its own colour and
// font over a band of the background colour; see-through below the caption band.

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QRect>
#include <QSize>

#include <optional>
#include <string>

namespace wing {

class CXGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit CXGroupBox(QWidget* parent = nullptr);

    // Binding to the dialog item: theme, caption colour and caption font.
    void Attach();

    void SetCaption(const std::wstring& text);
    // A string id (at most 0xFFFF), read from the program's own string table.
    void SetCaption(unsigned stringId);
    void SetBold(bool bold);
    // The face "標楷體" at 12 points, normal weight.
    void SetCaptionFont();

    // Caption colour; written directly by the window.
    QColor m_textColor;
    QColor m_backColor;
    std::optional<QColor> m_borderColor;  // empty: automatic
    int m_captionInset = 8;
    int m_captionDrop = 0;
    bool m_themed = false;
    bool m_useTheme = true;
    bool m_greyWhenDisabled = true;
    bool m_etched = true;

    // ---- geometry of the last paint, for tests ---------------------------------------
    const QFont& CaptionFont() const { return m_font; }
    QSize CaptionExtent() const { return m_captionExtent; }
    int HalfCaptionHeight() const { return m_halfCaptionHeight; }
    QRect PreviousFrame() const { return m_previousFrame; }
    QRect CaptionBox() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void MeasureCaption();

    QFont m_font;
    int m_halfCaptionHeight = -1;
    QRect m_previousFrame;
    QSize m_captionExtent{0, 0};
};

}  // namespace wing
