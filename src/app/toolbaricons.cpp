// The program's own tool bar images.
#include "toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace darni::app {

namespace {
constexpr int kSize = 16;
constexpr std::array<qreal, 3> kScales = {1.0, 2.0, 3.0};

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kFolder(230, 190, 80);
const QColor kDisk(50, 90, 170);
const QColor kLens(120, 170, 220);
const QColor kHelp(40, 110, 200);
const QColor kDelete(200, 40, 40);

void page(QPainter& p)
{
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10.5, 1.5);
    path.lineTo(13.5, 4.5);
    path.lineTo(13.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.setBrush(kPaper);
    p.setPen(QPen(kInk, 1));
    p.drawPath(path);
    p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
    p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
}

void draw(QPainter& p, ToolbarImage image)
{
    switch (image) {
    case ToolbarImage::Create:
        page(p);
        p.setPen(QPen(kDisk, 1.5));
        p.drawLine(QPointF(6, 9), QPointF(11, 9));
        p.drawLine(QPointF(8.5, 6.5), QPointF(8.5, 11.5));
        break;
    case ToolbarImage::Open: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kFolder.darker(115));
        p.drawRect(QRectF(1.5, 3.5, 12, 10));
        QPainterPath front;
        front.moveTo(3.5, 6.5);
        front.lineTo(15.5, 6.5);
        front.lineTo(13.5, 13.5);
        front.lineTo(1.5, 13.5);
        front.closeSubpath();
        p.setBrush(kFolder);
        p.drawPath(front);
        break;
    }
    case ToolbarImage::Save:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kDisk);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ToolbarImage::Preview:
        page(p);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kLens);
        p.drawEllipse(QPointF(8, 8), 3, 3);
        p.drawLine(QPointF(10.2, 10.2), QPointF(13.5, 13.5));
        break;
    case ToolbarImage::Print:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    case ToolbarImage::Help: {
        p.setPen(Qt::NoPen);
        p.setBrush(kHelp);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        QFont f = p.font();
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kPaper);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ToolbarImage::DeleteRows:
        p.setPen(QPen(kInk, 1));
        p.setBrush(kPaper);
        for (int row = 0; row < 3; ++row)
            p.drawRect(QRectF(1.5, 2.5 + 4 * row, 10, 3));
        p.setPen(QPen(kDelete, 2));
        p.drawLine(QPointF(9, 7), QPointF(15, 13));
        p.drawLine(QPointF(15, 7), QPointF(9, 13));
        break;
    }
}
} // namespace

QIcon toolbarIcon(ToolbarImage image)
{
    QIcon icon;
    for (const qreal scale : kScales) {
        QPixmap pixmap(QSize(kSize, kSize) * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, image);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace darni::app
