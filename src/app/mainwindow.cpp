// The program's main window.
#include "mainwindow.h"

#include "aboutbox.h"
#include "helpwindow.h"
#include "portdialog.h"
#include "reportprogress.h"
#include "toolbaricons.h"
#include "transferdialog.h"

#include "decode/transferdecoding.h"
#include "output/chartdata.h"
#include "output/excelexport.h"
#include "output/report/reportpainter.h"
#include "printing/reportprinter.h"
#include "table/numbertext.h"
#include "table/recordkind.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <optional>

namespace darni::app {

using table::RecordKind;

namespace {
constexpr QSize kInitialSize(703, 501);
constexpr int kToolBarHeight = 29;
// How many of the tables last opened or created "Файл" lists.
constexpr int kRecentTableCount = 8;
const QString kTableFilter = QStringLiteral("Файлы данных|*.db");
const QString kOpenFilter = QStringLiteral("Базы данных|*.db");
const QString kWorkbookFilter = QStringLiteral("Книга Excel|*.xls");
const QString kWorkbookSuffix = QStringLiteral("xls");
const QString kCsvFilter = QStringLiteral("Файл CSV|*.csv");
const QString kSavedTransferFilter = QStringLiteral("Сохранённые передачи|*.ornakimg *.img");
const QString kSavedTransferSuffix = QStringLiteral("ornakimg");
const QString kCsvSuffix = QStringLiteral("csv");
const QString kCsvCaption = QStringLiteral("Экспорт в CSV");
const QString kXlsxFilter = QStringLiteral("Книга Excel 2007+|*.xlsx");
const QString kXlsxSuffix = QStringLiteral("xlsx");
const QString kXlsxCaption = QStringLiteral("Экспорт в Excel 2007+ (.xlsx)");
const QString kTableSuffix = QStringLiteral("db");
const QString kTitleSeparator = QStringLiteral(" - ");
// After the table's name in the title when the table is open only for reading.
const QString kReadOnlyMark = QStringLiteral(" [только чтение]");
// The commands that change the table: disabled while it is open only for reading.
constexpr const char* kWritingCommands[] = {"N4", "N5", "N34", "N21", "N37"};
const QString kSaveQuestion = QStringLiteral("Сохранить изменения в таблицах ?");
const QString kUltrasonicLayout = QStringLiteral("Table_1");
const QString kPullOffLayout = QStringLiteral("Table_2");
constexpr int kUltrasonicPage = 0;
constexpr int kPullOffPage = 1;
// The no-table panel.
const QString kNoTableText =
    QStringLiteral("Таблица не открыта.\nСоздайте таблицу из памяти прибора ОРНАК-ТР5 или откройте сохранённую.");
const QString kCreateButtonText = QStringLiteral("Создать из прибора…");
const QString kOpenButtonText = QStringLiteral("Открыть таблицу…");
// What the footer's figures are, for their tooltips.
const QString kFiguresHint = QStringLiteral("минимум / среднее / максимум ");
const QString kFiguresOfPage = QStringLiteral("по всей таблице");
const QString kFiguresOfMarkedRows = QStringLiteral("по выделенным строкам");
const QString kRowCountHint = QStringLiteral("строк на странице");
// Error texts get a full stop unless they end in a character that sorts before it.
} // namespace

enum class Menu { File, View, Edit, Service, Help, Context };

namespace {
// The caption as shown, its access letter marked for Alt: the text itself stays as it is.
QString withAccessLetter(const QString& caption, char16_t letter)
{
    const qsizetype at = caption.indexOf(QChar(letter));
    return at < 0 ? caption : caption.left(at) + QLatin1Char('&') + caption.mid(at);
}
} // namespace

namespace {
// The wait cursor while a command works without a dialog of its own.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
} // namespace

struct MainWindow::CommandSpec
{
    const char* objectName;
    const char16_t* caption;
    char16_t accessLetter; // marked for Alt in the menu; unique within its menu
    QKeySequence shortcut;
    std::optional<ToolbarImage> image;
    const char* toolButton; // objectName of its tool button, or nullptr
    bool needsTable;
    void (MainWindow::*handler)();
    std::initializer_list<Menu> menus;
};

QString MainWindow::applicationTitle()
{
    return QStringLiteral("ОРНАК - ТР5");
}

MainWindow::MainWindow(UserDialogs& dialogs, SettingsStore& settings, link::SerialPort& port, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_settings(settings), m_transfer(port)
{
    setObjectName(QStringLiteral("TForm1"));
    resize(kInitialSize);
    setWindowState(Qt::WindowMaximized);
    buildCommands();
    buildPages();
    setAcceptDrops(true);
    m_about = new AboutBox(this);
    connect(&m_transferKeeper, &TransferKeeper::failed, this, [this](const QString& message) { reportError(message); });

    // The directory the file dialogs start in; written at once on the first start.
    if (m_settings.hasDefaultDirectory()) {
        m_lastDirectory = m_settings.defaultDirectory();
    } else {
        m_lastDirectory = QDir::currentPath();
        m_settings.setDefaultDirectory(m_lastDirectory);
    }
    m_exportDirectory = m_lastDirectory;
    setTableCommandsEnabled(false);
    hidePages();
    setPresentation(false, applicationTitle());
}

MainWindow::~MainWindow() = default;

// ---- building -----------------------------------------------------------------------------------

void MainWindow::buildCommands()
{
    // clang-format off
    static const CommandSpec kCommands[] = {
        {"N2", u"Создать", u'С', QKeySequence(Qt::CTRL | Qt::Key_N), ToolbarImage::Create, "ToolButton1", false, &MainWindow::createTable, {Menu::File}},
        {"N3", u"Открыть", u'О', QKeySequence(Qt::CTRL | Qt::Key_O), ToolbarImage::Open, "ToolButton2", false, &MainWindow::openTable, {Menu::File}},
        {"CreateFromSaved", u"Создать из сохранённой передачи…", u'е', {}, std::nullopt, nullptr, false, &MainWindow::createFromSavedTransfer, {Menu::File}},
        {"N4", u"Дополнить", u'Д', QKeySequence(Qt::CTRL | Qt::Key_D), std::nullopt, nullptr, true, &MainWindow::appendTable, {Menu::File}},
        {"N5", u"Сохранить", u'х', QKeySequence(Qt::CTRL | Qt::Key_S), ToolbarImage::Save, "ToolButton3", true, &MainWindow::saveTable, {Menu::File}},
        {"N7", u"Закрыть", u'З', QKeySequence(Qt::CTRL | Qt::Key_W), std::nullopt, nullptr, true, &MainWindow::closeTable, {Menu::File}},
        {"N6", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::File}},
        {"N8", u"Предварительный просмотр", u'П', {}, ToolbarImage::Preview, "ToolButton4", true, &MainWindow::previewReport, {Menu::File}},
        {"N9", u"Печать", u'ч', QKeySequence(Qt::CTRL | Qt::Key_P), ToolbarImage::Print, "ToolButton5", true, &MainWindow::printReport, {Menu::File}},
        {"N10", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::File}},
        {"N11", u"Выход", u'В', {}, std::nullopt, nullptr, false, &MainWindow::exitProgram, {Menu::File}},
        {"N27", u"Выровнять столбцы", u'В', {}, std::nullopt, nullptr, true, &MainWindow::equalizeColumns, {Menu::View}},
        {"N28", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::View}},
        {"N29", u"Задать цвет", u'З', {}, std::nullopt, nullptr, true, &MainWindow::chooseColumnColor, {Menu::View}},
        {"N30", u"Убрать цвет", u'У', {}, std::nullopt, nullptr, true, &MainWindow::removeColumnColor, {Menu::View}},
        {"N31", u"Убрать все цвета", u'с', {}, std::nullopt, nullptr, true, &MainWindow::removeAllColumnColors, {Menu::View}},
        {"N32", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::View}},
        {"N33", u"Убрать сортировку", u'о', {}, std::nullopt, nullptr, true, &MainWindow::removeSorting, {Menu::View}},
        {"Charts", u"Графики", u'Г', {}, std::nullopt, nullptr, true, &MainWindow::showCharts, {Menu::View}},
        {"Undo", u"Отменить", u'О', QKeySequence(Qt::CTRL | Qt::Key_Z), std::nullopt, nullptr, true, &MainWindow::undoLastCommand, {Menu::Edit}},
        {"N34", u"Удалить строки", u'У', {}, ToolbarImage::DeleteRows, nullptr, true, &MainWindow::deleteSelectedRows, {Menu::Edit}},
        {"Excel1", u"Экспорт в Excel", u'Э', QKeySequence(Qt::CTRL | Qt::Key_E), std::nullopt, nullptr, true, &MainWindow::exportToExcel, {Menu::Service}},
        {"ExportXlsx", u"Экспорт в Excel 2007+ (.xlsx)", u'2', {}, std::nullopt, nullptr, true, &MainWindow::exportToXlsx, {Menu::Service}},
        {"ExportCsv", u"Экспорт в CSV", u'C', {}, std::nullopt, nullptr, true, &MainWindow::exportToCsv, {Menu::Service}},
        {"N37", u"Перенумеровать строки", u'П', QKeySequence(Qt::CTRL | Qt::Key_R), std::nullopt, nullptr, true, &MainWindow::renumberRows, {Menu::Service}},
        {"InstrumentPort", u"Порт прибора…", u'о', {}, std::nullopt, nullptr, false, &MainWindow::chooseInstrumentPort, {Menu::Service}},
        {"N24", u"Помощь", u'П', QKeySequence(Qt::Key_F1), ToolbarImage::Help, "ToolButton6", false, &MainWindow::showHelp, {Menu::Help}},
        {"N25", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::Help}},
        {"N26", u"О программе", u'О', {}, std::nullopt, nullptr, false, &MainWindow::showAbout, {Menu::Help}},
        // The grids' context menu: always enabled, as the grids show only while a table is open.
        {"N22", u"Печать", u'П', {}, std::nullopt, nullptr, false, &MainWindow::printReport, {Menu::Context}},
        {"N16", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::Context}},
        {"N17", u"Задать цвет", u'З', {}, std::nullopt, nullptr, false, &MainWindow::chooseColumnColor, {Menu::Context}},
        {"N18", u"Убрать цвет", u'У', {}, std::nullopt, nullptr, false, &MainWindow::removeColumnColor, {Menu::Context}},
        {"N19", u"Убрать все цвета", u'с', {}, std::nullopt, nullptr, false, &MainWindow::removeAllColumnColors, {Menu::Context}},
        {"N38", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::Context}},
        {"N23", u"Выровнять столбцы", u'В', {}, std::nullopt, nullptr, false, &MainWindow::equalizeColumns, {Menu::Context}},
        {"N20", nullptr, 0, {}, std::nullopt, nullptr, false, nullptr, {Menu::Context}},
        {"N21", u"Удалить", u'д', {}, std::nullopt, nullptr, false, &MainWindow::deleteSelectedRows, {Menu::Context}},
    };
    // clang-format on

    QMenu* menus[] = {menuBar()->addMenu(withAccessLetter(QStringLiteral("Файл"), u'Ф')),
                      menuBar()->addMenu(withAccessLetter(QStringLiteral("Вид"), u'В')),
                      menuBar()->addMenu(withAccessLetter(QStringLiteral("Правка"), u'П')),
                      menuBar()->addMenu(withAccessLetter(QStringLiteral("Сервис"), u'С')),
                      menuBar()->addMenu(withAccessLetter(QStringLiteral("Справка"), u'р')),
                      new QMenu(this)};
    menus[static_cast<int>(Menu::Context)]->setObjectName(QStringLiteral("PopupMenu1"));
    auto* toolBar = addToolBar(QStringLiteral("ToolBar1"));
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    toolBar->setFixedHeight(kToolBarHeight);
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    std::vector<std::pair<const CommandSpec*, QAction*>> buttons;
    for (const CommandSpec& entry : kCommands) {
        QMenu* menu = menus[static_cast<int>(*entry.menus.begin())];
        QAction* action = entry.caption
                              ? menu->addAction(withAccessLetter(QString::fromUtf16(entry.caption), entry.accessLetter))
                              : menu->addSeparator();
        action->setObjectName(QString::fromLatin1(entry.objectName));
        m_commands[action->objectName()] = action;
        if (!entry.caption)
            continue;
        action->setShortcut(entry.shortcut);
        action->setProperty("needsTable", entry.needsTable);
        if (entry.image)
            action->setIcon(toolbarIcon(*entry.image));
        connect(action, &QAction::triggered, this, entry.handler);
        if (entry.toolButton)
            buttons.emplace_back(&entry, action);
    }
    buildRecentTables(menus[static_cast<int>(Menu::File)]);
    // Tool buttons show their images alone, so each tells its menu item and shortcut when pointed at;
    // they follow their menu item's enabling.
    for (const auto& [entry, action] : buttons) {
        toolBar->addAction(action);
        QString tip = QString::fromUtf16(entry->caption);
        if (!entry->shortcut.isEmpty())
            tip += QStringLiteral(" (") + entry->shortcut.toString(QKeySequence::NativeText) + QLatin1Char(')');
        // On the action: a button takes its action's tip again whenever the action changes.
        action->setToolTip(tip);
        if (QWidget* button = toolBar->widgetForAction(action))
            button->setObjectName(QString::fromLatin1(entry->toolButton));
    }
}

