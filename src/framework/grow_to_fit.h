#pragma once
// A dialog built from its template grows where a text is wider than the template made
// room for, so that no text is cut in any language or at any scale factor.

#include <QSize>

class QLineEdit;

namespace wing {

class CDialog;

// Widens every visible control whose text does not fit (text_room.h), and moves or
// widens what that displaces, once the dialog's texts are in place:
// - a control to the right of a wider one, on the same band, moves right as far as it
//   must to keep its gap (at most four dialog units);
// - a group box keeps holding its controls and grows to the right with them; a control
//   that spans its group stretches with it, and one that sits against the group's right
//   edge keeps its place there (texts stretch, other controls move);
// - top-level group boxes that were aligned (left or right edge) stay aligned;
// - the dialog widens to keep its right margin.
// A text that wraps (and so needs more lines, not more width) makes its control taller:
// what lies below it in its column moves down keeping its gap, its group grows down, and
// the dialog grows to keep its bottom margin.
// A dialog whose texts fit is left exactly as its template laid it out. Hidden controls
// are left alone. Returns how many pixels wider and taller the dialog became.
QSize GrowToFitTexts(CDialog& dialog);

// A line edit in a layout: wide enough for the longer of its text and its placeholder, and
// a little more to type.
void FitLineEditToText(QLineEdit& edit);

}  // namespace wing
