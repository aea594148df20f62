// The port dialog: the system's ports as they come and go, the choice for COM1 and COM2, and the check
// of an instrument on a pseudo-terminal.
#include "app/portdialog.h"
#include "app/settingsstore.h"
#include "support/simulatorprocess.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace darni;
using darni::testing::SimulatorProcess;

namespace {

constexpr int kAnswerTimeoutMs = 300;
constexpr int kWaitMs = 10000;

class PortDialogTest : public ::testing::Test
{
protected:
    PortDialogTest() : settings(dir.filePath(QStringLiteral("settings.ini"))) {}

    std::unique_ptr<app::PortDialog> makeDialog()
    {
        auto d = std::make_unique<app::PortDialog>(settings, nullptr, [this] { return ports; });
        d->setAnswerTimeout(kAnswerTimeoutMs);
        return d;
    }
    static QTreeWidget& list(app::PortDialog& d) { return *d.findChild<QTreeWidget*>(QStringLiteral("PortList")); }
    static QComboBox& com1(app::PortDialog& d) { return *d.findChild<QComboBox*>(QStringLiteral("Com1Port")); }
    static QComboBox& com2(app::PortDialog& d) { return *d.findChild<QComboBox*>(QStringLiteral("Com2Port")); }
    // What "Проверить" (or, `marked`, "Проверить отмеченный") found.
    static QString checked(app::PortDialog& d, bool marked = false)
    {
        QSignalSpy done(&d, &app::PortDialog::checkFinished);
        if (marked)
            d.checkMarkedPort();
        else
            d.checkPort();
        EXPECT_TRUE(done.wait(kWaitMs));
        return d.findChild<QLabel*>(QStringLiteral("CheckResult"))->text();
    }

    QTemporaryDir dir;
    app::SettingsStore settings;
    std::vector<link::SerialPortDescription> ports;
};

TEST_F(PortDialogTest, TheListFollowsTheSystemsPortsAndKeepsTheChoice)
{
    SimulatorProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.started());
    settings.setComDevices(sim.device(), {});
    auto d = makeDialog();

    // None at all: a word on what to do, nothing to pick; the stored choice still stands.
    ASSERT_EQ(list(*d).topLevelItemCount(), 1);
    EXPECT_FALSE(list(*d).topLevelItem(0)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(list(*d).topLevelItem(0)->text(0).contains(QStringLiteral("не найдено")));
    EXPECT_EQ(d->chosenCom1(), sim.device());
    EXPECT_EQ(d->chosenCom2(), QString()) << "the platform's own device";

    // An adapter is plugged in.
    link::SerialPortDescription adapter;
    adapter.device = sim.device();
    adapter.name = QStringLiteral("pts");
    adapter.description = QStringLiteral("USB-Serial Controller");
    adapter.manufacturer = QStringLiteral("Prolific Technology Inc.");
    adapter.vendorId = 0x067B;
    adapter.productId = 0x2303;
    ports = {adapter};
    d->refreshPorts();
    ASSERT_EQ(list(*d).topLevelItemCount(), 1);
    const QTreeWidgetItem* row = list(*d).topLevelItem(0);
    EXPECT_EQ(row->text(0), sim.device());
    EXPECT_EQ(row->text(1), QStringLiteral("USB-Serial Controller"));
    EXPECT_EQ(row->text(2), QStringLiteral("Prolific Technology Inc."));
    EXPECT_EQ(row->text(3), QStringLiteral("067B:2303"));
    EXPECT_EQ(com2(*d).count(), 2) << "the default and the adapter";
    EXPECT_EQ(d->chosenCom1(), sim.device()) << "now picked from the list";
    EXPECT_EQ(com1(*d).currentIndex(), 1);

    // COM2 typed by hand; OK stores both, and the default removes a choice.
    com2(*d).setEditText(QStringLiteral("/dev/ttyUSB7"));
    d->accept();
    EXPECT_EQ(settings.com1Device(), sim.device());
    EXPECT_EQ(settings.com2Device(), QStringLiteral("/dev/ttyUSB7"));
    auto again = makeDialog();
    com1(*again).setCurrentIndex(0);
    again->accept();
    EXPECT_EQ(settings.com1Device(), QString());
    EXPECT_EQ(settings.com2Device(), QStringLiteral("/dev/ttyUSB7"));
}

TEST_F(PortDialogTest, CheckTellsTheInstrumentOrWhyNoneAnswered)
{
    SimulatorProcess instrument({QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("12,5")});
    SimulatorProcess silent({QStringLiteral("--silent")});
    ASSERT_TRUE(instrument.started() && silent.started());
    ports.resize(2);
    ports[0].device = instrument.device();
    ports[1].device = silent.device();
    auto d = makeDialog();

    // A marked row is asked only through "Проверить отмеченный".
    auto* checkMarked = d->findChild<QPushButton*>(QStringLiteral("CheckMarkedPort"));
    ASSERT_NE(checkMarked, nullptr);
    EXPECT_FALSE(checkMarked->isEnabled()) << "nothing marked yet";
    list(*d).setCurrentItem(list(*d).topLevelItem(0));
    EXPECT_TRUE(checkMarked->isEnabled());
    EXPECT_EQ(d->markedDevice(), instrument.device());
    const QString found = checked(*d, true);
    EXPECT_TRUE(found.contains(QStringLiteral("ОРНАК-ТР5"))) << found.toStdString();
    EXPECT_TRUE(found.contains(QStringLiteral(" 12/5"))) << found.toStdString();

    list(*d).setCurrentItem(list(*d).topLevelItem(1));
    const QString quiet = checked(*d, true);
    EXPECT_TRUE(quiet.contains(QStringLiteral("Прибор не обнаружен!"))) << quiet.toStdString();
    EXPECT_TRUE(quiet.contains(QStringLiteral("не ответил"))) << quiet.toStdString();

    // "Проверить" asks the port a transfer will use for COM1, whatever is marked: the device typed
    // for COM1, and DARNI_COM1 over it when set.
    const QString missing = dir.filePath(QStringLiteral("no-such-port"));
    com1(*d).setEditText(missing);
    EXPECT_EQ(d->deviceToCheck(), missing);
    qputenv("DARNI_COM1", instrument.device().toLocal8Bit());
    EXPECT_EQ(d->deviceToCheck(), instrument.device());
    const QString fromEnvironment = checked(*d);
    qunsetenv("DARNI_COM1");
    EXPECT_TRUE(fromEnvironment.contains(QStringLiteral("ОРНАК-ТР5"))) << fromEnvironment.toStdString();
    const QString absent = checked(*d);
    EXPECT_TRUE(absent.contains(QStringLiteral("Порт ") + missing + QStringLiteral(": такого устройства нет")))
        << absent.toStdString();
}

} // namespace
