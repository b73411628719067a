#include "flightview/picture.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QtSvg/QSvgGenerator>

#include <string>

#include "platform/text.h"

namespace wing {
namespace {

// The widget drawn as an SVG document or a PNG image, in memory.
QByteArray Picture(QWidget& widget, bool svg) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(widget.size());
        generator.setViewBox(QRect(QPoint(0, 0), widget.size()));
        QPainter painter(&generator);
        widget.render(&painter);
    } else {
        widget.grab().toImage().save(&buffer, "PNG");
    }
    return bytes;
}

}  // namespace

std::optional<ExportFailure> SaveWidgetPicture(QWidget& widget, const std::filesystem::path& path) {
    const QByteArray bytes = Picture(widget, path.extension() == ".svg");
    std::string why;
    if (bytes.isEmpty()) why = "nothing was drawn";
    if (why.empty() && ReplaceFileContents(path, std::string_view(bytes.constData(), bytes.size()), &why))
        return std::nullopt;
    return ExportFailure{FromLocale8(path.string()), FromLocale8(why)};
}

}  // namespace wing
