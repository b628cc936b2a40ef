#pragma once

#include <QIcon>

// The tab bar's glyphs, drawn rather than shipped: grey, blue when selected.
namespace gui::tab_icons {

QIcon safeguard();
QIcon restoration();
QIcon options();
QIcon cloud();
QIcon help();

} // namespace gui::tab_icons
