#include "views/ViewPlacement.h"

#include "common/ConstsUnit.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/DataSet.h"
#include "platform/registry/Registry.h"
#include "settings/Placemnt.h"
#include "views/ViewFindBar.h"
#include "views/ViewQuery.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>

namespace {
// How long a window manager may take to frame the main bar.
constexpr int kFramedLaterMs = 300;
}  // namespace

TViewPlacement::TViewPlacement(QWidget& window, TDataSet& dataSet, TExDBGrid& grid,
                               TViewQuery& query, TViewFindBar& find)
    : m_window(window),
      m_dataSet(dataSet),
      m_grid(grid),
      m_query(query),
      m_find(find),
      m_placement(new TFormPlacement(&window)) {
    // The window owns both the placement and this object, so it bounds the connections.
    QObject::connect(m_placement, &TFormPlacement::placementSaved, &m_window,
                     [this]() { savePlacement(); });
    QObject::connect(m_placement, &TFormPlacement::placementRestored, &m_window,
                     [this]() { restorePlacement(); });
}

void TViewPlacement::SetSection(const QString& section) {
    m_placement->SetIniFileName(RegRootKey);
    m_placement->SetIniSection(section);
}

QString TViewPlacement::ViewKey() const {
    return m_placement->SectionKey();
}

QString TViewPlacement::GridKey() const {
    return ViewKey() + QStringLiteral("\\T") + m_grid.objectName();
}

void TViewPlacement::Save() {
    m_placement->SavePlacement();
}

void TViewPlacement::WindowDestroying() {
    m_placement->WindowDestroying();
}

void TViewPlacement::savePlacement() {
    m_grid.SaveColumns(GridKey());
    TRegistry reg;
    if (!reg.OpenKey(GridKey(), true)) {
        return;
    }
    // The dataset keeps its sort text while closed, as the query keeps its filter.
    reg.WriteString(QStringLiteral("Sort"), m_dataSet.Sort());
    reg.WriteString(QStringLiteral("Filter"), m_query.FilterText());
    reg.WriteInteger(QStringLiteral("FilterApplied"), m_query.FilterApplied() ? 1 : 0);
    reg.WriteBool(QStringLiteral("FindAnywhere"), m_find.Anywhere());
    reg.WriteBool(QStringLiteral("FindAllColumns"), m_find.AllColumns());
}

void TViewPlacement::restorePlacement() {
    m_grid.LoadColumns(GridKey());
    TRegistry reg;
    if (reg.OpenKeyReadOnly(GridKey())) {
        m_find.SetModes(reg.ReadBool(QStringLiteral("FindAnywhere")).value_or(false),
                        reg.ReadBool(QStringLiteral("FindAllColumns")).value_or(false));
    }
}

QRect TViewPlacement::MaximizedBounds() const {
    const int border = (m_window.frameGeometry().width() - m_window.width()) / 2;
    const QScreen* s = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    QRect area = s ? s->availableGeometry() : QRect();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("MainForm") && w->isVisible()) {
            area.setTop(w->frameGeometry().top() + w->frameGeometry().height());
        }
    }
    // The rectangle is the inside: room is left above it for the window's own title bar,
    // so a maximised view never covers the main bar.
    area.adjust(-border, m_window.geometry().top() - m_window.frameGeometry().top(), border,
                border);
    return area;
}

QRect TViewPlacement::FirstStartBounds() const {
    const QScreen* s = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
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
                frame =
                    QMargins(1, m_window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4, 1, 1);
            }
            area.setTop(inner.bottom() + frame.bottom() + 1);
        }
    }
    return area.marginsRemoved(frame);
}

void TViewPlacement::Showing() {
    if (!m_placement->HadPlacement() && !m_placedOnce) {
        // Never placed before: the work area below the main bar, as a normal window (a
        // window manager would override a maximised one's geometry).
        const QRect bounds = FirstStartBounds();
        if (bounds.isValid()) {
            m_window.setGeometry(bounds);
            // Framed a moment later, the main bar may turn out taller than assumed: placed
            // once more then, unless the user has moved the window meanwhile.
            QTimer::singleShot(kFramedLaterMs, &m_window, [this, bounds]() {
                const QRect now = FirstStartBounds();
                if (m_window.geometry() == bounds && now.isValid() && now != bounds) {
                    m_window.setGeometry(now);
                }
            });
        }
    }
    m_placedOnce = true;
}

void TViewPlacement::StateChanged() {
    if (!m_window.isMaximized() || m_inSizing) {
        return;
    }
    m_inSizing = true;
    const QRect bounds = MaximizedBounds();
    if (bounds.isValid()) {
        m_window.setGeometry(bounds);
    }
    m_inSizing = false;
}
