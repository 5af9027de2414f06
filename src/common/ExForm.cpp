#include "common/ExForm.h"

#include "common/DialogsUnit.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QShowEvent>
#include <QVector>

namespace {

struct TIdleState {
    TIdleHandler handler;
    TExForm* handlerForm = nullptr;  // the form whose handler is installed, if any
    QVector<TExForm*> forms;
    bool hooked = false;
    bool running = false;
};

TIdleState& state() {
    static TIdleState s;
    return s;
}

void hookEventLoop() {
    TIdleState& s = state();
    if (s.hooked || !QCoreApplication::instance()) {
        return;
    }
    if (QAbstractEventDispatcher* d =
            QAbstractEventDispatcher::instance(QCoreApplication::instance()->thread())) {
        QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, QCoreApplication::instance(),
                         &RunApplicationIdle);
        s.hooked = true;
    }
}

}  // namespace

void SetApplicationOnIdle(TIdleHandler handler) {
    state().handler = std::move(handler);
    state().handlerForm = nullptr;
    hookEventLoop();
}

void RunApplicationIdle() {
    TIdleState& s = state();
    // An idle handler that opens a modal loop must not re-enter itself.
    if (s.running || !s.handler) {
        return;
    }
    s.running = true;
    const TIdleHandler handler = s.handler;
    Guarded(handler);
    s.running = false;
}

TExForm::TExForm(QWidget* parent) : QDialog(parent) {
    TIdleState& s = state();
    m_previous = s.handler;
    m_previousForm = s.handlerForm;
    SetApplicationOnIdle([this]() { IdleHandler(); });
    s.handlerForm = this;
    s.forms.append(this);
}

TExForm::~TExForm() {
    TIdleState& s = state();
    s.forms.removeOne(this);
    if (s.handlerForm == this) {
        s.handler = m_previous;
        s.handlerForm = m_previousForm;
        return;
    }
    for (TExForm* later : s.forms) {
        if (later->m_previousForm == this) {
            later->m_previous = m_previous;
            later->m_previousForm = m_previousForm;
        }
    }
}

void TExForm::IdleHandler() {
    IdleUpdate();
    if (m_previous) {
        m_previous();
    }
}

void RestoreMinimized(QWidget* window) {
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->show();
}

void TExForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (isModal() && !event->spontaneous()) {
        PlaceOverOwner(this);
    }
}
