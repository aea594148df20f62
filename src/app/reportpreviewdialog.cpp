// The report preview window.
#include "reportpreviewdialog.h"

#include "helpwindow.h"
#include "mainwindow.h"
#include "userdialogs.h"

#include "reportpageview.h"
#include "reportprogress.h"

#include "printing/reportprinter.h"

#include <QComboBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QToolBar>
#include <QVBoxLayout>

#include <array>

namespace darni::app {

namespace {

constexpr QSize kInitialSize(900, 700);

// The zoom choices: a factor, or 0 for "fit the width" and −1 for "the whole page".
constexpr double kFitWidth = 0;
constexpr double kWholePage = -1;
struct ZoomChoice
{
    const char16_t* text;
    double factor;
};
constexpr std::array<ZoomChoice, 8> kZoomChoices{{
    {u"По ширине страницы", kFitWidth},
    {u"Страница целиком", kWholePage},
    {u"25%", 0.25},
    {u"50%", 0.5},
    {u"75%", 0.75},
    {u"100%", 1.0},
    {u"150%", 1.5},
    {u"200%", 2.0},
}};

} // namespace

QString ReportPreviewDialog::caption()
{
    return QStringLiteral("Предварительный просмотр");
}

ReportPreviewDialog::ReportPreviewDialog(const output::report::PageByPageReport& report, UserDialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent), m_report(report), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(caption());
    setModal(true);
    resize(kInitialSize);

    auto* tools = new QToolBar(this);
    m_zoom = new QComboBox(tools);
    m_zoom->setObjectName(QStringLiteral("ZoomBox"));
    for (const ZoomChoice& z : kZoomChoices)
        m_zoom->addItem(QString::fromUtf16(z.text));
    tools->addWidget(m_zoom);
    tools->addAction(QStringLiteral("Печать"), this, &ReportPreviewDialog::print)
        ->setObjectName(QStringLiteral("PreviewPrint"));
    tools->addAction(QStringLiteral("Помощь"), this, &ReportPreviewDialog::showHelp)
        ->setObjectName(QStringLiteral("PreviewHelp"));
    tools->addAction(QStringLiteral("Закрыть"), this, &QDialog::accept)->setObjectName(QStringLiteral("PreviewClose"));

    // The pages as a printer takes them: A4 in the report's orientation, measured from the paper's edge.
    m_view = new ReportPageView(report, this);
    connect(m_zoom, &QComboBox::currentIndexChanged, this, &ReportPreviewDialog::zoomChosen);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tools);
    layout->addWidget(m_view);
    m_view->fitToWidth();
    // The pages take the keyboard, so that Home, End and the page keys move through them.
    m_zoom->setFocusPolicy(Qt::ClickFocus);
    m_view->setFocus();
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

void ReportPreviewDialog::zoomChosen(int index)
{
    const double factor = kZoomChoices[static_cast<std::size_t>(index)].factor;
    if (factor == kFitWidth)
        m_view->fitToWidth();
    else if (factor == kWholePage)
        m_view->fitInView();
    else
        m_view->setZoomFactor(factor);
}

void ReportPreviewDialog::print()
{
    // Without a printer there is nothing to choose and nothing to print.
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    (void)printing::preparePrinter(printer, m_report.layout());
    if (!m_dialogs.choosePrinter(this, printer))
        return;
    ReportProgress progress(this);
    if (const auto refused = printing::printReport(m_report, printer, progress.callback()))
        m_dialogs.failure(this, MainWindow::applicationTitle(), *refused);
}

void ReportPreviewDialog::showHelp()
{
    HelpWindow::open(this);
}

} // namespace darni::app