void MainWindow::buildRecentTables(QMenu* fileMenu)
{
    // Just before "Выход", behind a separator of their own.
    QAction* exit = command(QStringLiteral("N11"));
    m_recentSeparator = new QAction(this);
    m_recentSeparator->setSeparator(true);
    m_recentSeparator->setObjectName(QStringLiteral("RecentTablesSeparator"));
    fileMenu->insertAction(exit, m_recentSeparator);
    for (int i = 1; i <= kRecentTableCount; ++i) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("RecentTable%1").arg(i));
        fileMenu->insertAction(exit, action);
        connect(action, &QAction::triggered, this, [this, action] {
            const QString path = action->data().toString();
            if (!openTablePath(path))
                updateRecentTables();
        });
        m_recentTables.push_back(action);
    }
    updateRecentTables();
}

void MainWindow::rememberTable(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = m_settings.recentTables();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    m_settings.setRecentTables(paths.mid(0, kRecentTableCount));
    updateRecentTables();
}

void MainWindow::updateRecentTables()
{
    QStringList present;
    for (const QString& path : m_settings.recentTables()) {
        if (QFileInfo(path).isFile() && !present.contains(path))
            present << path;
    }
    present = present.mid(0, kRecentTableCount);
    if (present != m_settings.recentTables())
        m_settings.setRecentTables(present);
    for (int i = 0; i < static_cast<int>(m_recentTables.size()); ++i) {
        QAction* action = m_recentTables[static_cast<std::size_t>(i)];
        const bool used = i < present.size();
        action->setVisible(used);
        if (!used)
            continue;
        const QString path = present[i];
        // "&1 objekt-7.db" with the folder beside it, so that two tables of one name tell apart.
        action->setText(QStringLiteral("&%1 %2  (%3)")
                            .arg(i + 1)
                            .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
        action->setData(path);
    }
    m_recentSeparator->setVisible(!present.isEmpty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened once the drop has ended, so that the source program is not kept waiting by a question.
    QTimer::singleShot(0, this, [this, path] { openTablePath(path); });
}

void MainWindow::buildPages()
{
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_ultrasonicModel = std::make_unique<view::MeasurementModel>(m_workspace, view::GridKind::Ultrasonic);
    m_pullOffModel = std::make_unique<view::MeasurementModel>(m_workspace, view::GridKind::PullOff);
    m_ultrasonicGrid = new view::GridView(*m_ultrasonicModel);
    m_ultrasonicGrid->setObjectName(QStringLiteral("Grid1"));
    m_pullOffGrid = new view::GridView(*m_pullOffModel);
    m_pullOffGrid->setObjectName(QStringLiteral("Grid2"));
    m_ultrasonicFooter = new view::FooterLine(*m_ultrasonicGrid);
    m_pullOffFooter = new view::FooterLine(*m_pullOffGrid);
    const auto page = [](const QString& name, QWidget* grid, QWidget* footer) {
        auto* sheet = new QWidget;
        sheet->setObjectName(name);
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(grid);
        layout->addWidget(footer);
        return sheet;
    };
    m_pages->addTab(page(QStringLiteral("TabSheet1"), m_ultrasonicGrid, m_ultrasonicFooter),
                    table::pageTitle(table::RecordKind::Ultrasonic));
    m_pages->addTab(page(QStringLiteral("TabSheet2"), m_pullOffGrid, m_pullOffFooter),
                    table::pageTitle(table::RecordKind::PullOff));
    m_central = new QStackedWidget(this);
    m_noTablePanel = buildNoTablePanel();
    m_central->addWidget(m_noTablePanel);
    m_central->addWidget(m_pages);
    setCentralWidget(m_central);

    QMenu* context = findChild<QMenu*>(QStringLiteral("PopupMenu1"));
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid}) {
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this,
                [grid, context](const QPoint& at) { context->popup(grid->viewport()->mapToGlobal(at)); });
        connect(&grid->measurementModel(), &view::MeasurementModel::editStarted, this, [this] { updateUndoCommand(); });
        connect(&grid->measurementModel(), &view::MeasurementModel::editFailed, this,
                [this](const QString& message) { reportError(message); });
        connect(&grid->measurementModel(), &view::MeasurementModel::readOnlyEditRefused, this,
                &MainWindow::tellReadOnly);
        connect(grid, &view::GridView::selectionStatisticsChanged, this, [this, grid] { updateFooters(*grid); });
        connect(&grid->gridHeader(), &view::GridHeader::titleStateChanged, this,
                [this, grid](int section, view::TitleState state) { sortByTitle(*grid, section, state); });
    }
    connect(m_pages, &QTabWidget::currentChanged, this, &MainWindow::pageShown);
}

