#include "framework/qt_text.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <mutex>

#include "platform/language_id.h"
#include "resources/string_table.h"

namespace wing {

QString StrftimeToQtFormat(const std::string& pattern) {
    QString out;
    QString literal;
    auto flushLiteral = [&] {
        if (literal.isEmpty()) return;
        QString quoted = literal;
        quoted.replace(QLatin1Char('\''), QLatin1String("''"));
        // Letters would be read as format fields: quote any run that holds one.
        bool hasLetter = false;
        for (QChar c : literal) hasLetter = hasLetter || c.isLetter();
        out += hasLetter ? QLatin1Char('\'') + quoted + QLatin1Char('\'') : quoted;
        literal.clear();
    };
    const QString p = QString::fromLocal8Bit(pattern.c_str());
    for (int i = 0; i < p.size(); ++i) {
        if (p[i] != QLatin1Char('%') || i + 1 >= p.size()) {
            literal += p[i];
            continue;
        }
        int j = i + 1;
        // Flags and modifiers that change nothing here: E, O, -, _, 0, ^, #.
        while (j < p.size() && QStringLiteral("EO-_0^#").contains(p[j]) && j + 1 < p.size()) ++j;
        const QChar conv = p[j];
        QString field;
        switch (conv.toLatin1()) {
            case 'Y': field = "yyyy"; break;
            case 'y': field = "yy"; break;
            case 'C': field = "yy"; break;
            case 'm': field = "MM"; break;
            case 'd': field = "dd"; break;
            case 'e': field = "d"; break;
            case 'b': case 'h': field = "MMM"; break;
            case 'B': field = "MMMM"; break;
            case 'a': field = "ddd"; break;
            case 'A': field = "dddd"; break;
            case 'H': field = "HH"; break;
            case 'k': field = "H"; break;
            case 'I': field = "hh"; break;
            case 'l': field = "h"; break;
            case 'M': field = "mm"; break;
            case 'S': field = "ss"; break;
            case 'p': case 'P': field = "AP"; break;
            case 'D': field = "MM/dd/yy"; break;
            case 'F': field = "yyyy-MM-dd"; break;
            case 'T': field = "HH:mm:ss"; break;
            case 'R': field = "HH:mm"; break;
            case 'r': field = "hh:mm:ss AP"; break;
            case 'n': literal += QLatin1Char(' '); i = j; continue;
            case 't': literal += QLatin1Char(' '); i = j; continue;
            case '%': literal += QLatin1Char('%'); i = j; continue;
            default: i = j; continue;  // fields a picker cannot show are left out
        }
        flushLiteral();
        out += field;
        i = j;
    }
    flushLiteral();
    return out;
}

void InstallFontSubstitutions() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The dialog face: a plain sans face, then a Ming face for the Chinese texts (as
        // the Chinese systems fall back to one), whose glyphs fit the sans face's line.
        const QStringList dialogFaces{QStringLiteral("DejaVu Sans"), QStringLiteral("AR PL UMing TW"),
                                      QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK TC")};
        QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), dialogFaces);
        QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg 2"), dialogFaces);
        // The caption face "標楷體" (DFKai-SB): the Kai face of AR PL.
        QFont::insertSubstitutions(QString::fromUtf8("標楷體"),
                                   {QStringLiteral("AR PL UKai TW"), QStringLiteral("AR PL UKai CN"),
                                    QStringLiteral("Noto Serif CJK TC")});
    });
}

QFont MakePixelFont(const QString& face, int pixelHeight, int weight) {
    // Every font of ours may name a Windows face: the substitutes must be in place first,
    // whichever control asks before any dialog exists.
    InstallFontSubstitutions();
    QFont font(face);
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 1);
    font.setWeight(static_cast<QFont::Weight>(weight <= 0 ? 400 : weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

int PointsToPixels(int points) {
    double dpi = 96.0;
    if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInchY();
    return static_cast<int>(std::lround(dpi * points * 10.0 / 720.0));
}

unsigned DefaultResourceLanguage() {
    unsigned lang = GetUserDefaultLangId();
    if (lang == LANG_ZH_TW || lang == LANG_EN_US || lang == LANG_ZH_CN) return lang;
    return LANG_EN_US;
}

}  // namespace wing
