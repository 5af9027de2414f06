#pragma once

#include <QIcon>

// Icons that say what their command does, drawn by us for desktops whose icon theme
// lacks them (a theme's own icon is taken first). Each comes at 16 and 32 pixels.
enum class TDrawnIcon { SortAscending, SortDescending, Printer, PageSetup, Envelope };

QIcon DrawnIcon(TDrawnIcon kind);

// The theme's icon of that name, else the drawn one.
QIcon ThemeOrDrawnIcon(const char* themeName, TDrawnIcon kind);