RecordKind MainWindow::pageOf(const view::GridView& grid) const
{
    return &grid == m_pullOffGrid ? RecordKind::PullOff : RecordKind::Ultrasonic;
}

view::FooterLine& MainWindow::footerOf(const view::GridView& grid) const
{
    return &grid == m_pullOffGrid ? *m_pullOffFooter : *m_ultrasonicFooter;
}

// ---- presentation -------------------------------------------------------------------------------

QAction* MainWindow::command(const QString& objectName) const
{
    const auto it = m_commands.find(objectName);
    return it == m_commands.end() ? nullptr : it->second;
}

view::GridView* MainWindow::activeGrid() const
{
    if (!m_workspace.isOpen() || m_central->currentWidget() != m_pages)
        return nullptr;
    return m_pages->currentIndex() == kPullOffPage ? m_pullOffGrid : m_ultrasonicGrid;
}

view::FooterLine* MainWindow::activeFooter() const
{
    const view::GridView* grid = activeGrid();
    if (!grid)
        return nullptr;
    return grid == m_pullOffGrid ? m_pullOffFooter : m_ultrasonicFooter;
}

void MainWindow::setTableCommandsEnabled(bool enabled)
{
    for (const auto& [name, action] : m_commands) {
        if (action->property("needsTable").toBool())
            action->setEnabled(enabled);
    }
    // The commands that change the table wait while it is open only for reading.
    for (const char* name : kWritingCommands) {
        if (const auto found = m_commands.find(QString::fromLatin1(name)); found != m_commands.end())
            found->second->setEnabled(enabled && !m_workspace.isReadOnly());
    }
    updateUndoCommand();
}

