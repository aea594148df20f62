// "Графики": the charts of the page in view.
#include "chartswindow.h"

#include "table/numbertext.h"

#include "userdialogs.h"

#include "charts/pagecharts.h"
#include "files/usererror.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QtCharts/QChartView>
#include <QVBoxLayout>

namespace darni::app {

namespace {
constexpr QSize kInitialSize(1000, 720);
const QString kTitle = QStringLiteral("Графики");
constexpr int kShownDecimals = 1;

QString spreadRow(const QString& what, const table::SeriesSpread& s)
{
    if (s.count == 0)
        return QStringLiteral("<tr><td>%1</td><td colspan=4>нет значений</td></tr>").arg(what);
    // Tenths, in the user's own notation, as engineers quote them.
    const QLocale locale = table::displayLocale();
    const auto tenths = [&locale](double v) { return locale.toString(v, 'f', kShownDecimals); };
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5 %</td></tr>")
        .arg(what, QString::number(s.count), tenths(s.mean), tenths(s.standardDeviation), tenths(s.variationPercent));
}
} // namespace

QString ChartsWindow::spreadText(const output::ChartData& data)
{
    return QStringLiteral("<table cellspacing=6><tr><th></th><th>Значений</th><th>Среднее</th>"
                          "<th>Стандартное отклонение</th><th>Коэффициент вариации</th></tr>") +
           spreadRow(data.firstTitle, data.firstSpread) + spreadRow(data.secondTitle, data.secondSpread) +
           QStringLiteral("</table>");
}

ChartsWindow::ChartsWindow(output::ChartData data, UserDialogs& dialogs, const QString& directory, QWidget* parent)
    : QDialog(parent), m_data(std::move(data)), m_dialogs(dialogs), m_directory(directory)
{
    setObjectName(QStringLiteral("ChartsWindow"));
    setWindowTitle(kTitle);
    resize(kInitialSize);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("ChartTabs"));
    for (const charts::PageChart kind : charts::kPageCharts) {
        auto* view = new QChartView(charts::buildChart(kind, m_data).release(), tabs); // the view owns the chart
        view->setRenderHint(QPainter::Antialiasing);
        tabs->addTab(view, charts::chartTitle(kind, m_data));
    }
    auto* spread = new QLabel(spreadText(m_data), this);
    spread->setObjectName(QStringLiteral("SpreadText"));
    spread->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* png = buttons->addButton(QStringLiteral("Сохранить PNG…"), QDialogButtonBox::ActionRole);
    png->setObjectName(QStringLiteral("SaveChartsPng"));
    QPushButton* pdf = buttons->addButton(QStringLiteral("Сохранить PDF…"), QDialogButtonBox::ActionRole);
    pdf->setObjectName(QStringLiteral("SaveChartsPdf"));
    connect(png, &QPushButton::clicked, this, [this] { save(QStringLiteral("png")); });
    connect(pdf, &QPushButton::clicked, this, [this] { save(QStringLiteral("pdf")); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(spread);
    layout->addWidget(buttons);
}

void ChartsWindow::save(const QString& suffix)
{
    const QString filter =
        suffix == QStringLiteral("png") ? QStringLiteral("Рисунок PNG|*.png") : QStringLiteral("Документ PDF|*.pdf");
    const QString path = m_dialogs.saveFileName(this, m_directory, filter, suffix);
    if (path.isEmpty())
        return;
    try {
        charts::saveCharts(m_data, path);
    } catch (const files::UserError& e) {
        m_dialogs.failure(this, kTitle, e.message());
    }
}

} // namespace darni::app
