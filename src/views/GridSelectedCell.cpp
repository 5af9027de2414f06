#include "views/GridSelectedCell.h"

#include "gridtools/ExDBGrid.h"
#include "platform/db/Field.h"

#include <QLineEdit>

TSelectedCell GridSelectedCell(const TExDBGrid& grid) {
    TSelectedCell cell;
    const TField* f = grid.SelectedField();
    if (!f) {
        return cell;
    }
    cell.FieldName = f->FieldName;
    cell.FieldClass = f->FieldClass();
    cell.IsNull = f->IsNull();
    if (!cell.IsNull) {
        cell.Text = f->AsString();
        if (cell.FieldClass == TFieldClass::Boolean) {
            cell.Boolean = f->AsBoolean();
        } else if (cell.FieldClass == TFieldClass::DateTime) {
            cell.Day = DayNumber(f->AsDateTime());
        }
    }
    if (const QLineEdit* editor = grid.InplaceEditor()) {
        cell.EditorOpen = true;
        cell.EditorText = editor->text();
        cell.SelectionStart = editor->selectionStart();
        cell.SelectionLength = editor->selectedText().size();
    }
    return cell;
}