void MainWindow::updateUndoCommand()
{
    if (QAction* undo = command(QStringLiteral("Undo")))
        undo->setEnabled(m_workspace.canUndo());
}

void MainWindow::hidePages()
{
    m_central->setCurrentWidget(m_noTablePanel);
}

QWidget* MainWindow::buildNoTablePanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("NoTablePanel"));
    auto* text = new QLabel(kNoTableText, panel);
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setForegroundRole(QPalette::BrightText);
    auto* create = new QPushButton(kCreateButtonText, panel);
    create->setObjectName(QStringLiteral("NoTableCreate"));
    connect(create, &QPushButton::clicked, this, &MainWindow::createTable);
    auto* open = new QPushButton(kOpenButtonText, panel);
    open->setObjectName(QStringLiteral("NoTableOpen"));
    connect(open, &QPushButton::clicked, this, &MainWindow::openTable);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(create);
    buttons->addWidget(open);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(panel);
    layout->addStretch();
    layout->addWidget(text);
    layout->addLayout(buttons);
    layout->addStretch();
    return panel;
}

void MainWindow::showWorkspace()
{
    const auto page = m_workspace.page();
    if (!page) {
        showWhetherOpen();
        return;
    }
    // The title is the opening's to set; a table made by "Создать" keeps the one before.
    setPresentation(true, windowTitle());
    setTableCommandsEnabled(true);
    const bool pullOff = *page == RecordKind::PullOff;
    m_pages->setTabVisible(kUltrasonicPage, !pullOff);
    m_pages->setTabVisible(kPullOffPage, pullOff);
    {
        const QSignalBlocker quiet(m_pages);
        m_pages->setCurrentIndex(pullOff ? kPullOffPage : kUltrasonicPage);
    }
    m_central->setCurrentWidget(m_pages);
    reloadGrids();
}

