// The program's help window.
#include "helpwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace darni::app {

namespace {
const QString kHelpFileName = QStringLiteral("darni-help.html");
const QString kBuiltInHelp = QStringLiteral("qrc:/help/darni-help.html");
const QString kInstalledHelpFolder = QStringLiteral("../share/darni/");
constexpr QSize kInitialSize(760, 600);
} // namespace

QString HelpWindow::helpFilePath()
{
    // Beside the program in a build tree; with the program's data once installed (bin/../share/darni).
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {programFolder.filePath(kHelpFileName), programFolder.filePath(kInstalledHelpFolder + kHelpFileName)}) {
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ОРНАК - ТР5: справка"));
    resize(kInitialSize);
    auto* browser = new QTextBrowser(this);
    browser->setOpenExternalLinks(false);
    const QString file = helpFilePath();
    browser->setSource(file.isEmpty() ? QUrl(kBuiltInHelp) : QUrl::fromLocalFile(file));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
}

void HelpWindow::open(QWidget* parent)
{
    auto* help = new HelpWindow(parent);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->show();
}

} // namespace darni::app
