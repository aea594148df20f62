// The modal window in which one transfer from the instrument runs.
#include "transferdialog.h"

#include "link/receivebuffer.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace darni::app {

namespace {
constexpr QSize kClientSize(490, 233);
} // namespace

TransferDialog::TransferDialog(link::TransferSession& session, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      m_session(session), m_dialogs(dialogs), m_status(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_deviceName(new QLabel(this)), m_firmware(new QLabel(this)), m_counters(new QLabel(this))
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Прием данных"));
    setModal(true);
    resize(kClientSize);

    m_status->setObjectName(QStringLiteral("StaticText2"));
    m_status->setAlignment(Qt::AlignCenter);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);

    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, static_cast<int>(link::ReceiveBuffer::kCapacity));
    m_progress->setTextVisible(false);

    auto* info = new QGroupBox(QStringLiteral("Информация"), this);
    info->setObjectName(QStringLiteral("GroupBox1"));
    auto* form = new QFormLayout(info);
    m_deviceName->setObjectName(QStringLiteral("StaticText5"));
    m_firmware->setObjectName(QStringLiteral("StaticText1"));
    m_counters->setObjectName(QStringLiteral("StaticText7"));
    form->addRow(QStringLiteral("Тип прибора:"), m_deviceName);
    form->addRow(QStringLiteral("Версия ПО:"), m_firmware);
    form->addRow(QStringLiteral("Количество записей:"), m_counters);

    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Button1"));
    connect(cancel, &QPushButton::clicked, this, &TransferDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(info);
    layout->addLayout(buttons);

    connect(&m_session, &link::TransferSession::statusChanged, m_status, &QLabel::setText);
    connect(&m_session, &link::TransferSession::progressChanged, m_progress, &QProgressBar::setValue);
    // The bar fills from empty to full over the memory the instrument announced.
    connect(&m_session, &link::TransferSession::expectedLengthKnown, this,
            [this](int total) { m_progress->setRange(0, total); });
    connect(&m_session, &link::TransferSession::deviceInfoChanged, this,
            [this](const QString& name, const QString& firmware, const QString& counters) {
                m_deviceName->setText(name);
                m_firmware->setText(firmware);
                m_counters->setText(counters);
            });
    connect(&m_session, &link::TransferSession::finished, this, &TransferDialog::finish);
}

void TransferDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // Started from the event loop, so that the window is on screen before the first wait.
    QTimer::singleShot(0, this, [this] { m_session.start(); });
}

void TransferDialog::reject()
{
    // "Отмена", Esc and the window's close button all cancel; the session closes the port and ends.
    if (m_session.isRunning())
        m_session.cancel();
    else
        QDialog::reject();
}

void TransferDialog::finish(link::TransferSession::Status status, const QString& message, const QString& caption)
{
    // The port is closed by now, so nothing arrives while a box is open.
    if (!message.isEmpty())
        m_dialogs.failure(this, caption, message, m_session.failureCause());
    if (status == link::TransferSession::Status::Done)
        accept();
    else
        QDialog::reject();
}

} // namespace darni::app
