// The main window offscreen: command enabling and presentation in both states, the file commands
// with scripted dialogs over ornak-sim, the save question, closing versus "Выход", about and splash.
#include "app/aboutbox.h"
#include "app/applicationicon.h"
#include "app/mainwindow.h"
#include "app/qttranslations.h"
#include "app/splashscreen.h"
#include "app/toolbaricons.h"
#include "app/transferdialog.h"
#include "link/serialportdriver.h"
#include "mainwindowfixture.h"
#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"
#include "support/scriptedport.h"
#include "support/simulatorprocess.h"
#include "table/dbftable.h"
#include "view/gridview.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

using namespace darni;
using darni::testing::MainWindowTest;

namespace {

class KeptTransfers : public MainWindowTest
{
protected:
    QString archiveFolder() const { return dir.filePath(QStringLiteral("Передачи")); }
};

TEST_F(MainWindowTest, StartsWithoutATableAndWritesTheStartDirectory)
{
    auto w = makeWindow(port);
    w->show();
    expectState(*w, false);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ОРНАК - ТР5"));
    EXPECT_TRUE(settings.hasDefaultDirectory()) << "written at once on the first start";
    EXPECT_EQ(w->lastDirectory(), settings.defaultDirectory());
    const QColor noTable = w->palette().color(QPalette::Window);

    // A table open: the other state, a lighter background.
    const QString table = path("objekt-7.db");
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "1"}}).writeTo(table);
    ASSERT_TRUE(w->openTablePath(table));
    expectState(*w, true);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("objekt-7 - ОРНАК - ТР5"));
    EXPECT_GT(w->palette().color(QPalette::Window).lightness(), noTable.lightness());
    w->closeTable();
    expectState(*w, false);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ОРНАК - ТР5"));
}

TEST_F(KeptTransfers, CreateReceivesFromTheInstrumentAndShowsTheRows)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("12,5")});
    ASSERT_TRUE(sim.started());
    link::SerialPortDriver instrument(link::PortNameMap::explicitDevices(sim.device(), path("no-com2")));
    auto w = makeWindow(instrument);
    w->show();
    dialogs.fileNames = {path("new.db")};
    w->createTable();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
    ASSERT_TRUE(w->workspace().isOpen());
    expectState(*w, true);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ОРНАК - ТР5")) << "create leaves the title";
    EXPECT_EQ(dialogs.fileDialogFilters, QStringList{QStringLiteral("Файлы данных|*.db")});
    ASSERT_NE(w->activeGrid(), nullptr);
    EXPECT_EQ(w->activeGrid()->objectName(), QStringLiteral("Grid1"));
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 17);
    EXPECT_EQ(w->activeGrid()->model()->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Время прохождения УЗК, Т, мкс."));
    EXPECT_FALSE(w->workspace().isModified());

    // The transfer is kept beside the table, and a table made from it is the same table.
    w->transferKeeper().waitForAll();
    const QDir kept(archiveFolder());
    const QStringList files = kept.entryList({QStringLiteral("new-*.ornakimg")}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << kept.entryList().join(QLatin1Char(' ')).toStdString();
    dialogs.fileNames = {kept.filePath(files[0]), path("again.db")};
    w->command(QStringLiteral("CreateFromSaved"))->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_TRUE(w->workspace().isOpen());
    EXPECT_EQ(w->workspace().path(), path("again.db"));
    EXPECT_TRUE(darni::testing::readAll(path("again.db")) == darni::testing::readAll(path("new.db")));

    // A table of that name is replaced only when the user says so, and the replaced one is the undo copy.
    const QString old = path("old.db");
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "9"}}).writeTo(old);
    const QByteArray oldBytes = darni::testing::readAll(old);
    dialogs.questions.clear();
    dialogs.fileNames = {kept.filePath(files[0]), old};
    w->command(QStringLiteral("CreateFromSaved"))->trigger(); // no answer: "Нет"
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains(QStringLiteral("уже существует")));
    EXPECT_TRUE(darni::testing::readAll(old) == oldBytes);
    dialogs.fileNames = {kept.filePath(files[0]), old};
    dialogs.yesNoAnswers = {true};
    w->command(QStringLiteral("CreateFromSaved"))->trigger();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 17);
    ASSERT_TRUE(w->command(QStringLiteral("Undo"))->isEnabled());
    w->command(QStringLiteral("Undo"))->trigger();
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 1);
    w->closeTable();
    EXPECT_TRUE(darni::testing::readAll(old) == oldBytes);
    EXPECT_FALSE(QFile::exists(old + QStringLiteral(".undo")));
}

