#include "framework/grow_to_fit.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "framework/dialog.h"
#include "framework/text_room.h"

namespace wing {
namespace {

// One visible control while the layout is fitted. Edges are in pixels, right exclusive.
struct Placed {
    QWidget* widget = nullptr;
    QRect was;              // the template's geometry
    int width = 0;          // the width its text needs, at least the template's
    int height = 0;         // the height its text needs (a wrapped text), at least the template's
    bool isGroup = false;
    int group = -1;         // the group box that holds it, -1 at the top level
    bool stretches = false; // spans its group, or is a text against the group's right edge
    bool anchored = false;  // keeps its place against the group's right edge
    int left = 0, right = 0;
    int top = 0, bottom = 0;

    int WasRight() const { return was.x() + was.width(); }
    int WasBottom() const { return was.y() + was.height(); }
};

bool SameBand(const QRect& a, const QRect& b) { return a.top() <= b.bottom() && b.top() <= a.bottom(); }
bool SameColumn(const QRect& a, const QRect& b) { return a.left() <= b.right() && b.left() <= a.right(); }

// Buttons, combo boxes and pickers keep their width when they follow an edge; texts,
// lists and bars stretch to it.
bool KeepsItsWidth(const QWidget& w) {
    return qobject_cast<const QAbstractButton*>(&w) || qobject_cast<const QComboBox*>(&w) ||
           qobject_cast<const QAbstractSpinBox*>(&w);
}

std::vector<Placed> VisibleControls(const CDialog& dialog, int pad) {
    std::vector<Placed> placed;
    const auto& controls = dialog.Template().controls;
    for (std::size_t k = 0; k < controls.size() && k < dialog.Controls().size(); ++k) {
        QWidget* w = dialog.Controls()[k];
        if (w->isHidden()) continue;
        Placed p;
        p.widget = w;
        p.was = w->geometry();
        p.isGroup = QLatin1String(controls[k].className) == QLatin1String(kButtonClass) &&
                    (controls[k].style & BS_TYPEMASK) == BS_GROUPBOX;
        int missing = 0, missingHeight = 0;
        for (const TextRoom& room : TextRooms(*w)) {
            missing = std::max(missing, room.MissingWidth());
            missingHeight = std::max(missingHeight, room.MissingHeight());
        }
        p.width = p.was.width() + (missing > 0 ? missing + pad : 0);
        p.height = p.was.height() + (missingHeight > 0 ? missingHeight + pad : 0);
        p.left = p.was.x();
        p.right = p.left + p.width;
        p.top = p.was.y();
        p.bottom = p.top + p.height;
        placed.push_back(p);
    }
    return placed;
}

// Each control's group: the smallest group box that holds it.
void FindGroups(std::vector<Placed>& placed, int edge) {
    for (std::size_t i = 0; i < placed.size(); ++i) {
        Placed& p = placed[i];
        long long smallest = -1;
        for (std::size_t g = 0; g < placed.size(); ++g) {
            if (g == i || !placed[g].isGroup || !placed[g].was.contains(p.was)) continue;
            const long long area = 1LL * placed[g].was.width() * placed[g].was.height();
            if (smallest < 0 || area < smallest) {
                smallest = area;
                p.group = static_cast<int>(g);
            }
        }
        if (p.group < 0) continue;
        const Placed& g = placed[p.group];
        const bool atLeft = p.was.x() - g.was.x() <= edge;
        const bool atRight = g.WasRight() - p.WasRight() <= edge;
        if (atRight && (atLeft || !KeepsItsWidth(*p.widget)))
            p.stretches = true;
        else if (atRight)
            p.anchored = true;
    }
}

// Runs `pass` until it moves no edge. A pass only ever raises edges, through the
// `raise` it is given, so the passes end.
template <typename Pass>
void UntilSettled(Pass pass) {
    bool moved = true;
    auto raise = [&moved](int& edgeValue, int to) {
        if (to > edgeValue) {
            edgeValue = to;
            moved = true;
        }
    };
    for (int n = 0; moved && n < 1000; ++n) {
        moved = false;
        pass(raise);
    }
}

// Every rule only moves an edge to the right, and each holds for the template's own
// layout, so a dialog whose texts fit stays as it is and the passes end once no edge
// moves. Returns the dialog's new width.
int GrowAcross(std::vector<Placed>& placed, int wasWidth, int gap) {
    int windowRight = wasWidth;
    UntilSettled([&](auto&& raise) {
        for (Placed& p : placed) {
            raise(p.right, p.left + p.width);
            if (p.anchored) raise(p.left, p.right - p.width);
        }
        for (const Placed& c : placed)
            for (Placed& x : placed)
                if (&c != &x && x.was.x() >= c.WasRight() && SameBand(c.was, x.was))
                    raise(x.left, c.right + std::min(x.was.x() - c.WasRight(), gap));
        for (Placed& p : placed) {
            if (p.group < 0) {
                raise(windowRight, p.right + std::max(0, wasWidth - p.WasRight()));
                continue;
            }
            Placed& g = placed[p.group];
            const int margin = g.WasRight() - p.WasRight();
            raise(p.left, g.left + (p.was.x() - g.was.x()));
            raise(g.right, p.right + std::min(margin, gap));
            if (p.stretches || p.anchored) raise(p.right, g.right - margin);
        }
        for (Placed& a : placed)
            for (Placed& b : placed) {
                if (!a.isGroup || !b.isGroup || a.group >= 0 || b.group >= 0) continue;
                if (a.was.x() == b.was.x()) raise(a.left, b.left);
                if (a.WasRight() == b.WasRight()) raise(a.right, b.right);
            }
    });
    return windowRight;
}

// The same downwards, for a text that wraps onto more lines than its control holds: what
// lies below it in its column moves down keeping its gap, its group grows down around it,
// and the dialog keeps its bottom margin. Returns the dialog's new height.
int GrowDown(std::vector<Placed>& placed, int wasHeight) {
    int windowBottom = wasHeight;
    UntilSettled([&](auto&& raise) {
        for (Placed& p : placed) raise(p.bottom, p.top + p.height);
        for (const Placed& c : placed)
            for (Placed& x : placed)
                if (&c != &x && x.was.y() >= c.WasBottom() && SameColumn(c.was, x.was))
                    raise(x.top, c.bottom + (x.was.y() - c.WasBottom()));
        for (Placed& p : placed) {
            if (p.group < 0) {
                raise(windowBottom, p.bottom + std::max(0, wasHeight - p.WasBottom()));
                continue;
            }
            Placed& g = placed[p.group];
            raise(p.top, g.top + (p.was.y() - g.was.y()));
            raise(g.bottom, p.bottom + (g.WasBottom() - p.WasBottom()));
        }
    });
    return windowBottom;
}

}  // namespace

QSize GrowToFitTexts(CDialog& dialog) {
    // Distances in dialog units, as the template's own spacing is.
    const int fourUnits = dialog.BaseUnits().width();
    const int gap = fourUnits;
    const int edge = 2 * fourUnits;
    const int pad = std::max(2, fourUnits / 2);

    std::vector<Placed> placed = VisibleControls(dialog, pad);
    FindGroups(placed, edge);
    const QSize was = dialog.size();
    const QSize now(GrowAcross(placed, was.width(), gap), GrowDown(placed, was.height()));

    for (const Placed& p : placed) {
        const QRect rect(p.left, p.top, p.right - p.left, p.bottom - p.top);
        if (rect != p.was) p.widget->setGeometry(rect);
    }
    if (now != was) dialog.setFixedSize(now);
    return now - was;
}

void FitLineEditToText(QLineEdit& edit) {
    const QString widest = std::max(edit.text(), edit.placeholderText(),
                                    [](const QString& a, const QString& b) { return a.size() < b.size(); });
    edit.setMinimumWidth(edit.fontMetrics().horizontalAdvance(widest + QStringLiteral("MMMM")));
}

}  // namespace wing
