// Small pictures for the glyph buttons and the dialog images, drawn in code
// so the program needs no image files.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace korvel::glyphs {

QIcon CreateDataFiles();  // a page of data lines with a green arrow
QIcon Exit();             // an open door with a red arrow
QIcon Options();          // a ticked list
QIcon LoadConfiguration();
QIcon SaveConfiguration();
QIcon Lock();    // destination follows the source folder
QIcon Browse();  // a folder with an ellipsis
QIcon Stop();
QIcon Help();
QPixmap Processing(int size);  // the progress dialog's picture
QPixmap WebSite(int width, int height);

}  // namespace korvel::glyphs