TEST_F(KeptTransfers, ATransferThatCannotBeKeptIsToldAndTheTableStays)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("3,1")});
    ASSERT_TRUE(sim.started());
    darni::testing::writeAll(archiveFolder(), "a file where the folder would be");
    link::SerialPortDriver instrument(link::PortNameMap::explicitDevices(sim.device(), path("no-com2")));
    auto w = makeWindow(instrument);
    dialogs.fileNames = {path("t.db")};
    w->createTable();
    w->transferKeeper().waitForAll();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("Принятые данные не сохранены в папке передач")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(dialogs.messages[0].text.endsWith(QStringLiteral(". Таблица записана.")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(w->workspace().isOpen());
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 4);

    // A file that is no saved transfer is refused by name, and nothing is made of it.
    dialogs.messages.clear();
    dialogs.fileNames = {archiveFolder(), path("none.db")};
    w->command(QStringLiteral("CreateFromSaved"))->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(archiveFolder())) << dialogs.messages[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(path("none.db")));
}

TEST_F(MainWindowTest, AppendAddsOnlyTheRecordsMeasuredSinceTheLastTransfer)
{
    darni::testing::SimulatorProcess sim({QStringLiteral("--full-speed"), QStringLiteral("--records"),
                                          QStringLiteral("6,3"), QStringLiteral("--append-after-transfer"),
                                          QStringLiteral("3")});
    ASSERT_TRUE(sim.started());
    link::SerialPortDriver instrument(link::PortNameMap::explicitDevices(sim.device(), path("no-com2")));
    auto w = makeWindow(instrument);
    w->show();
    dialogs.fileNames = {path("grow.db")};
    w->createTable();
    ASSERT_TRUE(w->workspace().isOpen());
    const int before = w->activeGrid()->model()->rowCount();

    w->appendTable();
    ASSERT_TRUE(w->workspace().isOpen());
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), before + 3);
    ASSERT_FALSE(dialogs.messages.empty());
    for (const auto& shown : dialogs.messages)
        EXPECT_EQ(shown.caption, QStringLiteral("Дополнение")) << shown.text.toStdString();
    EXPECT_FALSE(w->workspace().isModified()) << "the appended rows are saved at once";
}

TEST_F(MainWindowTest, AFailedTransferLeavesAnExistingFileAlone)
{
    const QString existing = path("keep.db");
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "7"}}).writeTo(existing);
    const QByteArray before = darni::testing::readAll(existing);
    auto w = makeWindow(port); // no instrument anywhere
    dialogs.fileNames = {existing};
    dialogs.yesNoAnswers = {true}; // replace it
    w->createTable();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].contains(QStringLiteral("уже существует"))) << dialogs.questions[0].toStdString();
    EXPECT_FALSE(w->workspace().isOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    // Under it, why neither port could be used.
    EXPECT_TRUE(dialogs.messages[0].help.contains(QStringLiteral("Порт COM1 (") + path("no-com1") +
                                                  QStringLiteral("): такого устройства нет")))
        << dialogs.messages[0].help.toStdString();
    EXPECT_EQ(darni::testing::readAll(existing), before);
}

