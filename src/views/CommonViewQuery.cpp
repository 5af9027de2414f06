#include "common/Hourglass.h"
#include "gridtools/ExDBGrid.h"
#include "gridtools/FilterTemplatesUnit.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "views/CommonViewFrm.h"

#include <QCoreApplication>

#include <exception>

// The view's query: opened with the stored filter and sort, a filter and sort applied, the
// rows read again after a command.

void TCommonViewForm::locateKey(const QVariant& key) {
    if (key.isValid() && !key.isNull() && !KeyFieldName.isEmpty()) {
        adsCommon->Locate(KeyFieldName, {key}, 0);
    }
}

void TCommonViewForm::ApplyQuery(const QString& filter, const QString& sort) {
    // An editor left open over a dataset opened anew would stand over another cell, and
    // the grid's column with it; what it held was read already.
    CommonExDBGrid->CloseInplaceEditor();
    THourglass hourglass;
    QCoreApplication::processEvents();
    const QString query = ComposeQuery(filter);
    if (query != adsCommon->CommandText() || !adsCommon->Active()) {
        const QVariant key = CurrentKey();
        adsCommon->Close();
        adsCommon->SetCommandText(query);
        BindFilterParameters(adsCommon->Parameters());
        TDataSet::TControlsGuard controls(*adsCommon);
        // The sort given to the closed dataset is the one its opening reads in: one sort,
        // and none at all (the first rows painted at once) for the order of the query.
        const auto openSorted = [this, &sort]() {
            adsCommon->SetSort(sort);
            adsCommon->Open();
        };
        try {
            openSorted();
            locateKey(key);
        } catch (const std::exception&) {
            // A filter the database refuses: back to the whole query, silently.
            adsCommon->Close();
            adsCommon->SetCommandText(BaseSQL);
            FilterText.clear();
            BindFilterParameters(adsCommon->Parameters());
            openSorted();
        }
    } else if (adsCommon->Sort() != sort) {
        const QVariant key = CurrentKey();
        TDataSet::TControlsGuard controls(*adsCommon);
        adsCommon->SetSort(sort);
        locateKey(key);
    }
    CommonExDBGrid->UpdateTitles();
}

void TCommonViewForm::RefreshAndLocate(const QVariant& key) {
    THourglass hourglass;
    QCoreApplication::processEvents();
    {
        TDataSet::TControlsGuard controls(*adsCommon);
        try {
            BindFilterParameters(adsCommon->Parameters());
            adsCommon->Close();
            adsCommon->Open();  // in the sort it kept
            locateKey(key);
        } catch (...) {
            UpdateCaption();
            throw;
        }
    }
    UpdateCaption();
}

void TCommonViewForm::RefreshChanged(const QVariantList& changed, const QVariantList& created,
                                     const QVariant& key) {
    const auto values = [this]() {
        QVariantList list;
        TParameters& parameters = adsCommon->Parameters();
        for (int i = 0; i < parameters.Count(); ++i) {
            list << parameters.Items(i).Value;
        }
        return list;
    };
    const QVariantList before = values();
    BindFilterParameters(adsCommon->Parameters());
    bool refreshed = false;
    if (!KeyFieldName.isEmpty() && values() == before) {
        TDataSet::TControlsGuard controls(*adsCommon);
        try {
            refreshed = adsCommon->RefreshRows(KeyFieldName, changed, created, key);
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
    UpdateCaption();
}

void TCommonViewForm::OpenDataSet() {
    // After a failed opening only a new show tries again: closing the error box activates
    // the window, and trying again there would show the box again, without end.
    if (adsCommon->Active() || m_openFailed) {
        return;
    }
    BaseSQL = DesignSQL;
    bool applied = false;
    QString sort;
    TRegistry reg;
    if (reg.OpenKeyReadOnly(GridKey())) {
        if (const auto f = reg.ReadString(QStringLiteral("Filter"))) {
            FilterText = *f;
        }
        applied = reg.ReadInteger(QStringLiteral("FilterApplied")).value_or(0) != 0;
        sort = reg.ReadString(QStringLiteral("Sort")).value_or(QString());
    }
    adsCommon->SetCommandText(!FilterText.isEmpty() && applied ? ComposeQuery(FilterText)
                                                               : BaseSQL);
    BindFilterParameters(adsCommon->Parameters());
    THourglass hourglass;
    // Sorted as it opens; without a sort the first rows are painted before the rest is read.
    adsCommon->SetSort(sort);
    try {
        adsCommon->Open();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // A stored sort naming a field the query no longer has: the rows show unsorted and
        // only the sort is reported.
        if (!sort.trimmed().isEmpty()) {
            bool opened = false;
            try {
                adsCommon->Close();
                adsCommon->SetSort(QString());
                adsCommon->Open();
                opened = true;
            } catch (...) {
                adsCommon->Close();
            }
            if (opened) {
                try {
                    std::rethrow_exception(failure);
                } catch (const EError& e) {
                    throw EError(tr("Сохранённая сортировка «%1» не применена, записи показаны "
                                    "без неё.\n%2")
                                     .arg(sort, e.message()));
                }
            }
        }
        m_openFailed = true;
        adsCommon->SetSort(QString());
        // The whole query with the filter off (the filter text is kept for the dialog);
        // the failure is reported once, whether or not this opens.
        try {
            adsCommon->Close();
            adsCommon->SetCommandText(BaseSQL);
            BindFilterParameters(adsCommon->Parameters());
            adsCommon->Open();
        } catch (...) {
            adsCommon->Close();
        }
        std::rethrow_exception(failure);
    }
    // The sort does not reopen; the caption already counts the rows.
}
