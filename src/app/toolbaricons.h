// The program's own 16 × 16 images for the tool bar and menu, drawn as vectors so that they stay crisp
// at any screen scale: create, open, save, preview, print, help, delete rows.
#pragma once

#include <QIcon>

namespace darni::app {

enum class ToolbarImage { Create, Open, Save, Preview, Print, Help, DeleteRows };

QIcon toolbarIcon(ToolbarImage image);

} // namespace darni::app
