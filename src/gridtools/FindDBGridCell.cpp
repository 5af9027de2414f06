#include "gridtools/FindDBGridCell.h"

#include "common/DialogsUnit.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"

#include <QApplication>
#include <QPalette>

bool LocateInGrid(const QString& text, TExDBGrid* grid) {
    if (!grid) {
        return false;
    }
    TField* field = grid->SelectedField();
    TDataSet* ds = grid->DataSet();
    if (!field || !ds || !ds->Active()) {
        return false;
    }
    // The text as the column shows it, whatever the field's type: "40" finds the code 404
    // and a half-typed date is no error.
    const int found = ds->FindText({field}, text, 0, true, false);
    if (found >= 0) {
        ds->SetRecNo(found + 1);
    }
    return found >= 0;
}

TFindDBGridCell::TFindDBGridCell(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this]() { searchFromStart(); });
}

TFindDBGridCell::~TFindDBGridCell() {
    watch(nullptr);
}

void TFindDBGridCell::watch(TDataSet* dataSet) {
    if (m_watched == dataSet) {
        return;
    }
    if (m_watched) {
        m_watched->RemoveObserver(&m_last);
    }
    m_last.valid = false;
    m_watched = dataSet;
    if (dataSet) {
        dataSet->AddObserver(&m_last);
    }
}

void TFindDBGridCell::SetAnywhere(bool anywhere) {
    if (m_anywhere != anywhere) {
        m_anywhere = anywhere;
        searchFromStart();
    }
}

void TFindDBGridCell::SetAllColumns(bool allColumns) {
    if (m_allColumns != allColumns) {
        m_allColumns = allColumns;
        searchFromStart();
    }
}

bool TFindDBGridCell::FindNext() {
    TDataSet* ds = m_grid ? m_grid->DataSet() : nullptr;
    return ds && ds->Active() && search(ds->RecNo(), true);
}

bool TFindDBGridCell::FindPrevious() {
    TDataSet* ds = m_grid ? m_grid->DataSet() : nullptr;
    return ds && ds->Active() && search(ds->RecNo() - 2, false);
}

void TFindDBGridCell::searchFromStart() {
    if (text().isEmpty()) {
        setNotFound(false);
        return;
    }
    Guarded([this]() {
        if (!m_anywhere && !m_allColumns) {
            setNotFound(!LocateInGrid(text(), m_grid));
            return;
        }
        TDataSet* ds = m_grid ? m_grid->DataSet() : nullptr;
        if (!ds || !ds->Active()) {
            return;
        }
        watch(ds);
        const QList<const TField*> fields = searchedFields();
        const bool narrower = m_last.valid && m_last.anywhere == m_anywhere &&
                              m_last.fields == fields && text().startsWith(m_last.text);
        if (narrower && m_last.found < 0) {
            m_last.text = text();
            setNotFound(true);
            return;
        }
        search(narrower ? m_last.found : 0, true);
        m_last.text = text();
        m_last.fields = fields;
        m_last.anywhere = m_anywhere;
        m_last.found = m_notFound ? -1 : ds->RecNo() - 1;
        m_last.valid = true;
    });
}

QList<const TField*> TFindDBGridCell::searchedFields() const {
    QList<const TField*> fields;
    if (m_allColumns) {
        for (int c = 0; c < m_grid->ColumnCount(); ++c) {
            const TField* f = m_grid->ColumnField(c);
            if (f && m_grid->ColumnVisible(c)) {
                fields << f;
            }
        }
    } else if (const TField* f = m_grid->SelectedField()) {
        fields << f;
    }
    return fields;
}

bool TFindDBGridCell::search(int from, bool forward) {
    TDataSet* ds = m_grid ? m_grid->DataSet() : nullptr;
    if (!ds || !ds->Active() || text().isEmpty()) {
        return false;
    }
    const int found = ds->FindText(searchedFields(), text(), from, forward, m_anywhere);
    if (found >= 0) {
        ds->SetRecNo(found + 1);
    }
    setNotFound(found < 0);
    return found >= 0;
}

void TFindDBGridCell::setNotFound(bool notFound) {
    if (m_notFound == notFound) {
        return;
    }
    m_notFound = notFound;
    // Red, whatever the style, with the text readable on it. A palette, not a style sheet:
    // that would polish the box again on every change, within the keystroke.
    QPalette colours = QApplication::palette(this);
    if (notFound) {
        colours.setColor(QPalette::Base, QColor(255, 200, 200));
        colours.setColor(QPalette::Text, Qt::black);
    }
    setPalette(colours);
    Q_EMIT NotFoundChanged(notFound);
}
