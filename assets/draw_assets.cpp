// Draws the program's pictures: the application icon in six sizes and the product
// picture (a racing pigeon wearing the GPS logger on its leg). Run it to regenerate the
// PNG files in this folder: wing-draw-assets <output folder>.

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

// The pigeon in a 256 x 256 box, facing right, standing.
void DrawPigeon(QPainter& p, bool withSignal) {
    p.setRenderHint(QPainter::Antialiasing);

    // Tail.
    QPainterPath tail;
    tail.moveTo(78, 150);
    tail.lineTo(18, 196);
    tail.lineTo(34, 212);
    tail.lineTo(104, 176);
    tail.closeSubpath();
    p.setPen(QPen(QColor(40, 44, 56), 3));
    p.setBrush(QColor(92, 102, 122));
    p.drawPath(tail);
    p.setPen(QPen(QColor(30, 30, 36), 8));
    p.drawLine(QPointF(24, 196), QPointF(36, 208));

    // Body.
    QPainterPath body;
    body.moveTo(70, 150);
    body.cubicTo(80, 104, 128, 92, 160, 100);
    body.cubicTo(196, 110, 204, 150, 186, 176);
    body.cubicTo(166, 202, 112, 204, 70, 150);
    QLinearGradient bodyGrad(70, 100, 190, 200);
    bodyGrad.setColorAt(0, QColor(150, 162, 184));
    bodyGrad.setColorAt(1, QColor(104, 116, 140));
    p.setPen(QPen(QColor(40, 44, 56), 3));
    p.setBrush(bodyGrad);
    p.drawPath(body);

    // Neck with its green and purple sheen.
    QPainterPath neck;
    neck.moveTo(150, 104);
    neck.cubicTo(150, 80, 160, 62, 176, 58);
    neck.cubicTo(196, 60, 200, 90, 192, 128);
    neck.cubicTo(180, 122, 164, 112, 150, 104);
    QLinearGradient neckGrad(150, 70, 196, 128);
    neckGrad.setColorAt(0, QColor(70, 140, 104));
    neckGrad.setColorAt(0.6, QColor(128, 80, 140));
    neckGrad.setColorAt(1, QColor(112, 122, 146));
    p.setBrush(neckGrad);
    p.drawPath(neck);

    // Head, eye and beak.
    p.setBrush(QColor(96, 106, 128));
    p.drawEllipse(QPointF(180, 56), 24, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 140, 40));
    p.drawEllipse(QPointF(186, 50), 7, 7);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(187, 50), 3.5, 3.5);
    QPainterPath beak;
    beak.moveTo(200, 52);
    beak.lineTo(226, 62);
    beak.lineTo(200, 66);
    beak.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(70, 60, 60));
    p.drawPath(beak);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 240));
    p.drawEllipse(QPointF(203, 54), 5, 3.5);

    // Wing with its two dark bars.
    QPainterPath wing;
    wing.moveTo(92, 142);
    wing.cubicTo(104, 116, 140, 110, 168, 126);
    wing.cubicTo(150, 156, 118, 166, 92, 142);
    p.setPen(QPen(QColor(40, 44, 56), 2.5));
    p.setBrush(QColor(126, 138, 162));
    p.drawPath(wing);
    p.setPen(QPen(QColor(34, 34, 40), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(112, 140), QPointF(150, 128));
    p.drawLine(QPointF(108, 150), QPointF(146, 140));

    // Legs and feet.
    p.setPen(QPen(QColor(200, 70, 80), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(132, 192), QPointF(128, 226));
    p.drawLine(QPointF(156, 190), QPointF(160, 226));
    p.setPen(QPen(QColor(200, 70, 80), 4, Qt::SolidLine, Qt::RoundCap));
    for (double x : {128.0, 160.0}) {
        p.drawLine(QPointF(x, 226), QPointF(x + 16, 232));
        p.drawLine(QPointF(x, 226), QPointF(x - 12, 232));
        p.drawLine(QPointF(x, 226), QPointF(x + 4, 236));
    }

    // The logger on the right leg: a dark case with a green lamp.
    p.setPen(QPen(QColor(10, 10, 10), 2));
    p.setBrush(QColor(34, 36, 44));
    p.drawRoundedRect(QRectF(146, 196, 30, 22), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 90));
    p.drawEllipse(QPointF(168, 203), 3.5, 3.5);
    p.setBrush(QColor(230, 200, 60));
    p.drawRect(QRectF(150, 211, 14, 3));

    if (withSignal) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(40, 150, 70), 5, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            double r = 14 + i * 11;
            p.drawArc(QRectF(176 - r, 200 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
        }
    }
}

QImage Icon(int size) {
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient bg(128, 110, 150);
        bg.setColorAt(0, QColor(250, 236, 170));
        bg.setColorAt(1, QColor(226, 170, 60));
        p.setPen(QPen(QColor(150, 100, 30), 6));
        p.setBrush(bg);
        p.drawEllipse(QRectF(6, 6, 244, 244));
        DrawPigeon(p, true);
    }
    return image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage Product() {
    QImage image(236, 234, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 234);
    sky.setColorAt(0, QColor(196, 224, 246));
    sky.setColorAt(1, QColor(250, 250, 244));
    p.fillRect(image.rect(), sky);
    // A perch.
    p.fillRect(QRect(0, 220, 236, 14), QColor(150, 110, 70));
    p.save();
    p.translate(-6, -12);
    p.scale(0.96, 0.96);
    DrawPigeon(p, true);
    p.restore();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (int size : {16, 32, 48, 64, 128, 256}) {
        if (!Icon(size).save(QStringLiteral("%1/icon-%2.png").arg(dir).arg(size))) return 1;
    }
    if (!Product().save(dir + QStringLiteral("/product.png"))) return 1;
    std::puts("pictures written");
    return 0;
}
