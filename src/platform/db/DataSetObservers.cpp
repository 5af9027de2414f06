#include "platform/db/DataSetObservers.h"

void TDataSetObservers::Add(TDataSetObserver* observer) {
    if (!m_observers.contains(observer)) {
        m_observers.append(observer);
    }
}

void TDataSetObservers::Remove(TDataSetObserver* observer) {
    m_observers.removeAll(observer);
}

bool TDataSetObservers::Enable() {
    if (m_disabled > 0 && --m_disabled == 0 && m_changedWhileDisabled) {
        m_changedWhileDisabled = false;
        return true;
    }
    return false;
}

bool TDataSetObservers::heldBack() {
    if (m_disabled > 0) {
        m_changedWhileDisabled = true;
        return true;
    }
    return false;
}

void TDataSetObservers::Changed() {
    if (heldBack()) {
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->DataSetChanged();
    }
}

void TDataSetObservers::RecordChanged(int position) {
    if (heldBack()) {
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->RecordChanged(position);
    }
}

void TDataSetObservers::Scrolled(int position) {
    if (heldBack()) {
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->Scrolled(position);
    }
}

void TDataSetObservers::RowsAppended() {
    if (heldBack()) {
        return;
    }
    for (TDataSetObserver* o : m_observers) {
        o->RowsAppended();
    }
}
