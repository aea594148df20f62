// "Предварительный просмотр": the pages of a report, composed as they come into view, with a choice of
// zoom, printing through the print dialog, help and close — and nothing else (no opening, saving or
// searching of reports).
#pragma once

#include "output/report/pagecomposer.h"

#include <QDialog>

class QComboBox;

namespace darni::app {

class ReportPageView;
class UserDialogs;

class ReportPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    static QString caption(); // "Предварительный просмотр"

    // The report outlives the dialog.
    ReportPreviewDialog(const output::report::PageByPageReport& report, UserDialogs& dialogs,
                        QWidget* parent = nullptr);
    ReportPageView& pages() const { return *m_view; }
    ~ReportPreviewDialog() override;

private:
    void zoomChosen(int index);
    void print();
    void showHelp();

    const output::report::PageByPageReport& m_report;
    UserDialogs& m_dialogs;
    ReportPageView* m_view = nullptr;
    QComboBox* m_zoom = nullptr;
};

} // namespace darni::app
