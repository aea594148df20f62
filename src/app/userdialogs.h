// Every question, message, file dialog and colour chooser the program shows goes through here, so
// that tests can answer them without a screen.
#pragma once

#include <QColor>
#include <QString>

class QPrinter;
class QWidget;

namespace darni::output {
struct ChartData;
}
namespace darni::output::report {
class PageByPageReport;
}

namespace darni::app {

class UserDialogs
{
public:
    enum class Icon { Information, Question, Error };
    enum class Answer { Yes, No, Cancel };

    virtual ~UserDialogs() = default;
    // An empty text when cancelled. `filter` is "Description|*.ext".
    virtual QString saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    virtual QString openFileName(QWidget* parent, const QString& directory, const QString& filter,
                                 const QString& defaultSuffix) = 0;
    void message(QWidget* parent, Icon icon, const QString& caption, const QString& text)
    {
        message(parent, icon, caption, text, {});
    }
    // `help`, when there is any, stands under the text: what caused it and what to do.
    virtual void message(QWidget* parent, Icon icon, const QString& caption, const QString& text,
                         const QString& help) = 0;
    // Every failure a user reads, from any window, goes through here: an error box whose text ends as a
    // sentence (a full stop added after a text that ends in a letter or a digit; "!" and "." stay).
    void failure(QWidget* parent, const QString& caption, const QString& text, const QString& help = {});
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // "Да", "Нет" and "Отмена"; closing the box is Cancel.
    virtual Answer askYesNoCancel(QWidget* parent, const QString& caption, const QString& text) = 0;
    // An invalid colour when cancelled.
    virtual QColor chooseColor(QWidget* parent, const QColor& initial) = 0;
    // The print dialog (copies, collate, pages, printer) for a printer about to print; false when
    // the user cancels.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // The modal preview of a report, composed page by page as it is shown; it can also print it.
    virtual void previewReport(QWidget* parent, const output::report::PageByPageReport& report) = 0;
    // The modal charts window; it saves them into files chosen starting in `directory`.
    virtual void showCharts(QWidget* parent, const output::ChartData& data, const QString& directory) = 0;
};

// The real dialogs of the platform, through Qt.
class QtUserDialogs : public UserDialogs
{
public:
    QString saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                         const QString& defaultSuffix) override;
    QString openFileName(QWidget* parent, const QString& directory, const QString& filter,
                         const QString& defaultSuffix) override;
    using UserDialogs::message;
    void message(QWidget* parent, Icon icon, const QString& caption, const QString& text, const QString& help) override;
    bool askYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    Answer askYesNoCancel(QWidget* parent, const QString& caption, const QString& text) override;
    QColor chooseColor(QWidget* parent, const QColor& initial) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    void previewReport(QWidget* parent, const output::report::PageByPageReport& report) override;
    void showCharts(QWidget* parent, const output::ChartData& data, const QString& directory) override;
};

} // namespace darni::app
