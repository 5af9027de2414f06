#include "gridtools/GridSort.h"

#include "gridtools/DBGridSortDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

QVector<QIcon> MakeSortMarkImages() {
    QVector<QIcon> images;
    const auto draw = [&images](bool ascending, int position) {
        QPixmap pixmap(position > 1 ? 24 : 16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        // The first sort column's arrow is dark; the later ones lighter, with their place.
        p.setBrush(position > 1 ? QColor(0x90, 0x90, 0x90) : QColor(0x50, 0x50, 0x50));
        const QPolygonF up({QPointF(3, 11), QPointF(13, 11), QPointF(8, 5)});
        const QPolygonF down({QPointF(3, 5), QPointF(13, 5), QPointF(8, 11)});
        p.drawPolygon(ascending ? up : down);
        if (position > 1) {
            QFont font = p.font();
            font.setPixelSize(10);
            font.setBold(true);
            p.setFont(font);
            p.setPen(QColor(0x50, 0x50, 0x50));
            p.drawText(QRect(14, 0, 10, 16), Qt::AlignCenter, QString::number(position));
        }
        p.end();
        images << QIcon(pixmap);
    };
    draw(true, 1);
    draw(false, 1);
    for (int position = 2; position <= SortMarkPlaces; ++position) {
        draw(true, position);
        draw(false, position);
    }
    return images;
}

namespace {
// Posts a modified pending row, cancels an untouched one.
void finishEdit(TDataSet& ds) {
    if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert) {
        ds.Post();
    }
}
}  // namespace

void SortDataSet(TDataSet& dataSet, TField* field, TExDBGrid* grid, bool ascending) {
    TDataSet::TControlsGuard controls(dataSet);
    finishEdit(dataSet);
    const TBookmark bookmark = dataSet.GetBookmark();
    if (!field) {
        TDBGridSortForm form(grid ? grid->Images() : MakeSortMarkImages(),
                             grid ? grid->window() : QApplication::activeWindow());
        form.Execute(dataSet);
    } else {
        dataSet.SetSort(field->FieldName +
                        (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
    }
    if (dataSet.BookmarkValid(bookmark)) {
        dataSet.GotoBookmark(bookmark);
    }
    if (grid) {
        grid->UpdateTitles();
    }
}

void ToggleColumnSort(TExDBGrid& grid, int column) {
    TField* field = grid.ColumnField(column);
    TDataSet* ds = grid.DataSet();
    if (!field || !ds || field->FieldKind != TFieldKind::Data ||
        field->FieldClass() == TFieldClass::Memo || field->FieldClass() == TFieldClass::Blob) {
        return;
    }
    const QString sort = ds->Sort();
    const bool ascending = !sort.contains(QLatin1Char(',')) &&
                           sort.section(QLatin1Char(' '), 0, 0) == field->FieldName &&
                           sort.contains(QLatin1String("DESC"));
    SortDataSet(*ds, field, &grid, ascending);
}
