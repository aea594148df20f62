// "Предварительный просмотр": the pages of a composed report, with a choice of zoom, printing through
// the print dialog, help and close — and nothing else (no opening, saving or searching of reports).
#pragma once

#include "output/report/pagecomposer.h"

#include <QDialog>

class QComboBox;
class QPrintPreviewWidget;
class QPrinter;

namespace darni::app {

class UserDialogs;

class ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    static QString caption(); // "Предварительный просмотр"

    ReportPreviewDialog(const output::report::ComposedReport& report, UserDialogs& dialogs,
                        QWidget* parent = nullptr);
    ~ReportPreviewDialog() override;

private:
    void zoomChosen(int index);
    void print();
    void showHelp();

    const output::report::ComposedReport& m_report;
    UserDialogs& m_dialogs;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget* m_view = nullptr;
    QComboBox* m_zoom = nullptr;
};

} // namespace darni::app