TEST_F(MainWindowTest, RecentTablesAndDroppedTablesOpen)
{
    const QStringList names = {QStringLiteral("a.db"), QStringLiteral("b.db"), QStringLiteral("c.db")};
    for (const QString& name : names)
        darni::testing::DbfFileBuilder(darni::testing::measurementFields())
            .record({{"N", "1"}})
            .writeTo(dir.filePath(name));
    auto w = makeWindow(port);
    const auto recent = [&w] {
        QStringList shown;
        for (int i = 1; i <= 8; ++i) {
            const QAction* action = w->findChild<QAction*>(QStringLiteral("RecentTable%1").arg(i));
            if (action && action->isVisible())
                shown << QFileInfo(action->data().toString()).fileName();
        }
        return shown;
    };
    EXPECT_TRUE(recent().isEmpty());
    for (const QString& name : names)
        ASSERT_TRUE(w->openTablePath(dir.filePath(name)));
    ASSERT_TRUE(w->openTablePath(dir.filePath(QStringLiteral("a.db"))));
    EXPECT_EQ(recent(), (QStringList{QStringLiteral("a.db"), QStringLiteral("c.db"), QStringLiteral("b.db")}));

    // A table gone since drops out; choosing one opens it.
    w->closeTable();
    QFile::remove(dir.filePath(QStringLiteral("c.db")));
    auto again = makeWindow(port);
    w.swap(again);
    EXPECT_EQ(recent(), (QStringList{QStringLiteral("a.db"), QStringLiteral("b.db")}));
    w->findChild<QAction*>(QStringLiteral("RecentTable2"))->trigger();
    ASSERT_TRUE(w->workspace().isOpen());
    EXPECT_EQ(QFileInfo(w->workspace().path()).fileName(), QStringLiteral("b.db"));

    // A table dropped on the window opens.
    EXPECT_TRUE(w->acceptDrops());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.db")))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.get(), &drop);
    QTRY_COMPARE(QFileInfo(w->workspace().path()).fileName(), QStringLiteral("a.db"));
}

TEST_F(MainWindowTest, ToolButtonsTellTheirCommandAndShortcutAfterTheyAreEnabledAndDisabled)
{
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "1"}}).writeTo(path("t.db"));
    auto w = makeWindow(port);
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    w->closeTable();
    const QList<QToolButton*> buttons =
        w->findChildren<QToolButton*>(QRegularExpression(QStringLiteral("^ToolButton\\d$")));
    ASSERT_EQ(buttons.size(), 6);
    for (const QToolButton* button : buttons)
        EXPECT_FALSE(button->toolTip().isEmpty()) << button->objectName().toStdString();
    const auto* create = w->findChild<QToolButton*>(QStringLiteral("ToolButton1"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->toolTip(), QStringLiteral("Создать (") +
                                     QKeySequence(Qt::CTRL | Qt::Key_N).toString(QKeySequence::NativeText) +
                                     QLatin1Char(')'));
}

TEST_F(MainWindowTest, TypingIntoATableOpenOnlyForReadingTellsWhyOnce)
{
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "1"}}).writeTo(path("t.db"));
    QFile::setPermissions(path("t.db"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    auto w = makeWindow(port);
    w->show();
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    ASSERT_TRUE(w->workspace().isReadOnly());
    QTableView* grid = w->activeGrid();
    const int comment = w->activeGrid()->measurementModel().columnOf(table::Field::COMMENT);
    grid->setCurrentIndex(grid->model()->index(0, comment));
    for (int i = 0; i < 2; ++i)
        QTest::keyClicks(grid, QStringLiteral("x"));
    ASSERT_EQ(dialogs.messages.size(), 1u) << "told once";
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("только для чтения")));
    EXPECT_FALSE(dialogs.messages[0].help.isEmpty()) << "and why: the file is protected";
}

TEST_F(MainWindowTest, ATransferThatHeardNoInstrumentLeavesTheDeviceTypeAlone)
{
    darni::testing::DbfFileBuilder(darni::testing::measurementFields())
        .record({{"N", "1"}, {"DEV_TYPE", "13"}})
        .writeTo(path("t.db"));
    auto w = makeWindow(port); // no instrument anywhere
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    ASSERT_EQ(w->workspace().deviceType(), 13);
    w->appendTable();
    EXPECT_EQ(w->workspace().deviceType(), 13) << "later printouts keep their layout";
}

