#pragma once

#include <QList>

// Told about changes of a dataset so that a grid can follow it.
class TDataSetObserver {
public:
    virtual ~TDataSetObserver() = default;
    // Rows or fields changed as a whole (open, close, sort, insert, delete, re-query).
    virtual void DataSetChanged() = 0;
    // The record at this position changed its values.
    virtual void RecordChanged(int position) = 0;
    // The current record moved.
    virtual void Scrolled(int position) = 0;
    // More rows of the result arrived after the last one held; nothing else changed.
    virtual void RowsAppended() { DataSetChanged(); }
};

// The observers of a dataset, told of its changes at once or, while its controls are
// disabled, once when they are enabled again.
class TDataSetObservers final {
public:
    void Add(TDataSetObserver* observer);
    void Remove(TDataSetObserver* observer);
    void Clear() { m_observers.clear(); }
    void Disable() { ++m_disabled; }
    // True when the last disabling ends with news held back: the dataset then says that it
    // changed and where it stands.
    bool Enable();

    void Changed();
    void RecordChanged(int position);
    void Scrolled(int position);
    void RowsAppended();

private:
    // While disabled, the news is only noted.
    bool heldBack();

    QList<TDataSetObserver*> m_observers;
    int m_disabled = 0;
    bool m_changedWhileDisabled = false;
};
