#include "ui/Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

const char* const LegalNotice1 = "Copyright (C) The Corvane developers.";
const char* const LegalNotice2 = "Free to use and to share; provided without any warranty.";

namespace {

using TDraw = std::function<void(QPainter&)>;

// Draws on a transparent square of size pixels in a 32 by 32 coordinate system.
QImage Draw(int size, const TDraw& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    draw(painter);
    return image;
}

QIcon IconOf(const TDraw& draw, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int size : sizes)
        icon.addPixmap(QPixmap::fromImage(Draw(size, draw)));
    return icon;
}

const QColor Outline(40, 48, 64);

void Page(QPainter& p, const QRectF& r, bool lines) {
    const qreal fold = r.width() * 0.3;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(QPen(Outline, 1.2));
    p.setBrush(QColor(252, 252, 248));
    p.drawPath(path);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(210, 214, 222));
    p.drawPath(corner);
    if (!lines)
        return;
    p.setPen(QPen(QColor(120, 140, 170), 1.4));
    for (qreal y = r.top() + fold + 3; y < r.bottom() - 2; y += 3.5)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Folder(QPainter& p, bool open) {
    p.setPen(QPen(QColor(150, 105, 20), 1.2));
    p.setBrush(QColor(232, 176, 52));
    QPainterPath back;
    back.moveTo(3, 8);
    back.lineTo(12, 8);
    back.lineTo(15, 11);
    back.lineTo(29, 11);
    back.lineTo(29, 27);
    back.lineTo(3, 27);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 206, 92));
    QPainterPath front;
    if (open) {
        front.moveTo(7, 15);
        front.lineTo(31, 15);
        front.lineTo(27, 27);
        front.lineTo(3, 27);
    } else {
        front.moveTo(3, 14);
        front.lineTo(29, 14);
        front.lineTo(29, 27);
        front.lineTo(3, 27);
    }
    front.closeSubpath();
    p.drawPath(front);
}

void Disc(QPainter& p, const QColor& color) {
    QRadialGradient g(QPointF(12, 11), 18);
    g.setColorAt(0, color.lighter(150));
    g.setColorAt(1, color);
    p.setPen(QPen(color.darker(150), 1.2));
    p.setBrush(g);
    p.drawEllipse(QRectF(3, 3, 26, 26));
}

// An arrow pointing right, centred on (16, 16), in the painter's current pen and brush.
void ArrowRight(QPainter& p) {
    QPolygonF arrow{{7, 13}, {16, 13}, {16, 7.5}, {25.5, 16}, {16, 24.5}, {16, 19}, {7, 19}};
    p.drawPolygon(arrow);
}

void Globe(QPainter& p, const QRectF& r) {
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() * 0.7);
    g.setColorAt(0, QColor(150, 210, 255));
    g.setColorAt(1, QColor(30, 110, 200));
    p.setPen(QPen(QColor(20, 70, 140), 1.1));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(230, 245, 255, 200), 0.9));
    p.drawEllipse(QRectF(r.center().x() - r.width() / 4, r.top(), r.width() / 2, r.height()));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

void Plus(QPainter& p, const QPointF& c, qreal arm, qreal thick, const QColor& color) {
    p.setPen(QPen(color.darker(160), 1));
    p.setBrush(color);
    QPainterPath path;
    path.addRect(QRectF(c.x() - arm, c.y() - thick / 2, 2 * arm, thick));
    path.addRect(QRectF(c.x() - thick / 2, c.y() - arm, thick, 2 * arm));
    p.drawPath(path.simplified());
}