void MainWindow::pageShown(int index)
{
    m_workspace.showPage(index == kPullOffPage ? RecordKind::PullOff : RecordKind::Ultrasonic);
    reloadGrids();
}

void MainWindow::setPresentation(bool tableOpen, const QString& title)
{
    // The no-table background is visibly darker than the table-open one.
    QPalette p = palette();
    p.setColor(QPalette::Window, QApplication::palette().color(tableOpen ? QPalette::Button : QPalette::Dark));
    setPalette(p);
    setAutoFillBackground(true);
    setWindowTitle(title);
}

void MainWindow::reloadGrids()
{
    // Only the page in view holds the rows; the hidden page's grid is emptied rather than walked.
    const view::GridView* shown = m_workspace.isOpen() ? activeGrid() : nullptr;
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid}) {
        if (grid == shown)
            grid->measurementModel().reload();
        else
            grid->measurementModel().clear();
    }
    showSortMarks();
    updateFooters();
}

void MainWindow::updateFooters()
{
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid})
        updateFooters(*grid);
}

void MainWindow::updateFooters(view::GridView& grid)
{
    const auto triple = [](double low, double mean, double high) {
        return table::numberText(low) + QLatin1Char('/') + table::numberText(mean) + QLatin1Char('/') +
               table::numberText(high);
    };
    // Two or more marked rows: their values as they were marked; else the whole table's.
    const table::TableStatistics s =
        grid.selectedRowCount() < 2 ? m_workspace.statistics() : table::selectionStatistics(grid.capturedValues());
    view::FooterLine& footer = footerOf(grid);
    footer.setText(table::Field::P, triple(s.minP, s.meanP, s.maxP));
    footer.setText(table::Field::R, triple(s.minR, s.meanR, s.maxR));
    footer.setText(table::Field::N, QString::number(grid.measurementModel().rowCount()));
    const QString over = grid.selectedRowCount() < 2 ? kFiguresOfPage : kFiguresOfMarkedRows;
    footer.setHint(table::Field::P, kFiguresHint + over);
    footer.setHint(table::Field::R, kFiguresHint + over);
    footer.setHint(table::Field::N, kRowCountHint);
}

void MainWindow::commitEdits()
{
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid})
        grid->commitEdit();
}

void MainWindow::reportError(const QString& text)
{
    m_dialogs.failure(this, applicationTitle(), text);
}

// ---- file commands ------------------------------------------------------------------------------

bool MainWindow::receiveFromInstrument()
{
    TransferDialog dialog(m_transfer.session(), m_dialogs, this);
    const bool ok = dialog.exec() == QDialog::Accepted;
    // The device type of the instrument that answered, also when it was refused; a transfer that never
    // heard an instrument leaves the device type of the data in hand as it was.
    if (m_transfer.headerReceived())
        m_workspace.instrumentAnswered(m_transfer.received().header.deviceType);
    return ok;
}

