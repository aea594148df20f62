// The program's main window: the menus, the tool bar, the two pages with their grids, the file
// commands over the table document, and the window's two states (no table, table open).
#pragma once

#include "settingsstore.h"
#include "userdialogs.h"

#include "decode/deviceimage.h"
#include "link/deviceheader.h"
#include "link/receivebuffer.h"
#include "link/serialport.h"
#include "link/transfersession.h"
#include "output/report/pagecomposer.h"
#include "table/tabledocument.h"
#include "table/tablestatistics.h"
#include "view/footerline.h"
#include "view/gridview.h"

#include <QMainWindow>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QAction;
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
    void setAnswerTimeout(int milliseconds) { m_session.setAnswerTimeout(milliseconds); }

    table::TableDocument& document() { return m_document; }
    const table::TableStatistics& statistics() const { return m_statistics; }
    QString lastDirectory() const { return m_lastDirectory; }
    QAction* command(const QString& objectName) const;
    view::GridView* activeGrid() const;
    view::FooterLine* activeFooter() const;

    // The commands, as the menus and tool buttons run them.
    void createTable();
    void openTable();
    void appendTable();
    void saveTable();
    void closeTable();
    void exitProgram();
    void equalizeColumns();
    void chooseColumnColor();
    void removeColumnColor();
    void removeAllColumnColors();
    void removeSorting();
    void deleteSelectedRows();
    void renumberRows();
    void exportToExcel();
    void previewReport();
    void printReport();
    void showHelp();
    void showAbout();
    // "Open_DB": opens a table file; false (after telling the user) when it cannot be opened.
    bool openTablePath(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct CommandSpec;
    void buildCommands();
    void buildPages();
    void setTableCommandsEnabled(bool enabled);
    void hidePages();
    void showFittingPage();
    void pageShown(int index);
    void setPresentation(bool tableOpen, const QString& title);
    void showWhetherOpen();
    void recomputeStatistics();
    void reloadGrids();
    void updateFooters();
    void updateFooters(view::GridView& grid);
    void commitEdits();
    bool receiveFromInstrument();
    // Keeps the memory just received beside the table that could not take it; the sentence says where.
    QString keepReceivedTransfer(const QString& tablePath);
    const QString& sortTagOf(const view::GridView& grid) const;
    view::FooterLine& footerOf(const view::GridView& grid) const;
    QString layoutNameOf(const view::GridView& grid) const;
    void loadGridLayouts();
    void saveGridLayouts();
    void resetSorting(view::GridView& grid, const QString& tag);
    void resetSorting(view::GridView& grid);
    void sortByTitle(view::GridView& grid, int section, view::TitleState state);
    std::optional<output::report::ComposedReport> composeShownReport();
    void reportError(const QString& text);

    UserDialogs& m_dialogs;
    SettingsStore& m_settings;
    link::ReceiveBuffer m_buffer;
    link::DeviceHeader m_header;
    decode::DeviceImage m_image;
    link::TransferSession m_session;
    table::TableDocument m_document;
    table::TableStatistics m_statistics;
    QString m_lastDirectory;
    QString m_exportDirectory; // the export's dialog keeps the folder the program started with
    bool m_exiting = false;
    QColor m_lastColor = Qt::black; // the colour dialog opens on the colour last chosen in it

    std::map<QString, QAction*> m_commands;
    std::vector<QWidget*> m_toolButtons; // owned by the tool bar
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
