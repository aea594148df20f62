// "О программе".
#include "aboutbox.h"

#include "applicationicon.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace darni::app {

namespace {
constexpr QSize kClientSize(515, 151);
constexpr QSize kIconSize(64, 64);
const QString kNoVersion = QStringLiteral("0.0.0.0");
constexpr int kShortestVersion = 2;
} // namespace

QString buildVersion()
{
#ifdef DARNI_VERSION
    return QStringLiteral(DARNI_VERSION);
#else
    return {};
#endif
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Tool), m_version(new QLabel(this))
{
    setObjectName(QStringLiteral("Tform6"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(kClientSize);

    auto* name = new QLabel(QStringLiteral("ОРНАК - ТР5"), this);
    name->setObjectName(QStringLiteral("StaticText1"));
    QFont big = name->font();
    big.setPixelSize(16);
    big.setBold(true);
    name->setFont(big);
    m_version->setObjectName(QStringLiteral("StaticText3"));
    auto* purpose = new QLabel(QStringLiteral("Программа для передачи данных с приборов ОРНАК-ТР5"), this);
    purpose->setObjectName(QStringLiteral("StaticText2"));
    auto* ok = new QPushButton(QStringLiteral("Ок"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ApplicationIcon"));
    icon->setPixmap(applicationIcon().pixmap(kIconSize));

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(m_version, 1, 1);
    layout->addWidget(purpose, 2, 1);
    layout->addWidget(ok, 3, 0, 1, 2, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
}

QString AboutBox::versionText() const
{
    const QString version = buildVersion();
    return QStringLiteral("Версия ") + (version.size() >= kShortestVersion ? version : kNoVersion);
}

void AboutBox::showEvent(QShowEvent* event)
{
    m_version->setText(versionText());
    QDialog::showEvent(event);
}

} // namespace darni::app