void MainWindow::createTable()
{
    if (m_workspace.isOpen() && !closeTableUnlessCancelled())
        return;
    const QString path = m_dialogs.saveFileName(this, m_lastDirectory, kTableFilter, kTableSuffix);
    if (path.isEmpty() || !confirmReplacing(path))
        return;
    // A table that cannot be replaced is refused before the instrument is asked for its memory.
    try {
        workspace::Workspace::checkCreatable(path);
    } catch (const files::UserError& e) {
        reportError(e);
        return;
    }
    if (!receiveFromInstrument())
        return;
    try {
        m_workspace.createFromTransfer(path, m_transfer.received(), workspace::KeepTransfer::Yes);
        m_transferKeeper.keep(path, m_transfer.received());
        showWorkspace();
        loadGridLayouts();
        rememberTable(path);
    } catch (const files::UserError& e) {
        reportError(e);
        showWhetherOpen();
    }
}

bool MainWindow::confirmReplacing(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    return m_dialogs.askYesNo(this, applicationTitle(),
                              QStringLiteral("Файл %1 уже существует.\nЗаменить его новой таблицей? Прежнюю таблицу "
                                             "вернет команда \"Правка → Отменить\".")
                                  .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::createFromSavedTransfer()
{
    if (m_workspace.isOpen() && !closeTableUnlessCancelled())
        return;
    // Where the transfers into the tables of the last folder are kept, when there are any.
    const QString archive = QDir(m_lastDirectory).filePath(transfer::transferArchiveFolderName());
    const QString source = m_dialogs.openFileName(this, QFileInfo(archive).isDir() ? archive : m_lastDirectory,
                                                  kSavedTransferFilter, kSavedTransferSuffix);
    if (source.isEmpty())
        return;
    try {
        const transfer::SavedTransfer saved = workspace::Workspace::readSavedTransfer(source);
        const QString path = m_dialogs.saveFileName(this, m_lastDirectory, kTableFilter, kTableSuffix);
        if (path.isEmpty() || !confirmReplacing(path))
            return;
        workspace::Workspace::checkCreatable(path);
        if (!saved.checksummed)
            m_dialogs.message(this, UserDialogs::Icon::Information, applicationTitle(),
                              workspace::Workspace::uncheckedTransferWarning(source));
        m_workspace.createFromTransfer(path, saved.transfer, workspace::KeepTransfer::No);
        showWorkspace();
        loadGridLayouts();
        rememberTable(path);
    } catch (const files::UserError& e) {
        reportError(e);
        showWhetherOpen();
    }
}

void MainWindow::openTable()
{
    const QString path = m_dialogs.openFileName(this, m_lastDirectory, kOpenFilter, kTableSuffix);
    if (path.isEmpty())
        return;
    if (m_workspace.isOpen() && !closeTableUnlessCancelled())
        return;
    m_lastDirectory = QFileInfo(path).absolutePath();
    openTablePath(path);
}

void MainWindow::tellReadOnly(const QString& reason)
{
    // Once for each opening: after that the title's "[только чтение]" says it.
    if (m_toldReadOnly)
        return;
    m_toldReadOnly = true;
    m_dialogs.message(this, UserDialogs::Icon::Information, applicationTitle(),
                      QStringLiteral("Таблица открыта только для чтения: изменить ее нельзя."), reason);
}

bool MainWindow::openTablePath(const QString& path)
{
    if (m_workspace.isOpen() && !closeTableUnlessCancelled())
        return false;
    m_toldReadOnly = false;
    if (!m_workspace.open(path)) {
        m_dialogs.failure(this, workspace::Workspace::openFailureCaption(), m_workspace.openFailure());
        showWhetherOpen();
        return false;
    }
    const QString readOnlyMark = m_workspace.isReadOnly() ? kReadOnlyMark : QString();
    setWindowTitle(QFileInfo(path).completeBaseName() + readOnlyMark + kTitleSeparator + applicationTitle());
    showWorkspace();
    loadGridLayouts();
    rememberTable(path);
    return true;
}

void MainWindow::appendTable()
{
    if (!m_workspace.isOpen() || m_workspace.isReadOnly())
        return;
    if (!receiveFromInstrument())
        return;
    try {
        const QStringList messages = m_workspace.append(m_transfer.received(), workspace::KeepTransfer::Yes);
        m_transferKeeper.keep(m_workspace.path(), m_transfer.received());
        for (const QString& message : messages)
            m_dialogs.message(this, UserDialogs::Icon::Information, decode::DecodeResult::messageCaption(), message);
    } catch (const files::UserError& e) {
        reportError(e);
    }
    showWorkspace();
}

void MainWindow::saveTable()
{
    if (!m_workspace.isOpen() || m_workspace.isReadOnly())
        return;
    try {
        commitEdits();
        m_workspace.save();
    } catch (const files::UserError& e) {
        reportError(e);
    }
    // A reopen that failed left the table closed: the window says so rather than show its rows.
    showWorkspace();
}

void MainWindow::closeTable()
{
    (void)closeTableUnlessCancelled();
}

bool MainWindow::closeTableUnlessCancelled()
{
    if (!m_workspace.isOpen())
        return true;
    saveGridLayouts();
    try {
        UserDialogs::Answer answer = UserDialogs::Answer::No;
        if (m_workspace.isModified()) {
            commitEdits();
            answer = m_dialogs.askYesNoCancel(this, applicationTitle(), kSaveQuestion);
        }
        switch (answer) {
        case UserDialogs::Answer::Cancel:
            return false;
        case UserDialogs::Answer::Yes:
            saveTable();
            m_workspace.close(false);
            break;
        case UserDialogs::Answer::No:
            // The file goes back to what it was at the last open, save or command.
            m_workspace.closeDiscardingEdits();
            break;
        }
    } catch (const files::UserError& e) {
        reportError(e);
        m_workspace.close(false);
    }
    showWhetherOpen();
    return true;
}

void MainWindow::undoLastCommand()
{
    if (!m_workspace.canUndo())
        return;
    commitEdits();
    try {
        m_workspace.undo();
    } catch (const files::UserError& e) {
        reportError(e);
    }
    showWorkspace();
}

void MainWindow::showWhetherOpen()
{
    if (m_workspace.isOpen())
        return;
    reloadGrids();
    setTableCommandsEnabled(false);
    hidePages();
    setPresentation(false, applicationTitle());
}

void MainWindow::exitProgram()
{
    // Ends at once, Default_dir untouched; but edits not yet saved (an editor still open among them)
    // get the question that closing the window asks, rather than being lost without a word.
    if (m_workspace.isOpen() && m_workspace.isModified() && !closeTableUnlessCancelled())
        return;
    m_exiting = true;
    // The undo copy belongs to this run: nothing after it could put it back knowingly.
    m_workspace.discardUndo();
    QCoreApplication::exit(0);
}

void MainWindow::chooseInstrumentPort()
{
    PortDialog dialog(m_settings, this);
    if (dialog.exec() == QDialog::Accepted)
        Q_EMIT portChoiceChanged();
}

void MainWindow::showHelp()
{
    HelpWindow::open(this);
}

void MainWindow::showAbout()
{
    m_about->exec();
}

// ---- layouts and colours -----------------------------------------------------------------------

void MainWindow::loadGridLayouts()
{
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid}) {
        const auto stored = view::GridLayout::fromText(m_settings.gridLayout(layoutNameOf(*grid)));
        if (stored) {
            grid->applyLayout(*stored);
            continue;
        }
        // None stored yet, or one that cannot be read: columns sized to their contents, stored at once.
        grid->fitColumnsToContents();
        m_settings.setGridLayout(layoutNameOf(*grid), grid->layout().toText());
    }
    // A sort mark stored with a layout belongs to another table: the titles mark the order this one has.
    showSortMarks();
}

