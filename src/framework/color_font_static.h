#pragma once
// A static text whose colour, background, face, weight and size change at run time,
// each change redrawing it at once. Painted through an off-screen buffer: the text from
// the top left corner whatever alignment the template asked for, line breaks honoured,
// long lines cut at the right edge (or wrapped at word breaks where the control is told
// to wrap), '&' marking a mnemonic unless prefixes are off.
// The setters may be called from any thread: off the UI thread they are queued to it.

#include <QColor>
#include <QFont>
#include <QLabel>

#include <cstdint>
#include <optional>
#include <string>

namespace wing {

// The parts of a logical font description the control keeps.
struct FontDescription {
    std::wstring faceName;     // at most 31 characters
    int height = 0;            // negative: character height in pixels
    int width = 0;
    int weight = 400;
    std::uint8_t charSet = 1;  // DEFAULT_CHARSET
};

class CColorFontStatic : public QLabel {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxFaceName = 31;

    explicit CColorFontStatic(QWidget* parent = nullptr);

    // Binding to the dialog item: copies the font the control uses now.
    void Attach();

    CColorFontStatic& SetBackColor(const QColor& colour);
    CColorFontStatic& SetTextColor(const QColor& colour);
    CColorFontStatic& SetText(const std::wstring& text);
    CColorFontStatic& SetBold(bool bold);
    CColorFontStatic& SetFaceName(const std::wstring& face, std::uint8_t charSet);
    CColorFontStatic& SetPointSize(int points);
    // Kept for the interface; changes nothing.
    CColorFontStatic& SetFontDescription(const FontDescription& description);
    CColorFontStatic& SetBorder(bool border);
    // Off: '&' is shown as it is (the template's "no prefix" style).
    void SetNoPrefix(bool noPrefix) { m_noPrefix = noPrefix; }
    // On: a line wider than the control continues on the next line, broken between words.
    void SetWordWrap(bool wrap) { m_wordWrap = wrap; }
    bool WordWrap() const { return m_wordWrap; }

    // ---- for tests and the accessibility layer --------------------------------------
    std::wstring Text() const;
    QColor TextColor() const { return m_textColor; }
    std::optional<QColor> BackColor() const { return m_backColor; }
    QColor EffectiveBackColor() const;
    const FontDescription& Description() const { return m_description; }
    const QFont& PaintFont() const { return m_font; }
    bool HasBorder() const { return m_border; }
    // The text as it is drawn (a Windows line break, CR LF, is one break; a lone CR is
    // dropped) and the drawing flags: from the top left, '&' a mnemonic unless prefixes
    // are off, wrapping between words only where the control is told to.
    static QString PaintedText(QString text);
    int PaintFlags() const;

    // Point size to a font height, as the screen font is made: -(dpi * points * 10 / 720),
    // rounded.
    static int HeightForPoints(int points, double dpi);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool OnUiThread() const;
    void RebuildFont();
    void Redraw();

    std::wstring m_text;
    QColor m_textColor;
    std::optional<QColor> m_backColor;
    FontDescription m_description;
    QFont m_font;
    bool m_attached = false;
    bool m_noPrefix = false;
    bool m_wordWrap = false;
    bool m_border = false;
};

}  // namespace wing
