#pragma once

#include <QList>

class TCommonViewForm;
class TDataSet;
class TField;

// The report command of a record view: the fields to report chosen in their dialog, the
// page built by the view, shown in the preview.
class TViewReportCommand final {
public:
    TViewReportCommand(TCommonViewForm& view, TDataSet& dataSet);

    void Run();
    // The fields ticked for the report being built; empty between reports.
    const QList<TField*>& Fields() const { return m_fields; }

private:
    TCommonViewForm& m_view;
    TDataSet& m_dataSet;
    QList<TField*> m_fields;
};
