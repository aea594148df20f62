// The program's application object.
#include "guardedapplication.h"

#include <QtDebug>

#include <exception>
#include <new>

namespace darni::app {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        reportFailure(QStringLiteral("Недостаточно памяти: команда прервана."));
    } catch (const std::exception& e) {
        reportFailure(QStringLiteral("Команда прервана: %1").arg(QString::fromUtf8(e.what())));
    }
    return false;
}

void GuardedApplication::reportFailure(const QString& text)
{
    qCritical() << "escaped failure:" << text;
    if (m_report)
        m_report(text);
}

} // namespace darni::app