void DrawTool(QPainter& p, int index) {
    switch (index) {
    case 0: // New: a blank page with a plus
        Page(p, QRectF(5, 3, 19, 25), false);
        Plus(p, QPointF(23, 23), 6, 4, QColor(60, 170, 70));
        break;
    case 1: // Open: an open folder
        Folder(p, true);
        break;
    case 2: { // Build: a gear
        p.setPen(QPen(QColor(60, 70, 85), 1.1));
        p.setBrush(QColor(150, 160, 175));
        QPainterPath gear;
        gear.addEllipse(QPointF(16, 16), 10, 10);
        for (int i = 0; i < 8; ++i) {
            QPainterPath tooth;
            tooth.addRect(QRectF(-2.5, -14, 5, 6));
            QTransform t;
            t.translate(16, 16);
            t.rotate(i * 45.0);
            gear = gear.united(t.map(tooth));
        }
        QPainterPath hole;
        hole.addEllipse(QPointF(16, 16), 4, 4);
        p.drawPath(gear.subtracted(hole));
        break;
    }
    case 3: // Publish: a globe with an arrow going up
        Globe(p, QRectF(2, 8, 22, 22));
        p.setPen(QPen(QColor(20, 110, 40), 1));
        p.setBrush(QColor(70, 190, 80));
        p.drawPolygon(
            QPolygonF{{22, 2}, {30, 11}, {25, 11}, {25, 20}, {19, 20}, {19, 11}, {14, 11}});
        break;
    case 4: // Browser: a window showing a globe
        p.setPen(QPen(Outline, 1.2));
        p.setBrush(QColor(250, 250, 250));
        p.drawRoundedRect(QRectF(2, 4, 28, 24), 2, 2);
        p.setBrush(QColor(70, 120, 200));
        p.drawRect(QRectF(2, 4, 28, 5));
        Globe(p, QRectF(10, 12, 13, 13));
        break;
    case 5: { // Preview: an eye
        QPainterPath eye;
        eye.moveTo(2, 16);
        eye.quadTo(16, 2, 30, 16);
        eye.quadTo(16, 30, 2, 16);
        p.setPen(QPen(Outline, 1.3));
        p.setBrush(QColor(255, 255, 255));
        p.drawPath(eye);
        QRadialGradient g(QPointF(15, 15), 7);
        g.setColorAt(0, QColor(110, 180, 240));
        g.setColorAt(1, QColor(30, 90, 170));
        p.setBrush(g);
        p.drawEllipse(QPointF(16, 16), 6.5, 6.5);
        p.setBrush(Outline);
        p.drawEllipse(QPointF(16, 16), 2.8, 2.8);
        break;
    }
    case 6: // Home: a house
        p.setPen(QPen(QColor(120, 40, 30), 1.2));
        p.setBrush(QColor(200, 70, 50));
        p.drawPolygon(QPolygonF{{16, 3}, {30, 16}, {2, 16}});
        p.setPen(QPen(Outline, 1.2));
        p.setBrush(QColor(245, 235, 210));
        p.drawRect(QRectF(6, 16, 20, 13));
        p.setBrush(QColor(120, 80, 40));
        p.drawRect(QRectF(13.5, 20, 5, 9));
        break;
    case 7: // Back
    case 8: // Forward
        Disc(p, QColor(50, 150, 60));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        if (index == 7) {
            p.translate(32, 0);
            p.scale(-1, 1);
        }
        ArrowRight(p);
        break;
    case 9: // Add
        Plus(p, QPointF(16, 16), 12, 7, QColor(60, 170, 70));
        break;
    case 10: // Up
    case 11: // Down
        p.setPen(QPen(QColor(20, 70, 150), 1.2));
        p.setBrush(QColor(60, 130, 220));
        p.translate(16, 16);
        p.rotate(index == 10 ? -90 : 90);
        p.translate(-16, -16);
        p.drawPolygon(QPolygonF{{3, 12}, {16, 12}, {16, 4}, {29, 16}, {16, 28}, {16, 20}, {3, 20}});
        break;
    case 12: // Info: an "i" on a blue disc
        Disc(p, QColor(40, 110, 200));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 9.5), 2.3, 2.3);
        p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1, 1);
        break;
    case 13: { // Remove: a red cross
        p.setPen(QPen(QColor(130, 20, 20), 1.2));
        p.setBrush(QColor(215, 50, 45));
        QPainterPath bar;
        bar.addRoundedRect(QRectF(-13, -3.5, 26, 7), 2, 2);
        QTransform a, b;
        a.translate(16, 16);
        a.rotate(45);
        b.translate(16, 16);
        b.rotate(-45);
        p.drawPath(a.map(bar).united(b.map(bar)));
        break;
    }
    default:
        break;
    }
}

