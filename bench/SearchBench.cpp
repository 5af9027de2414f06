#include "SearchBench.h"

#include "gridtools/ExDBGrid.h"
#include "gridtools/FindDBGridCell.h"
#include "platform/db/DataSet.h"
#include "support/ViewParts.h"
#include "urls/URLViewFrm.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>

#include <algorithm>

double WorstKeystroke(TURLViewForm& view, const QString& typed, const QString& missing) {
    double worst = 0;
    for (int i = 1; i <= typed.size() + 1; ++i) {
        QElapsedTimer t;
        t.start();
        ViewFindBox(view).setText(i <= typed.size() ? typed.left(i) : missing);
        worst = std::max(worst, t.nsecsElapsed() / 1e6);
    }
    return worst;
}

namespace {

int column(TURLViewForm& view, const char* name) {
    return ViewData(view).FieldByName(QLatin1String(name)).Index();
}

// Begins with or anywhere, in the selected column or in every one shown; the box is
// emptied first, as a mode switched with text in the box searches at once.
void searchMode(TURLViewForm& view, bool anywhere, bool allColumns) {
    ViewFindBox(view).clear();
    ViewAction(view, "actFindAnywhere")->setChecked(anywhere);
    ViewAction(view, "actFindAllColumns")->setChecked(allColumns);
}

}  // namespace

QList<TKeystrokeFigure> MeasureSearchKeystrokes(TURLViewForm& view) {
    QList<TKeystrokeFigure> figures;
    TExDBGrid& grid = ViewGrid(view);
    // Two letters common in the catalogue's texts that no record holds side by side: every
    // place the rarer one stands is a candidate to check.
    const auto twoLetters = [&view]() {
        return std::max(WorstKeystroke(view, QStringLiteral("ae"), QStringLiteral("aeb")),
                        WorstKeystroke(view, QStringLiteral("оа"), QStringLiteral("оаб")));
    };

    // One keystroke, a text no record holds: by the address's beginning, then anywhere in
    // it and in every column shown, where the whole view is read each time.
    grid.SetSelectedIndex(column(view, "URL"));
    searchMode(view, false, false);
    figures.append({"find_nomatch_1m",
                    WorstKeystroke(view, QString(), QStringLiteral("нет-такого")),
                    QStringLiteral("the address's beginning")});
    for (const bool all : {false, true}) {
        for (const char* text : {"нет-такого", "no-such-text"}) {
            searchMode(view, true, all);
            const QByteArray name = QByteArray("find_anywhere_") + (all ? "all_" : "") +
                                    (text[0] == 'n' ? "ascii" : "cyrillic") + "_1m";
            figures.append({name, WorstKeystroke(view, QString(), QString::fromUtf8(text)),
                            all ? QStringLiteral("anywhere in every column")
                                : QStringLiteral("anywhere in the address")});
        }
    }

    ViewData(view).SetSort(QString());
    searchMode(view, false, false);
    figures.append(
        {"find_keystroke_1m",
         WorstKeystroke(view, QStringLiteral("https://news4"), QStringLiteral("нет-такого")),
         QStringLiteral("the address's beginning, stored order")});

    // Sorted by the description, as a user's click on its title sorts it.
    Q_EMIT grid.horizontalHeader()->sectionClicked(column(view, "Description"));
    grid.SetSelectedIndex(column(view, "URL"));
    searchMode(view, false, false);
    figures.append(
        {"find_keystroke_sorted_1m",
         WorstKeystroke(view, QStringLiteral("https://news4"), QStringLiteral("нет-такого")),
         QStringLiteral("the address's beginning, sorted by the description")});
    searchMode(view, true, true);
    figures.append({"find_two_letters_anywhere_1m", twoLetters(),
                    QStringLiteral("two letters anywhere in every column, sorted")});

    for (const char* name : {"LinkStatus", "LinkCode", "LinkChecked"}) {
        grid.SetColumnVisible(column(view, name), true);
    }
    searchMode(view, true, true);
    figures.append({"find_link_columns_anywhere_1m", twoLetters(),
                    QStringLiteral("two letters anywhere, link check columns shown, sorted")});
    grid.SetSelectedIndex(column(view, "LinkCode"));
    searchMode(view, false, false);
    const double code = WorstKeystroke(view, QStringLiteral("50"), QStringLiteral("509"));
    grid.SetSelectedIndex(column(view, "LinkChecked"));
    searchMode(view, false, false);
    const double checked = WorstKeystroke(view, QStringLiteral("31.12"), QStringLiteral("31.13"));
    figures.append({"find_link_columns_beginning_1m", std::max(code, checked),
                    QStringLiteral("the code's and the check time's beginning, sorted")});
    searchMode(view, false, false);
    return figures;
}
