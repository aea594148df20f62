// The program's own icon (a concrete specimen between two transducers, with the pulse that crosses it),
// as its windows, the About box and the desktop show it.
#pragma once

#include <QIcon>

namespace darni::app {

// Every size the build rendered; an empty icon where the build had no renderer for it.
QIcon applicationIcon();

} // namespace darni::app
