// The banner shown at start-up.
#include "splashscreen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

namespace darni::app {

namespace {
constexpr QSize kBannerSize(400, 77);
const QColor kTop(20, 60, 120);
const QColor kBottom(70, 130, 190);
} // namespace

SplashScreen::SplashScreen(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm5"));
    setFixedSize(kBannerSize);
    setModal(true);
}

void SplashScreen::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QTimer::singleShot(m_showMs, this, &QDialog::accept);
}

void SplashScreen::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, kTop);
    sky.setColorAt(1, kBottom);
    p.fillRect(rect(), sky);
    // A pulse crossing a concrete block: the instrument's work in one picture.
    p.setPen(QPen(QColor(200, 200, 200), 1));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRect(300, 14, 80, 50));
    p.setPen(QPen(QColor(255, 220, 80), 2));
    for (int x = 300; x < 380; x += 8)
        p.drawLine(x, 39, x + 4, x % 16 ? 33 : 45);
    QFont title = font();
    title.setPixelSize(26);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(16, 8, 280, 36), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ОРНАК - ТР5"));
    QFont sub = font();
    sub.setPixelSize(12);
    p.setFont(sub);
    p.drawText(QRect(16, 44, 280, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Передача данных ультразвукового прибора"));
}

} // namespace darni::app
