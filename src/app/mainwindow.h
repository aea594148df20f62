// The program's main window: the menus, the tool bar, the two pages with their grids, and the window's
// two states (no table, table open). It asks the user and shows the workspace, whose commands do the
// work.
#pragma once

#include "settingsstore.h"
#include "transferkeeper.h"
#include "userdialogs.h"

#include "files/usererror.h"
#include "link/serialport.h"
#include "link/transferjob.h"
#include "output/report/pagecomposer.h"
#include "table/tablestatistics.h"
#include "transfer/transfer.h"
#include "view/footerline.h"
#include "view/gridview.h"
#include "workspace/workspace.h"

#include <QMainWindow>

#include <functional>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QStackedWidget;
class QTabWidget;

namespace darni::app {

class AboutBox;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static QString applicationTitle(); // "ОРНАК - ТР5"

    // The dialogs, settings and serial port outlive the window.
    MainWindow(UserDialogs& dialogs, SettingsStore& settings, link::SerialPort& port, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Tests shorten the wait for the instrument; users cannot.
    void setAnswerTimeout(int milliseconds) { m_transfer.setAnswerTimeout(milliseconds); }

    workspace::Workspace& workspace() { return m_workspace; }
    TransferKeeper& transferKeeper() { return m_transferKeeper; }
    QString lastDirectory() const { return m_lastDirectory; }
    QAction* command(const QString& objectName) const;
    view::GridView* activeGrid() const;
    view::FooterLine* activeFooter() const;

    // The commands, as the menus and tool buttons run them.
    void createTable();
    void openTable();
    // Asks before a new table replaces an existing file; true when there is none or the user agrees.
    bool confirmReplacing(const QString& path);
    void createFromSavedTransfer();
    void appendTable();
    void saveTable();
    void closeTable();
    // Closes the table after asking about unsaved changes; false when the user chose "Отмена".
    bool closeTableUnlessCancelled();
    void undoLastCommand();
    void exitProgram();
    void equalizeColumns();
    void chooseColumnColor();
    void removeColumnColor();
    void removeAllColumnColors();
    void removeSorting();
    void deleteSelectedRows();
    void renumberRows();
    void exportToExcel();
    void exportToCsv();
    void exportToXlsx();
    void showCharts();
    void previewReport();
    void printReport();
    void chooseInstrumentPort();
    void showHelp();
    void showAbout();
    // "Open_DB": opens a table file; false (after telling the user) when it cannot be opened.
    bool openTablePath(const QString& path);
    // A failure that no command handled: the program's error box, as for the failures commands report.
    void showFailure(const QString& text) { reportError(text); }

Q_SIGNALS:
    // The user chose other devices for COM1 and COM2 (they are in the settings now).
    void portChoiceChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A table dropped on the window is opened as "Открыть" opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct CommandSpec;
    void buildCommands();
    // "Файл" lists the tables last opened or created, newest first; files gone since drop out.
    void buildRecentTables(QMenu* fileMenu);
    void rememberTable(const QString& path);
    // Typing into a table open only for reading: the user is told why, once an opening.
    void tellReadOnly(const QString& reason);
    void updateRecentTables();
    void buildPages();
    // What the window shows with no table open: a word on what to do and the two ways to begin.
    QWidget* buildNoTablePanel();
    void setTableCommandsEnabled(bool enabled);
    void updateUndoCommand();
    void hidePages();
    void pageShown(int index);
    void setPresentation(bool tableOpen, const QString& title);
    // Shows the workspace as it is: its page, rows and figures, or the no-table state.
    void showWorkspace();
    void showWhetherOpen();
    void reloadGrids();
    void updateFooters();
    void updateFooters(view::GridView& grid);
    void commitEdits();
    bool receiveFromInstrument();
    table::RecordKind pageOf(const view::GridView& grid) const;
    view::FooterLine& footerOf(const view::GridView& grid) const;
    QString layoutNameOf(const view::GridView& grid) const;
    void loadGridLayouts();
    void saveGridLayouts();
    // The column titles mark the order the workspace tells for each page.
    void showSortMarks();
    void sortByTitle(view::GridView& grid, int section, view::TitleState state);
    // Asks for a file and writes the page in view to it, in the order it shows, telling how it went.
    void exportShownPage(const QString& filter, const QString& suffix, const QString& caption,
                         const std::function<void(const QString&)>& write);
    // The one place that shows a failure: a box captioned with the program's title.
    void reportError(const QString& text);
    void reportError(const files::UserError& error) { reportError(error.message()); }

    std::vector<QAction*> m_recentTables;
    QAction* m_recentSeparator = nullptr;
    bool m_toldReadOnly = false;
    UserDialogs& m_dialogs;
    SettingsStore& m_settings;
    link::TransferJob m_transfer;
    workspace::Workspace m_workspace;
    TransferKeeper m_transferKeeper;
    QString m_lastDirectory;
    QString m_exportDirectory; // the export's dialog keeps the folder the program started with
    bool m_exiting = false;

    std::map<QString, QAction*> m_commands;
    QStackedWidget* m_central = nullptr; // the no-table panel or the pages
    QWidget* m_noTablePanel = nullptr;
    QTabWidget* m_pages = nullptr;
    std::unique_ptr<view::MeasurementModel> m_ultrasonicModel;
    std::unique_ptr<view::MeasurementModel> m_pullOffModel;
    view::GridView* m_ultrasonicGrid = nullptr;
    view::GridView* m_pullOffGrid = nullptr;
    view::FooterLine* m_ultrasonicFooter = nullptr;
    view::FooterLine* m_pullOffFooter = nullptr;
    AboutBox* m_about = nullptr;
};

} // namespace darni::app
