#pragma once
// Text at the Qt boundary: wide strings to QString and back, locale time patterns to
// Qt display formats, and the faces that stand in for the Windows dialog fonts.

#include <QFont>
#include <QString>

#include <string>

namespace wing {

inline QString ToQString(const std::wstring& text) { return QString::fromStdWString(text); }
inline std::wstring FromQString(const QString& text) { return text.toStdWString(); }

// A strftime pattern (nl_langinfo's D_FMT / T_FMT) as a QDateTimeEdit display format.
// Empty when the pattern is empty.
QString StrftimeToQtFormat(const std::string& pattern);

// Registers the faces that stand in for "MS Shell Dlg" (a plain sans face) and "標楷體"
// (a Kai face) with Qt's font substitution. Safe to call more than once.
void InstallFontSubstitutions();

// A font of `face` whose character height (the em size, as a negative LOGFONT height)
// is `pixelHeight` pixels.
QFont MakePixelFont(const QString& face, int pixelHeight, int weight = 400);

// Pixels for a point size on the primary screen, rounded: points * dpi / 72.
int PointsToPixels(int points);

// The language the process's own resources are read in: the user's language when it is
// one of the three the tables hold, otherwise English.
unsigned DefaultResourceLanguage();

}  // namespace wing
