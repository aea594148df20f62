// "Порт прибора": the serial ports, the choice for COM1 and COM2, and a check of the instrument.
#include "portdialog.h"

#include "settingsstore.h"

#include "link/portnames.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace darni::app {

namespace {
constexpr int kRefreshIntervalMs = 1000;
constexpr QSize kInitialSize(620, 420);
const QString kTitle = QStringLiteral("Порт прибора");
const QStringList kListTitles = {QStringLiteral("Порт"), QStringLiteral("Описание"), QStringLiteral("Производитель"),
                                 QStringLiteral("USB VID:PID")};
const QString kNoPorts = QStringLiteral("Последовательных портов не найдено. Подключите переходник прибора.");

enum ListColumn { DeviceColumn, DescriptionColumn, ManufacturerColumn, UsbColumn };

// The device a choice box holds: an item's device, or what the user typed.
QString chosenDevice(const QComboBox& box)
{
    const int at = box.findText(box.currentText());
    return (at >= 0 ? box.itemData(at).toString() : box.currentText()).trimmed();
}
} // namespace

PortDialog::PortDialog(SettingsStore& settings, QWidget* parent, PortLister listPorts)
    : QDialog(parent), m_settings(settings), m_listPorts(std::move(listPorts)), m_list(new QTreeWidget(this)),
      m_check(new QPushButton(QStringLiteral("Проверить"), this)),
      m_checkMarked(new QPushButton(QStringLiteral("Проверить отмеченный"), this)), m_result(new QLabel(this))
{
    setObjectName(QStringLiteral("PortDialog"));
    setWindowTitle(kTitle);
    resize(kInitialSize);

    m_list->setObjectName(QStringLiteral("PortList"));
    m_list->setHeaderLabels(kListTitles);
    m_list->setRootIsDecorated(false);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_com1 = makeChoice(QStringLiteral("Com1Port"), link::com1PortName(), settings.com1Device());
    m_com2 = makeChoice(QStringLiteral("Com2Port"), link::com2PortName(), settings.com2Device());
    auto* choices = new QFormLayout;
    for (const auto& [box, portName] :
         {std::pair{m_com1, link::com1PortName()}, std::pair{m_com2, link::com2PortName()}}) {
        choices->addRow(link::shownPortName(portName) + QLatin1Char(':'), box);
        const QString fromEnvironment = link::environmentDevice(portName);
        if (!fromEnvironment.isEmpty()) {
            auto* note = new QLabel(QStringLiteral("Задано переменной окружения %1=%2: она важнее выбора здесь.")
                                        .arg(link::environmentVariableFor(portName), fromEnvironment),
                                    this);
            note->setWordWrap(true);
            choices->addRow(QString(), note);
        }
    }

    m_check->setObjectName(QStringLiteral("CheckPort"));
    m_check->setToolTip(QStringLiteral("Спросить прибор на том порту, с которого его будет принимать COM1"));
    connect(m_check, &QPushButton::clicked, this, &PortDialog::checkPort);
    m_checkMarked->setObjectName(QStringLiteral("CheckMarkedPort"));
    m_checkMarked->setToolTip(QStringLiteral("Спросить прибор на порту, отмеченном в списке"));
    connect(m_checkMarked, &QPushButton::clicked, this, &PortDialog::checkMarkedPort);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &PortDialog::updateCheckButtons);
    m_result->setObjectName(QStringLiteral("CheckResult"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(m_check, 0, Qt::AlignTop);
    checkRow->addWidget(m_checkMarked, 0, Qt::AlignTop);
    checkRow->addWidget(m_result, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PortDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Последовательные порты компьютера:"), this));
    layout->addWidget(m_list, 1);
    layout->addLayout(choices);
    layout->addLayout(checkRow);
    layout->addWidget(buttons);

    refreshPorts();
    updateCheckButtons();
    // Adapters come and go while the window is open; the system tells no one, so it is asked again.
    m_refresh.setInterval(kRefreshIntervalMs);
    connect(&m_refresh, &QTimer::timeout, this, &PortDialog::refreshPorts);
    m_refresh.start();
}

PortDialog::~PortDialog() = default;

QComboBox* PortDialog::makeChoice(const QString& objectName, const QString& portName, const QString& stored)
{
    auto* box = new QComboBox(this);
    box->setObjectName(objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItem(QStringLiteral("по умолчанию (%1)").arg(link::defaultDevice(portName)), QString());
    box->setProperty("stored", stored);
    return box;
}

void PortDialog::refreshPorts()
{
    std::vector<link::SerialPortDescription> ports = m_listPorts();
    if (ports == m_ports && m_list->topLevelItemCount() > 0)
        return;
    m_ports = std::move(ports);
    const QString marked =
        m_list->currentItem() ? m_list->currentItem()->data(DeviceColumn, Qt::UserRole).toString() : QString();
    m_list->clear();
    for (const link::SerialPortDescription& port : m_ports) {
        auto* item =
            new QTreeWidgetItem(m_list, {port.device, port.description, port.manufacturer, link::usbIds(port)});
        item->setData(DeviceColumn, Qt::UserRole, port.device);
        if (port.device == marked)
            m_list->setCurrentItem(item);
    }
    if (m_ports.empty()) {
        auto* none = new QTreeWidgetItem(m_list, {kNoPorts});
        none->setFlags(Qt::NoItemFlags);
        none->setFirstColumnSpanned(true);
    }
    fillChoices();
}

void PortDialog::fillChoices()
{
    for (QComboBox* box : {m_com1, m_com2}) {
        // What the box shows survives the new list: the user's choice or typing, else the stored one.
        const QString keep = box->property("filled").toBool() ? chosenDevice(*box) : box->property("stored").toString();
        box->setProperty("filled", true);
        while (box->count() > 1)
            box->removeItem(1);
        for (const link::SerialPortDescription& port : m_ports) {
            const QString about = port.description.isEmpty() ? QString() : QStringLiteral(" — ") + port.description;
            box->addItem(port.device + about, port.device);
        }
        const int at = box->findData(keep);
        if (at >= 0)
            box->setCurrentIndex(at);
        else
            box->setEditText(keep);
    }
}

QString PortDialog::chosenCom1() const
{
    return chosenDevice(*m_com1);
}

QString PortDialog::chosenCom2() const
{
    return chosenDevice(*m_com2);
}

QString PortDialog::deviceToCheck() const
{
    // The same map a transfer uses, over the choice as it stands in the dialog.
    return link::PortNameMap::forThisPlatform(chosenCom1(), chosenCom2()).deviceFor(link::com1PortName());
}

QString PortDialog::markedDevice() const
{
    const QTreeWidgetItem* marked = m_list->currentItem();
    return marked ? marked->data(DeviceColumn, Qt::UserRole).toString() : QString();
}

void PortDialog::checkPort()
{
    check(deviceToCheck());
}

void PortDialog::checkMarkedPort()
{
    const QString device = markedDevice();
    if (!device.isEmpty())
        check(device);
}

void PortDialog::updateCheckButtons()
{
    const bool idle = !m_checkJob || !m_checkJob->isRunning();
    m_check->setEnabled(idle);
    m_checkMarked->setEnabled(idle && !markedDevice().isEmpty());
}

void PortDialog::check(const QString& device)
{
    if (m_checkJob && m_checkJob->isRunning())
        return;
    m_checkedDevice = device;
    m_deviceInfo.clear();
    m_check->setEnabled(false);
    m_checkMarked->setEnabled(false);
    m_result->setText(QStringLiteral("Ожидание ответа прибора на %1 …").arg(m_checkedDevice));
    m_checkJob = std::make_unique<link::TransferJob>(link::PortNameMap::explicitDevices({}, {}));
    m_checkJob->setAnswerTimeout(m_answerTimeoutMs);
    connect(&m_checkJob->session(), &link::TransferSession::deviceInfoChanged, this,
            [this](const QString& name, const QString& firmware, const QString& counters) {
                if (!name.isEmpty())
                    m_deviceInfo =
                        QStringLiteral("%1, версия ПО %2, количество записей:%3").arg(name, firmware, counters);
            });
    connect(m_checkJob.get(), &link::TransferJob::finished, this,
            [this](link::TransferSession::Status status, const QString& message) { showCheckResult(status, message); });
    m_checkJob->identify(m_checkedDevice);
}

void PortDialog::showCheckResult(link::TransferSession::Status status, const QString& message)
{
    const bool answered = status == link::TransferSession::Status::Done;
    QString text = answered ? QStringLiteral("На %1 отвечает %2.").arg(m_checkedDevice, m_deviceInfo)
                            : QStringLiteral("%1: %2").arg(m_checkedDevice, message);
    const QString cause = m_checkJob->failureCause();
    if (!answered && !cause.isEmpty())
        text += QLatin1Char('\n') + cause;
    m_result->setText(text);
    updateCheckButtons();
    Q_EMIT checkFinished();
}

void PortDialog::accept()
{
    if (m_checkJob)
        m_checkJob->cancel();
    m_settings.setComDevices(chosenCom1(), chosenCom2());
    QDialog::accept();
}

} // namespace darni::app
