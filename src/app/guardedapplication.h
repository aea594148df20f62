// The program's application object: an exception that escapes a command reaches the user as a
// message instead of ending the program (Qt's event loop cannot carry exceptions through it).
#pragma once

#include <QApplication>

#include <functional>

namespace darni::app {

class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int& argc, char** argv);

    // Shows the sentence for an escaped failure; until it is set, the failure is only logged.
    void setFailureReporter(std::function<void(const QString&)> report) { m_report = std::move(report); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void reportFailure(const QString& text);

    std::function<void(const QString&)> m_report;
};

} // namespace darni::app
