// The small pictures of the windows, drawn at run time on a transparent
// background (no image files to ship).
#pragma once

#include <QPixmap>

// 32 x 32: a screwdriver and a wrench crossed.
QPixmap FiguraFerramentas();
// 24 x 24: a green check mark.
QPixmap FiguraConfirmar();
// 24 x 24: a red cross.
QPixmap FiguraCancelar();
