// The program's own icon.
#include "applicationicon.h"

#include <QFile>

// A static library's resources reach the program only when named (outside any namespace).
static void loadApplicationIconImages()
{
#ifdef DARNI_APP_ICON
    Q_INIT_RESOURCE(appicon);
#endif
}

namespace darni::app {

namespace {
// The sizes the build renders from data/icons/darni.svg into the program's resources.
constexpr int kRenderedSizes[] = {16, 24, 32, 48, 64, 128, 256};
} // namespace

QIcon applicationIcon()
{
    loadApplicationIconImages();
    QIcon icon;
    for (const int size : kRenderedSizes) {
        const QString file = QStringLiteral(":/appicon/darni-%1.png").arg(size);
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace darni::app
