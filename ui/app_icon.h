// The program's icon, the SVG that the desktop entry names too.
#pragma once

#include <QIcon>

namespace korvel {

// Drawn from the SVG at the usual icon sizes; null when it cannot be read.
QIcon KorvelIcon();

}  // namespace korvel
