#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class TDataSet;
class TExDBGrid;

// The query of a record view: the base statement the view was designed with, the filter
// the user composed on it, the key its records are found by; opening it with the stored
// filter and sort, applying another, and reading the rows again after a command.
class TViewQuery final : public QObject {
    Q_OBJECT
public:
    TViewQuery(TDataSet& dataSet, TExDBGrid& grid, QObject* parent);

    const QString& BaseSQL() const { return m_baseSQL; }
    void SetBaseSQL(const QString& sql) { m_baseSQL = sql; }
    const QString& KeyFieldName() const { return m_keyFieldName; }
    void SetKeyFieldName(const QString& name) { m_keyFieldName = name; }
    // The base statement as the view was designed, taken once the view is built.
    void KeepDesign() { m_designSQL = m_baseSQL; }
    const QString& FilterText() const { return m_filterText; }
    void SetFilterText(const QString& text) { m_filterText = text; }

    bool FilterApplied() const;
    QString ComposeQuery(const QString& filter) const;
    QVariant CurrentKey() const;

    // Opens the query with the filter and sort stored under gridKey, unless it is open or
    // its last opening failed (only AllowOpening lets it try again).
    void Open(const QString& gridKey);
    void AllowOpening() { m_openFailed = false; }
    void Apply(const QString& filter, const QString& sort);
    void RefreshAndLocate(const QVariant& key);
    void RefreshChanged(const QVariantList& changed, const QVariantList& created,
                        const QVariant& key);
    // The rows another program changed, read again; false when nothing was read.
    bool RefreshChangedElsewhere();

Q_SIGNALS:
    // The rows were read again: the count and the state in the caption may have changed.
    void Reread();

private:
    void locateKey(const QVariant& key);

    TDataSet& m_dataSet;
    TExDBGrid& m_grid;
    QString m_baseSQL;
    QString m_keyFieldName;
    QString m_designSQL;
    QString m_filterText;
    bool m_openFailed = false;
};
