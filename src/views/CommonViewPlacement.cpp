#include "views/CommonViewFrm.h"

#include "common/CatalogueModule.h"
#include "common/DialogsUnit.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "settings/Placemnt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <exception>

// Where a record view opens and how far it reaches when maximised, kept apart from the
// window's other roles.

QRect TCommonViewForm::MaximizedBounds() const {
    const int border = (frameGeometry().width() - width()) / 2;
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect area = s ? s->availableGeometry() : QRect();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("MainForm") && w->isVisible()) {
            area.setTop(w->frameGeometry().top() + w->frameGeometry().height());
        }
    }
    // The rectangle is the inside: room is left above it for the window's own title bar,
    // so a maximised view never covers the main bar.
    area.adjust(-border, geometry().top() - frameGeometry().top(), border, border);
    return area;
}

namespace {
// How long a window manager may take to frame the main bar.
constexpr int kFramedLaterMs = 300;
}  // namespace

QRect TCommonViewForm::FirstStartBounds() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect area = s ? s->availableGeometry() : QRect();
    QMargins frame(0, 0, 0, 0);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("MainForm") && w->isVisible()) {
            // The main bar's frame tells what the window manager will add around this one;
            // until the manager has framed it, a title bar's height is assumed.
            const QRect outer = w->frameGeometry();
            const QRect inner = w->geometry();
            frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
            if (outer == inner &&
                !QGuiApplication::platformName().startsWith(QLatin1String("offscreen"))) {
                frame = QMargins(1, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4, 1, 1);
            }
            area.setTop(inner.bottom() + frame.bottom() + 1);
        }
    }
    return area.marginsRemoved(frame);
}

void TCommonViewForm::showEvent(QShowEvent* event) {
    TExForm::showEvent(event);
    if (!FormPlacement->HadPlacement() && !m_placedOnce) {
        // Never placed before: the work area below the main bar, as a normal window (a
        // window manager would override a maximised one's geometry).
        const QRect bounds = FirstStartBounds();
        if (bounds.isValid()) {
            setGeometry(bounds);
            // Framed a moment later, the main bar may turn out taller than assumed: placed
            // once more then, unless the user has moved the window meanwhile.
            QTimer::singleShot(kFramedLaterMs, this, [this, bounds]() {
                const QRect now = FirstStartBounds();
                if (geometry() == bounds && now.isValid() && now != bounds) {
                    setGeometry(now);
                }
            });
        }
    }
    m_placedOnce = true;
    m_openFailed = false;
    Guarded([this]() { OpenDataSet(); });
}

void TCommonViewForm::changeEvent(QEvent* event) {
    TExForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Guarded([this]() {
            OpenDataSet();
            RefreshIfChangedElsewhere();
        });
    } else if (event->type() == QEvent::WindowStateChange && isMaximized() && !m_inSizing) {
        m_inSizing = true;
        const QRect bounds = MaximizedBounds();
        if (bounds.isValid()) {
            setGeometry(bounds);
        }
        m_inSizing = false;
    }
}

void TCommonViewForm::RefreshIfChangedElsewhere() {
    // Another program's writes, shown when the user comes back to the window; an edit
    // under way is left alone (its save finds any conflict), and so is a delete, which
    // removes the record as the user confirmed it and reads the rows again after.
    m_module.RefreshCategoryListIfChanged();
    if (!m_deleting && adsCommon->Active() && adsCommon->State() == TDataSetState::Browse &&
        adsCommon->ChangedElsewhere()) {
        // The current record stays where it was in the window, not only in view.
        const int offset = CommonExDBGrid->CurrentRowOffset();
        // Just the rows the others named, when they named them all.
        bool named = false;
        if (!KeyFieldName.isEmpty()) {
            TDataSet::TControlsGuard controls(*adsCommon);
            try {
                named = adsCommon->RefreshChangedElsewhere(KeyFieldName);
            } catch (const std::exception&) {
                named = false;  // the whole query says what went wrong, if anything did
            }
        }
        if (named) {
            UpdateCaption();
        } else {
            RefreshAndLocate(CurrentKey());
        }
        CommonExDBGrid->SetCurrentRowOffset(offset);
    }
}