void DrawTree(QPainter& p, int index) {
    switch (index) {
    case TreeIconColumn: // two pages, one behind the other, in a blue binder
        p.setPen(QPen(QColor(20, 60, 130), 1.6));
        p.setBrush(QColor(70, 130, 210));
        p.drawRoundedRect(QRectF(3, 3, 26, 26), 3, 3);
        Page(p, QRectF(9, 6, 15, 20), true);
        break;
    case TreeIconLink: { // two chain links
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(40, 120, 60), 4));
        p.drawRoundedRect(QRectF(3, 11, 16, 10), 5, 5);
        p.setPen(QPen(QColor(30, 90, 180), 4));
        p.drawRoundedRect(QRectF(13, 11, 16, 10), 5, 5);
        break;
    }
    case TreeIconPage:
        Page(p, QRectF(6, 2, 20, 28), true);
        break;
    default:
        break;
    }
}

void DrawProgram(QPainter& p) {
    // A deep blue tile, a page of the site, and the raven's wing sweeping round it.
    QLinearGradient tile(0, 0, 32, 32);
    tile.setColorAt(0, QColor(34, 58, 110));
    tile.setColorAt(1, QColor(14, 24, 52));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.save();
    p.translate(16, 16);
    p.rotate(-8);
    p.translate(-16, -16);
    Page(p, QRectF(9, 6, 14, 19), true);
    p.restore();
    QPainterPath wing;
    wing.moveTo(4, 21);
    wing.cubicTo(9, 31, 25, 31, 29, 17);
    wing.cubicTo(24, 25, 12, 27, 4, 21);
    p.setBrush(QColor(245, 150, 40));
    p.drawPath(wing);
    QPainterPath beak;
    beak.moveTo(29, 17);
    beak.lineTo(31, 12.5);
    beak.lineTo(26.5, 16);
    p.drawPath(beak);
}

} // namespace

QIcon ToolIcon(int index) {
    return IconOf([index](QPainter& p) { DrawTool(p, index); }, {32, 64});
}

QIcon TreeIcon(int index) {
    return IconOf([index](QPainter& p) { DrawTree(p, index); }, {16, 32});
}

QIcon FolderIcon() {
    return IconOf([](QPainter& p) { Folder(p, false); }, {32, 64});
}

QImage ProgramIconImage(int size) {
    return Draw(size, DrawProgram);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

QPixmap SplashPicture() {
    QPixmap picture(454, 280);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 0, 280);
    sky.setColorAt(0, QColor(20, 34, 70));
    sky.setColorAt(1, QColor(44, 86, 140));
    p.fillRect(picture.rect(), sky);
    // Faint columns of a page layout in the background.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(255, 255, 255, 10 + 4 * i));
        p.drawRoundedRect(QRectF(250 + i * 30, 40 + i * 12, 120, 170), 6, 6);
    }
    p.drawImage(QRectF(32, 56, 128, 128), ProgramIconImage(128));
    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(46);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(180, 70, 270, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Corvane"));
    QFont subtitle(QStringLiteral("Sans Serif"));
    subtitle.setPixelSize(15);
    p.setFont(subtitle);
    p.setPen(QColor(250, 190, 110));
    p.drawText(QRectF(182, 130, 270, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Web sites built and published"));
    p.setPen(QColor(210, 222, 240));
    p.drawText(QRectF(182, 156, 270, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Version " CORVANE_VERSION));
    return picture;
}
