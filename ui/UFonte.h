// The windows' font: Tahoma where installed, otherwise the closest installed
// sans-serif. Sizes are given in points as at 96 dots per inch and set in
// pixels, so that the text fits the windows' fixed pixel layout on any screen.
#pragma once

#include <QFont>

QFont FonteJanela(int pontos = 8, bool negrito = false, bool italico = false);