TEST_F(MainWindowTest, ATableAnotherProgramHoldsIsNotReplacedButOpensForReading)
{
    const QString held = path("held.db");
    darni::testing::DbfFileBuilder(darni::testing::measurementFields())
        .record({{"N", "2"}, {"P", "5"}})
        .record({{"N", "1"}, {"P", "7"}})
        .writeTo(held);
    const QByteArray before = darni::testing::readAll(held);
    table::DbfTable holder; // another writer
    holder.open(held);
    auto w = makeWindow(port); // no instrument anywhere: asking one would say so

    dialogs.fileNames = {held};
    dialogs.yesNoAnswers = {true};
    w->createTable();
    EXPECT_FALSE(w->workspace().isOpen());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("занят другой программой")))
        << dialogs.messages[0].text.toStdString();

    ASSERT_TRUE(w->openTablePath(held));
    EXPECT_TRUE(w->workspace().isReadOnly());
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("held [только чтение] - ")))
        << w->windowTitle().toStdString();
    for (const char* writes : {"N4", "N5", "N34", "N21", "N37"})
        EXPECT_FALSE(w->command(QString::fromLatin1(writes))->isEnabled()) << writes;
    EXPECT_TRUE(w->command(QStringLiteral("Excel1"))->isEnabled());
    view::GridView& grid = *w->activeGrid();
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable);
    w->command(QStringLiteral("N21"))->trigger(); // the context menu's delete: nothing happens
    EXPECT_EQ(grid.model()->rowCount(), 2);
    w->closeTable();
    EXPECT_EQ(darni::testing::readAll(held), before);
    EXPECT_FALSE(QFile::exists(path("held.mdx")));
}

TEST_F(MainWindowTest, OpenRefusesWhatIsNotATableAndChoosesThePage)
{
    auto w = makeWindow(port);
    w->show();
    darni::testing::writeAll(path("junk.db"), "junk");
    dialogs.fileNames = {path("junk.db")};
    w->openTable();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("База данных повреждена !"));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(dialogs.messages[0].icon, app::UserDialogs::Icon::Error);
    EXPECT_FALSE(w->workspace().isOpen());
    expectState(*w, false);
    EXPECT_EQ(dialogs.fileDialogFilters, QStringList{QStringLiteral("Базы данных|*.db")});

    // One pull-off row among many ultrasonic rows: only the pull-off page, with only that row.
    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    for (int i = 1; i <= 5; ++i)
        b.record({{"N", std::to_string(i)}, {"NB_TYPE", i == 3 ? "1" : ""}, {"P", "12.5"}});
    b.writeTo(path("mixed.db"));
    dialogs.fileNames = {path("mixed.db")};
    w->openTable();
    auto* pages = w->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    EXPECT_FALSE(pages->isTabVisible(0));
    EXPECT_TRUE(pages->isTabVisible(1));
    ASSERT_NE(w->activeGrid(), nullptr);
    EXPECT_EQ(w->activeGrid()->objectName(), QStringLiteral("Grid2"));
    EXPECT_EQ(w->activeGrid()->model()->rowCount(), 1);
    EXPECT_EQ(w->lastDirectory(), dir.path());
}

TEST_F(MainWindowTest, TheSaveQuestionIsAskedOnceAfterAnEdit)
{
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "1"}}).writeTo(path("t.db"));
    auto w = makeWindow(port);
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    w->workspace().markModified();
    dialogs.yesNoAnswers = {false};
    w->closeTable();
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Сохранить изменения в таблицах ?")});
    w->closeTable();
    EXPECT_EQ(dialogs.questions.size(), 1) << "no new edit, no new question";
}