void MainWindow::saveGridLayouts()
{
    for (const view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid})
        m_settings.setGridLayout(layoutNameOf(*grid), grid->layout().toText());
}

QString MainWindow::layoutNameOf(const view::GridView& grid) const
{
    return &grid == m_pullOffGrid ? kPullOffLayout : kUltrasonicLayout;
}

void MainWindow::equalizeColumns()
{
    if (view::GridView* grid = activeGrid())
        grid->equalizeColumns();
}

void MainWindow::chooseColumnColor()
{
    view::GridView* grid = activeGrid();
    // Without a current column there is nothing to colour, so no dialog either.
    if (!grid || !grid->currentIndex().isValid())
        return;
    // On the column's own colour, or on white: a first OK never blacks a column out.
    const QColor current = grid->currentColumnColor();
    const QColor chosen = m_dialogs.chooseColor(this, current.isValid() ? current : QColor(Qt::white));
    if (!chosen.isValid())
        return;
    grid->setCurrentColumnColor(chosen);
}

void MainWindow::removeColumnColor()
{
    if (view::GridView* grid = activeGrid())
        grid->setCurrentColumnColor({});
}

void MainWindow::removeAllColumnColors()
{
    if (view::GridView* grid = activeGrid())
        grid->clearColumnColors();
}

// ---- sorting and row operations -----------------------------------------------------------------

void MainWindow::showSortMarks()
{
    for (view::GridView* grid : {m_ultrasonicGrid, m_pullOffGrid}) {
        view::GridHeader& titles = grid->gridHeader();
        titles.clearTitleStates();
        const auto mark = m_workspace.sortMark(pageOf(*grid));
        const int column = mark ? grid->measurementModel().columnOf(mark->field) : -1;
        // The arrow up marks the descending order, as a click gives it.
        if (column >= 0)
            titles.setTitleState(column, mark->descending ? view::TitleState::SortedUp : view::TitleState::SortedDown);
    }
}

void MainWindow::removeSorting()
{
    m_workspace.resetSorting();
    reloadGrids();
}

void MainWindow::sortByTitle(view::GridView& grid, int section, view::TitleState state)
{
    if (!m_workspace.isOpen())
        return;
    commitEdits();
    std::optional<QString> failure;
    try {
        if (state == view::TitleState::SortedNone) {
            m_workspace.resetSorting();
        } else {
            m_workspace.sortBy(pageOf(grid), grid.measurementModel().column(section).field,
                               state == view::TitleState::SortedUp);
        }
    } catch (const files::UserError& e) {
        // The rows are in file order then, and the workspace tells no mark.
        failure = e.message();
    }
    // The rows are shown before any message, so that the box stands over the table, not a blank grid.
    reloadGrids();
    if (failure)
        reportError(*failure);
}

