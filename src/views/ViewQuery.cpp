#include "views/ViewQuery.h"

#include "common/Hourglass.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "views/QuickFilterUnit.h"

#include <QCoreApplication>

#include <exception>

TViewQuery::TViewQuery(TDataSet& dataSet, TExDBGrid& grid, QObject* parent)
    : QObject(parent), m_dataSet(dataSet), m_grid(grid) {}

bool TViewQuery::FilterApplied() const {
    // Read from the query text, which outlives a dataset closed by a change of database.
    return !m_dataSet.CommandText().isEmpty() && m_dataSet.CommandText() != m_baseSQL;
}

QString TViewQuery::ComposeQuery(const QString& filter) const {
    return ComposeFilteredQuery(m_baseSQL, filter);
}

QVariant TViewQuery::CurrentKey() const {
    TField* key = m_dataSet.FindField(m_keyFieldName);
    if (!key || !m_dataSet.Active() || m_dataSet.IsEmpty()) {
        return QVariant();
    }
    return key->Value();
}

bool TViewQuery::RefreshChangedElsewhere() {
    if (!m_dataSet.Active() || m_dataSet.State() != TDataSetState::Browse ||
        !m_dataSet.ChangedElsewhere()) {
        return false;
    }
    // The current record stays where it was in the window, not only in view.
    const int offset = m_grid.CurrentRowOffset();
    // Just the rows the others named, when they named them all.
    bool named = false;
    if (!m_keyFieldName.isEmpty()) {
        TDataSet::TControlsGuard controls(m_dataSet);
        try {
            named = m_dataSet.RefreshChangedElsewhere(m_keyFieldName);
        } catch (const std::exception&) {
            named = false;  // the whole query says what went wrong, if anything did
        }
    }
    if (named) {
        Q_EMIT Reread();
    } else {
        RefreshAndLocate(CurrentKey());
    }
    m_grid.SetCurrentRowOffset(offset);
    return true;
}

void TViewQuery::locateKey(const QVariant& key) {
    if (key.isValid() && !key.isNull() && !m_keyFieldName.isEmpty()) {
        m_dataSet.Locate(m_keyFieldName, {key}, 0);
    }
}

void TViewQuery::Apply(const QString& filter, const QString& sort) {
    // An editor left open over a dataset opened anew would stand over another cell, and
    // the grid's column with it; what it held was read already.
    m_grid.CloseInplaceEditor();
    THourglass hourglass;
    QCoreApplication::processEvents();
    const QString query = ComposeQuery(filter);
    if (query != m_dataSet.CommandText() || !m_dataSet.Active()) {
        const QVariant key = CurrentKey();
        m_dataSet.Close();
        m_dataSet.SetCommandText(query);
        BindFilterParameters(m_dataSet.Parameters());
        TDataSet::TControlsGuard controls(m_dataSet);
        // The sort given to the closed dataset is the one its opening reads in: one sort,
        // and none at all (the first rows painted at once) for the order of the query.
        const auto openSorted = [this, &sort]() {
            m_dataSet.SetSort(sort);
            m_dataSet.Open();
        };
        try {
            openSorted();
            locateKey(key);
        } catch (const std::exception&) {
            // A filter the database refuses: back to the whole query, silently.
            m_dataSet.Close();
            m_dataSet.SetCommandText(m_baseSQL);
            m_filterText.clear();
            BindFilterParameters(m_dataSet.Parameters());
            openSorted();
        }
    } else if (m_dataSet.Sort() != sort) {
        const QVariant key = CurrentKey();
        TDataSet::TControlsGuard controls(m_dataSet);
        m_dataSet.SetSort(sort);
        locateKey(key);
    }
    m_grid.UpdateTitles();
}

void TViewQuery::RefreshAndLocate(const QVariant& key) {
    THourglass hourglass;
    QCoreApplication::processEvents();
    {
        TDataSet::TControlsGuard controls(m_dataSet);
        try {
            BindFilterParameters(m_dataSet.Parameters());
            m_dataSet.Close();
            m_dataSet.Open();  // in the sort it kept
            locateKey(key);
        } catch (...) {
            Q_EMIT Reread();
            throw;
        }
    }
    Q_EMIT Reread();
}

void TViewQuery::RefreshChanged(const QVariantList& changed, const QVariantList& created,
                                const QVariant& key) {
    const auto values = [this]() {
        QVariantList list;
        TParameters& parameters = m_dataSet.Parameters();
        for (int i = 0; i < parameters.Count(); ++i) {
            list << parameters.Items(i).Value;
        }
        return list;
    };
    const QVariantList before = values();
    BindFilterParameters(m_dataSet.Parameters());
    bool refreshed = false;
    if (!m_keyFieldName.isEmpty() && values() == before) {
        TDataSet::TControlsGuard controls(m_dataSet);
        try {
            refreshed = m_dataSet.RefreshRows(m_keyFieldName, changed, created, key);
        } catch (const std::exception&) {
            refreshed = false;  // the whole query says what went wrong, if anything did
        }
        // Already there when the key was read again or stayed current (a deleted
        // record's neighbour); else the search.
        if (refreshed && CurrentKey() != key) {
            locateKey(key);
        }
    }
    if (!refreshed) {
        RefreshAndLocate(key);
        return;
    }
    Q_EMIT Reread();
}

void TViewQuery::Open(const QString& gridKey) {
    // After a failed opening only a new show tries again: closing the error box activates
    // the window, and trying again there would show the box again, without end.
    if (m_dataSet.Active() || m_openFailed) {
        return;
    }
    m_baseSQL = m_designSQL;
    bool applied = false;
    QString sort;
    TRegistry reg;
    if (reg.OpenKeyReadOnly(gridKey)) {
        if (const auto f = reg.ReadString(QStringLiteral("Filter"))) {
            m_filterText = *f;
        }
        applied = reg.ReadInteger(QStringLiteral("FilterApplied")).value_or(0) != 0;
        sort = reg.ReadString(QStringLiteral("Sort")).value_or(QString());
    }
    m_dataSet.SetCommandText(!m_filterText.isEmpty() && applied ? ComposeQuery(m_filterText)
                                                                : m_baseSQL);
    BindFilterParameters(m_dataSet.Parameters());
    THourglass hourglass;
    // Sorted as it opens; without a sort the first rows are painted before the rest is read.
    m_dataSet.SetSort(sort);
    try {
        m_dataSet.Open();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // A stored sort naming a field the query no longer has: the rows show unsorted and
        // only the sort is reported.
        if (!sort.trimmed().isEmpty()) {
            bool opened = false;
            try {
                m_dataSet.Close();
                m_dataSet.SetSort(QString());
                m_dataSet.Open();
                opened = true;
            } catch (...) {
                m_dataSet.Close();
            }
            if (opened) {
                try {
                    std::rethrow_exception(failure);
                } catch (const EError& e) {
                    throw EError(QCoreApplication::translate(
                                     "TCommonViewForm",
                                     "Сохранённая сортировка «%1» не применена, записи показаны "
                                     "без неё.\n%2")
                                     .arg(sort, e.message()));
                }
            }
        }
        m_openFailed = true;
        m_dataSet.SetSort(QString());
        // The whole query with the filter off (the filter text is kept for the dialog);
        // the failure is reported once, whether or not this opens.
        try {
            m_dataSet.Close();
            m_dataSet.SetCommandText(m_baseSQL);
            BindFilterParameters(m_dataSet.Parameters());
            m_dataSet.Open();
        } catch (...) {
            m_dataSet.Close();
        }
        std::rethrow_exception(failure);
    }
    // The sort does not reopen; the caption already counts the rows.
}