TEST_F(MainWindowTest, ClosingTheWindowStoresTheDirectoryButExitDoesNot)
{
    {
        auto w = makeWindow(port);
        darni::testing::DbfFileBuilder(darni::testing::measurementFields()).writeTo(path("t.db"));
        dialogs.fileNames = {path("t.db")};
        w->openTable();
        settings.setDefaultDirectory(QStringLiteral("/elsewhere"));
        w->close();
        EXPECT_EQ(settings.defaultDirectory(), dir.path());
        EXPECT_FALSE(w->workspace().isOpen());
    }
    settings.setDefaultDirectory(QStringLiteral("/before"));
    auto w = makeWindow(port);
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    w->exitProgram();
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "with nothing unsaved, Выход asks nothing";
    ASSERT_TRUE(w->openTablePath(path("t.db")));
    w->workspace().markModified();
    w->exitProgram();
    w->close();
    EXPECT_EQ(settings.defaultDirectory(), QStringLiteral("/before"));
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("Сохранить изменения в таблицах ?")})
        << "unsaved edits are not dropped without the question";
    EXPECT_FALSE(w->workspace().isOpen());
    // "Выход" asked the application to end; a run of its loop takes the request, so later tests in
    // this process can run loops of their own.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// Every window shows its failures through one function, with one rule for the closing full stop.
TEST(FailureMessages, EndAsASentenceWhicheverWindowShowsThem)
{
    const struct
    {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Файл не записан", "Файл не записан."},
        {"Ошибка передачи данных!", "Ошибка передачи данных!"},
        {"База данных повреждена !", "База данных повреждена !"},
        {"Таблица закрыта.", "Таблица закрыта."},
        {"Код 0x80030005", "Код 0x80030005."},
        {"", ""},
    };
    darni::testing::ScriptedDialogs dialogs;
    for (const auto& c : cases) {
        dialogs.failure(nullptr, QStringLiteral("Ошибка"), QString::fromUtf8(c.text), QStringLiteral("почему"));
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.back().icon, app::UserDialogs::Icon::Error) << c.text;
        EXPECT_EQ(dialogs.messages.back().text, QString::fromUtf8(c.shown)) << c.text;
        EXPECT_EQ(dialogs.messages.back().help, QStringLiteral("почему")) << c.text;
    }
}

TEST(TransferWindow, TheProgressBarSpansTheMemoryTheInstrumentAnnounced)
{
    darni::testing::ScriptedPort line({});
    link::ReceiveBuffer buffer;
    transfer::Transfer received;
    link::TransferSession session(line, buffer, received);
    darni::testing::ScriptedDialogs dialogs;
    app::TransferDialog window(session, dialogs);
    const auto* bar = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    ASSERT_NE(bar, nullptr);
    Q_EMIT session.expectedLengthKnown(4242);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 4242);
}

TEST(Help, TheContentsListLeadsToEverySection)
{
    QFile help(QStringLiteral(DARNI_HELP_SOURCE));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(help.readAll());
    const QRegularExpression link(QStringLiteral("href=\"#([a-z]+)\""));
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString anchor = it.next().captured(1);
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(anchor))) << anchor.toStdString();
    }
    EXPECT_GE(links, 6);
    EXPECT_TRUE(html.contains(QStringLiteral("Кириллица (Windows-1251)")));
}

