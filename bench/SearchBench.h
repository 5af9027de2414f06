#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class TURLViewForm;

struct TKeystrokeFigure {
    QByteArray name;
    double worstMs;  // the longest keystroke
    QString what;
};

// The longest keystroke of a text typed into the view's search box letter by letter, the
// last one replaced by a text no record holds.
double WorstKeystroke(TURLViewForm& view, const QString& typed, const QString& missing);

// The longest keystroke of each way of searching a view whose records are all in: a text
// no record holds in the view's order, then in the stored order and sorted by a column, by
// the beginning and anywhere, with two letters, and with the link check's columns shown. The view
// is left sorted, its link check columns shown, its search box empty and in its first mode.
QList<TKeystrokeFigure> MeasureSearchKeystrokes(TURLViewForm& view);
