// The real dialogs of the platform, through Qt.
#include "userdialogs.h"

#include "chartswindow.h"
#include "reportpreviewdialog.h"

#include "table/cp1251.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace darni::app {

namespace {
constexpr char kFullStop = '.';
} // namespace

void UserDialogs::failure(QWidget* parent, const QString& caption, const QString& text, const QString& help)
{
    // The rule the program's messages always followed, on the character's code in code page 1251:
    // whatever sorts after the full stop (letters, digits, a closing quote) gets one.
    QString shown = text;
    const QByteArray last = table::cp1251::fromUnicode(text.right(1));
    if (!last.isEmpty() && static_cast<unsigned char>(last[0]) > static_cast<unsigned char>(kFullStop))
        shown += QLatin1Char(kFullStop);
    message(parent, Icon::Error, caption, shown, help);
}

namespace {
// "Файлы данных|*.db" becomes "Файлы данных (*.db)".
QString qtFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    return bar < 0 ? filter : filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + QLatin1Char(')');
}

QString fileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& directory, const QString& filter,
                 const QString& suffix)
{
    QFileDialog dialog(parent, QString(), directory, qtFilter(filter));
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(suffix);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Creating over a table replaces it without a question, as the program always did.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString QtUserDialogs::saveFileName(QWidget* parent, const QString& directory, const QString& filter,
                                    const QString& defaultSuffix)
{
    return fileName(parent, QFileDialog::AcceptSave, directory, filter, defaultSuffix);
}

QString QtUserDialogs::openFileName(QWidget* parent, const QString& directory, const QString& filter,
                                    const QString& defaultSuffix)
{
    return fileName(parent, QFileDialog::AcceptOpen, directory, filter, defaultSuffix);
}

void QtUserDialogs::message(QWidget* parent, Icon icon, const QString& caption, const QString& text,
                            const QString& help)
{
    const QMessageBox::Icon qtIcon = icon == Icon::Error      ? QMessageBox::Critical
                                     : icon == Icon::Question ? QMessageBox::Question
                                                              : QMessageBox::Information;
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, parent);
    box.setInformativeText(help);
    box.exec();
}

bool QtUserDialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

UserDialogs::Answer QtUserDialogs::askYesNoCancel(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QColor QtUserDialogs::chooseColor(QWidget* parent, const QColor& initial)
{
    return QColorDialog::getColor(initial, parent);
}

bool QtUserDialogs::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    printer.setCollateCopies(true);
    return dialog.exec() == QDialog::Accepted;
}

void QtUserDialogs::previewReport(QWidget* parent, const output::report::PageByPageReport& report)
{
    ReportPreviewDialog preview(report, *this, parent);
    preview.exec();
}

void QtUserDialogs::showCharts(QWidget* parent, const output::ChartData& data, const QString& directory)
{
    ChartsWindow window(data, *this, directory, parent);
    window.exec();
}

} // namespace darni::app
