// The progress of composing a report: a window that shows only when the work takes a while, titled in
// the program's words, with a button that stops it.
#pragma once

#include <QProgressDialog>

#include <functional>

namespace darni::app {

class ReportProgress
{
public:
    explicit ReportProgress(QWidget* parent);

    // Rows done and rows in all; false once the user has asked to stop.
    std::function<bool(int, int)> callback();

private:
    QProgressDialog m_dialog;
};

} // namespace darni::app
