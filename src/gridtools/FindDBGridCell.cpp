#include "gridtools/FindDBGridCell.h"

#include "common/DialogsUnit.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"

#include <QCoreApplication>

bool LocateInGrid(const QString& text, TExDBGrid* grid) {
    if (!grid) {
        return false;
    }
    TField* field = grid->SelectedField();
    TDataSet* ds = grid->DataSet();
    if (!field || !ds || !ds->Active()) {
        return false;
    }
    if (field->FieldKind == TFieldKind::Data) {
        return ds->Locate(field->FieldName, {text}, loCaseInsensitive | loPartialKey);
    }
    if (field->FieldKind != TFieldKind::Lookup) {
        return false;
    }
    // A looked-up text can only be compared record by record; the window stays responsive.
    const TBookmark old = ds->GetBookmark();
    bool found = false;
    ds->DisableControls();
    try {
        ds->First();
        while (!ds->Eof()) {
            if (field->DisplayText().left(text.size()).compare(text, Qt::CaseInsensitive) == 0) {
                found = true;
                break;
            }
            ds->Next();
            QCoreApplication::processEvents();
        }
        if (!found && ds->BookmarkValid(old)) {
            ds->GotoBookmark(old);
        }
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    return found;
}

TFindDBGridCell::TFindDBGridCell(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!text.isEmpty()) {
            Guarded([this, &text]() { LocateInGrid(text, m_grid); });
        }
    });
}