void MainWindow::deleteSelectedRows()
{
    view::GridView* grid = activeGrid();
    if (!grid || m_workspace.isReadOnly())
        return;
    const std::vector<std::uint32_t> slots = grid->selectedSlots();
    // No marked row and no current row: nothing to delete, nothing rewritten.
    if (slots.empty())
        return;
    commitEdits();
    try {
        m_workspace.deleteRows(slots);
    } catch (const files::UserError& e) {
        reportError(e);
    }
    showWorkspace();
}

void MainWindow::renumberRows()
{
    if (!m_workspace.isOpen() || m_workspace.isReadOnly())
        return;
    commitEdits();
    try {
        // In the order the page shows its rows, as the grid already holds them.
        view::GridView* grid = activeGrid();
        m_workspace.renumber(grid ? grid->measurementModel().shownSlots() : std::span<const std::uint32_t>());
    } catch (const files::UserError& e) {
        reportError(e);
    }
    showWorkspace();
}

// ---- reports ------------------------------------------------------------------------------------

void MainWindow::previewReport()
{
    if (!activeGrid())
        return;
    commitEdits();
    // The preview composes each page as it comes into view: the first page shows at once, whatever
    // the page's length, and no composing is left waiting behind a full progress bar.
    const auto report = m_workspace.reportPages();
    if (report)
        m_dialogs.previewReport(this, *report);
}

void MainWindow::printReport()
{
    if (!activeGrid())
        return;
    commitEdits();
    // The report reads through its own view of the rows, so the grids go on painting meanwhile.
    const auto report = m_workspace.reportPages();
    // Without a printer nothing more happens.
    if (!report || QPrinterInfo::availablePrinterNames().isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    // The dialog opens on the report's paper and orientation; what the chosen printer takes is checked
    // once more before anything is printed.
    (void)printing::preparePrinter(printer, report->layout());
    if (!m_dialogs.choosePrinter(this, printer))
        return;
    // Pages are composed as they are printed, so a report of any length holds one page at a time.
    ReportProgress progress(this);
    if (const auto refused = printing::printReport(*report, printer, progress.callback()))
        reportError(*refused);
}

// ---- export -------------------------------------------------------------------------------------

void MainWindow::exportToExcel()
{
    if (!m_workspace.isOpen() || !activeGrid())
        return;
    const QString path = m_dialogs.saveFileName(this, m_exportDirectory, kWorkbookFilter, kWorkbookSuffix);
    if (path.isEmpty())
        return;
    commitEdits();
    // The rows go out in file order, and the grids stay that way afterwards.
    try {
        const BusyCursor busy;
        m_workspace.exportPage(path);
    } catch (const files::UserError& e) {
        reloadGrids();
        reportError(e);
        return;
    }
    reloadGrids();
    m_dialogs.message(this, UserDialogs::Icon::Information, output::exportCaption(),
                      output::exportSuccessMessage(path));
}

void MainWindow::showCharts()
{
    view::GridView* grid = activeGrid();
    if (!grid)
        return;
    commitEdits();
    // Two or more marked rows: theirs, as the footers take them; else the whole page.
    const std::vector<std::uint32_t> marked =
        grid->selectedRowCount() < 2 ? std::vector<std::uint32_t>() : grid->selectedSlots();
    output::ChartData data =
        output::chartDataOf(m_workspace.pageRows(), m_workspace.page().value_or(RecordKind::Ultrasonic), marked);
    data.source = QFileInfo(m_workspace.path()).fileName();
    m_dialogs.showCharts(this, std::move(data), m_exportDirectory);
}

void MainWindow::exportToCsv()
{
    exportShownPage(kCsvFilter, kCsvSuffix, kCsvCaption,
                    [this](const QString& path) { m_workspace.exportPageCsv(path); });
}

void MainWindow::exportToXlsx()
{
    exportShownPage(kXlsxFilter, kXlsxSuffix, kXlsxCaption,
                    [this](const QString& path) { m_workspace.exportPageXlsx(path); });
}

void MainWindow::exportShownPage(const QString& filter, const QString& suffix, const QString& caption,
                                 const std::function<void(const QString&)>& write)
{
    if (!m_workspace.isOpen() || !activeGrid())
        return;
    const QString path = m_dialogs.saveFileName(this, m_exportDirectory, filter, suffix);
    if (path.isEmpty())
        return;
    commitEdits();
    try {
        const BusyCursor busy;
        write(path);
    } catch (const files::UserError& e) {
        reportError(e);
        return;
    }
    m_dialogs.message(this, UserDialogs::Icon::Information, caption, output::exportSuccessMessage(path));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_exiting) {
        m_settings.setDefaultDirectory(m_lastDirectory);
        // "Отмена" to saving keeps the window and its table.
        if (!closeTableUnlessCancelled()) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

} // namespace darni::app
