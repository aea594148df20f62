// The tool bar images: Breeze's where the build bundled them, else the program's own drawings.
#include "toolbaricons.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <array>

// A static library's resources reach the program only when named.
static void loadBundledImages()
{
#ifdef DARNI_BUNDLED_ICONS
    Q_INIT_RESOURCE(toolbaricons);
#endif
}

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

QIcon drawnIcon(ToolbarImage image)
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

// The Breeze images the build bundles, by their names there, in the order of ToolbarImage.
constexpr std::array<const char*, 7> kThemeNames = {"document-new",           "document-open",  "document-save",
                                                    "document-print-preview", "document-print", "help-contents",
                                                    "edit-table-delete-row"};
constexpr std::array<int, 5> kThemeSizes = {16, 24, 32, 48, 64};
// Below this lightness a window's background counts as dark, and the images for dark themes are used.
constexpr int kDarkLightness = 128;

void loadBundledImagesOnce()
{
    static const bool loaded = (loadBundledImages(), true);
    (void)loaded;
}

QIcon themeIcon(ToolbarImage image)
{
    loadBundledImagesOnce();
    const bool dark = QGuiApplication::palette().color(QPalette::Window).lightness() < kDarkLightness;
    const QString theme = dark ? QStringLiteral("breeze-dark") : QStringLiteral("breeze");
    const QString name = QString::fromLatin1(kThemeNames[static_cast<std::size_t>(image)]);
    QIcon icon;
    for (const int size : kThemeSizes) {
        const QString path = QStringLiteral(":/icons/%1/%2-%3.png").arg(theme, name).arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

} // namespace

QIcon toolbarIcon(ToolbarImage image)
{
    const QIcon bundled = themeIcon(image);
    return bundled.isNull() ? drawnIcon(image) : bundled;
}

bool toolbarIconsBundled()
{
    loadBundledImagesOnce();
    return QFile::exists(QStringLiteral(":/icons/breeze/document-new-16.png"));
}

} // namespace darni::app
