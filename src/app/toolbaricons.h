// The images of the tool bar and menu: create, open, save, preview, print, help, delete rows. Breeze's
// images, bundled at build time at 16 to 64 pixels for light and dark palettes; where a build had none,
// the program's own 16 × 16 drawings, made as vectors so that they stay crisp at any screen scale.
#pragma once

#include <QIcon>

namespace darni::app {

enum class ToolbarImage { Create, Open, Save, Preview, Print, Help, DeleteRows };

QIcon toolbarIcon(ToolbarImage image);
// Whether this build carries Breeze's images.
bool toolbarIconsBundled();

} // namespace darni::app