TEST(AboutAndSplash, VersionAndTiming)
{
    app::AboutBox about;
    EXPECT_EQ(about.versionText(), QStringLiteral("Версия 1.0.0.0"));
    // The program's own icon, in every size the desktop asks for, shows in the About box.
    const QIcon icon = app::applicationIcon();
    for (const int size : {16, 32, 48, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    const auto* shown = about.findChild<QLabel*>(QStringLiteral("ApplicationIcon"));
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->pixmap().isNull());

    app::SplashScreen splash;
    splash.setShowTime(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(splash.exec(), QDialog::Accepted);
    EXPECT_GE(clock.elapsed(), 50);
}

} // namespace

namespace {

TEST(QtTexts, StandardButtonsSpeakRussianWithQtsTranslationLoaded)
{
    EXPECT_TRUE(darni::app::wantsRussianQtTexts(QLocale(QLocale::Russian, QLocale::Russia)));
    EXPECT_TRUE(darni::app::wantsRussianQtTexts(QLocale::c())) << "a session with no locale set";
    EXPECT_FALSE(darni::app::wantsRussianQtTexts(QLocale(QLocale::German, QLocale::Germany)));

    QTranslator translator;
    ASSERT_TRUE(darni::app::loadRussianQtTexts(translator)) << "qt6-translations-l10n is installed";
    QApplication::installTranslator(&translator);
    const QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QString cancel = buttons.button(QDialogButtonBox::Cancel)->text();
    QString open = buttons.button(QDialogButtonBox::Open)->text();
    QApplication::removeTranslator(&translator);
    EXPECT_EQ(cancel.remove(u'&'), QStringLiteral("Отмена"));
    EXPECT_EQ(open.remove(u'&'), QStringLiteral("Открыть"));
}

} // namespace

namespace {

TEST_F(MainWindowTest, EveryMenuAndItemHasItsOwnAccessLetterAndKeepsItsCaption)
{
    auto w = makeWindow(port);
    const auto letterOf = [](const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        return at < 0 || at + 1 >= text.size() ? QChar() : text.at(at + 1).toLower();
    };
    QSet<QChar> menuLetters;
    for (QAction* menuAction : w->menuBar()->actions()) {
        const QChar menuLetter = letterOf(menuAction->text());
        EXPECT_FALSE(menuLetter.isNull()) << menuAction->text().toStdString();
        EXPECT_FALSE(menuLetters.contains(menuLetter)) << menuAction->text().toStdString();
        menuLetters.insert(menuLetter);
        QSet<QChar> itemLetters;
        for (QAction* item : menuAction->menu()->actions()) {
            if (item->isSeparator() || !item->isVisible())
                continue;
            const QChar letter = letterOf(item->text());
            EXPECT_FALSE(letter.isNull()) << item->text().toStdString();
            EXPECT_FALSE(itemLetters.contains(letter)) << item->text().toStdString();
            itemLetters.insert(letter);
        }
    }
    EXPECT_EQ(w->command(QStringLiteral("N2"))->text().remove(u'&'), QStringLiteral("Создать"));
    EXPECT_EQ(w->command(QStringLiteral("N4"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    EXPECT_EQ(w->command(QStringLiteral("Excel1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
}

} // namespace

namespace {

TEST_F(MainWindowTest, WithNoTableTheWindowSaysWhatToDoAndOffersBothWaysToBegin)
{
    auto w = makeWindow(port);
    w->show();
    auto* panel = w->findChild<QWidget*>(QStringLiteral("NoTablePanel"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    auto* open = w->findChild<QPushButton*>(QStringLiteral("NoTableOpen"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(w->findChild<QPushButton*>(QStringLiteral("NoTableCreate")), nullptr);

    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    b.record({{"N", "1"}});
    b.writeTo(dir.filePath(QStringLiteral("t.db")));
    dialogs.fileNames.push_back(dir.filePath(QStringLiteral("t.db")));
    open->click();
    EXPECT_FALSE(panel->isVisible()) << "the pages take its place";
    ASSERT_NE(w->activeGrid(), nullptr);
    w->closeTable();
    EXPECT_TRUE(panel->isVisible());
}

} // namespace

namespace {

TEST(ToolbarImages, BreezesImagesAreBundledAtEverySizeTheToolBarUses)
{
    ASSERT_TRUE(darni::app::toolbarIconsBundled()) << "breeze-icon-theme and librsvg2-bin are installed";
    for (const auto image :
         {darni::app::ToolbarImage::Create, darni::app::ToolbarImage::Print, darni::app::ToolbarImage::DeleteRows}) {
        const QIcon icon = darni::app::toolbarIcon(image);
        for (const int size : {16, 24, 32}) {
            const QPixmap pixmap = icon.pixmap(size, size);
            EXPECT_EQ(pixmap.width(), size);
            EXPECT_FALSE(pixmap.toImage().allGray() && pixmap.toImage().pixelColor(size / 2, size / 2).alpha() == 0)
                << "something is drawn at " << size;
        }
        EXPECT_GE(icon.availableSizes().size(), 5) << "16 to 64 pixels, no scaling of one size";
    }
}

} // namespace
