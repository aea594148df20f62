// The progress of composing a report.
#include "reportprogress.h"

namespace darni::app {

namespace {
// Work that ends sooner than this shows no progress window.
constexpr int kProgressDelayMs = 500;
} // namespace

ReportProgress::ReportProgress(QWidget* parent)
    : m_dialog(QStringLiteral("Формирование отчета…"), QStringLiteral("Отмена"), 0, 0, parent)
{
    m_dialog.setWindowTitle(QStringLiteral("Формирование отчета"));
    m_dialog.setWindowModality(Qt::WindowModal);
    m_dialog.setMinimumDuration(kProgressDelayMs);
}

std::function<bool(int, int)> ReportProgress::callback()
{
    return [this](int done, int total) {
        m_dialog.setMaximum(total);
        m_dialog.setValue(done);
        return !m_dialog.wasCanceled();
    };
}

} // namespace darni::app
