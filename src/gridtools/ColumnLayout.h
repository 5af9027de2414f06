#pragma once

#include <QString>

// A grid column's stored layout: "title",position,width,visible (the title double-quoted,
// inner quotes doubled), and back; false for a malformed value.
QString ColumnLayoutValue(const QString& title, int position, int width, bool visible);
bool ParseColumnLayoutValue(const QString& value, QString& title, int& position, int& width,
                            bool& visible);
