// Any text found as a stored grid layout is read within its bounds: the parser refuses it or gives a
// layout that writes back to a text it reads again as the same layout.
#include "view/gridlayout.h"

#include <QGuiApplication>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts need an application; no screen is needed. Made here, it is destroyed at exit before the
    // library state it was built on, as a static made before main would not be.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto layout = darni::view::GridLayout::fromText(text);
    if (!layout)
        return 0;
    const auto again = darni::view::GridLayout::fromText(layout->toText());
    if (!again || again->columns.size() != layout->columns.size())
        std::abort();
    return 0;
}
