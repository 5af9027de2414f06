#include "settings/Placemnt.h"

#include "common/DialogsUnit.h"
#include "platform/registry/Registry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace {

enum TShowCmd { swNormal = 1, swMinimized = 2, swMaximized = 3 };

// The version of the stored values; a placement stored by an older one is not restored.
constexpr int kFormVersion = 0;

// Positions are kept relative to the primary screen's work area, as the desktop's own
// coordinates are: the same reference when saving and restoring, wherever the window
// lies. (A window's own screen at restore time is not yet where it will be.)
QScreen* referenceScreen() {
    return QGuiApplication::primaryScreen();
}

// A rectangle moved, and shrunk when it must, into the work area of the screen it
// overlaps most (the primary one when it overlaps none): a removed monitor or a smaller
// screen never leaves a window out of reach.
QRect intoDesktop(QRect rect, const QWidget* window) {
    const QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect common = s->availableGeometry().intersected(rect);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = s;
        }
    }
    if (!best) {
        best = referenceScreen();
    }
    if (!best) {
        return rect;
    }
    // The rectangle is the inside of the window: room is left above for its title bar.
    const QRect area = best->availableGeometry().adjusted(
        0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0);
    rect.setWidth(qMin(rect.width(), area.width()));
    rect.setHeight(qMin(rect.height(), area.height()));
    rect.moveLeft(qBound(area.left(), rect.left(), area.right() - rect.width() + 1));
    rect.moveTop(qBound(area.top(), rect.top(), area.bottom() - rect.height() + 1));
    return rect;
}

// "a,b,c,d" items as numbers; a missing or non-numeric item takes its fallback.
QVector<int> numbers(const QString& text, const QVector<int>& fallback, bool* anyFound) {
    const QStringList items = text.split(QLatin1Char(','));
    QVector<int> result = fallback;
    for (int i = 0; i < result.size(); ++i) {
        bool ok = false;
        const int n = i < items.size() ? items[i].trimmed().toInt(&ok) : 0;
        if (ok) {
            result[i] = n;
            if (anyFound) {
                *anyFound = true;
            }
        }
    }
    return result;
}

}  // namespace

TFormPlacement::TFormPlacement(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("FormPlacement"));
    window->installEventFilter(this);
}

TFormPlacement::~TFormPlacement() = default;

QString TFormPlacement::SectionKey() const {
    const QString section = !m_iniSection.isEmpty() || !m_window
                                ? m_iniSection
                                : QString::fromLatin1(m_window->metaObject()->className());
    return m_iniFileName + QLatin1Char('\\') + section;
}

QString TFormPlacement::ScreenSuffix() const {
    const QScreen* s = referenceScreen();
    const QSize size = s ? s->geometry().size() : QSize();
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

int TFormPlacement::PixelsPerInch() const {
    const QScreen* s = referenceScreen();
    return s ? static_cast<int>(std::lround(s->logicalDotsPerInch())) : 96;
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            Guarded([this]() { RestorePlacement(); });
        }
    }
    return QObject::eventFilter(watched, event);
}

void TFormPlacement::WindowDestroying() {
    if (m_saved) {
        return;
    }
    m_destroying = true;
    Guarded([this]() { SavePlacement(); });
    m_destroying = false;
}

void TFormPlacement::RestorePlacement() {
    m_saved = false;
    TRegistry reg;
    if (reg.OpenKeyReadOnly(SectionKey())) {
        const int version =
            reg.ReadString(QStringLiteral("FormVersion")).value_or(QString()).toInt();
        if (version >= kFormVersion) {
            restoreGeometry();
            m_restored = true;
            Q_EMIT placementRestored();
        }
    }
    m_restored = true;
}

void TFormPlacement::restoreGeometry() {
    QWidget* w = m_window;
    if (!w) {
        return;
    }
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(SectionKey())) {
        return;
    }
    const auto text = [&reg, this](const QString& name) {
        QString v = reg.ReadString(name + ScreenSuffix()).value_or(QString());
        if (v.isEmpty()) {
            v = reg.ReadString(name).value_or(QString());
        }
        return v;
    };
    const QScreen* screen = referenceScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    const QRect current = w->normalGeometry().isValid() ? w->normalGeometry() : w->geometry();
    bool found = false;
    const QString minMax = text(QStringLiteral("MinMaxPos"));
    if (!minMax.isEmpty()) {
        numbers(minMax, {0, 0, 0, 0}, &found);
    }
    const QString norm = text(QStringLiteral("NormPos"));
    m_hadPlacement = !norm.isEmpty();
    QVector<int> r;
    if (!norm.isEmpty()) {
        r = numbers(norm,
                    {current.left() - origin.x(), current.top() - origin.y(),
                     current.left() - origin.x() + current.width(),
                     current.top() - origin.y() + current.height()},
                    &found);
    }
    bool ppiOk = false;
    const int ppi =
        reg.ReadString(QStringLiteral("PixelsPerInch")).value_or(QString()).toInt(&ppiOk);
    const bool samePpi = !ppiOk || ppi == PixelsPerInch();
    // A different pixel density would give a wrong size: keep the designed bounds then.
    if (found && samePpi && !r.isEmpty() && r[0] < r[2]) {
        QRect rect(QPoint(r[0] + origin.x(), r[1] + origin.y()), QSize(r[2] - r[0], r[3] - r[1]));
        if (w->minimumSize() == w->maximumSize()) {
            rect.setSize(w->size());  // a window that cannot be resized keeps its size
        }
        w->setGeometry(intoDesktop(rect, w));
    }
    const int showCmd = reg.ReadString(QStringLiteral("ShowCmd")).value_or(QString()).toInt();
    Qt::WindowStates state = Qt::WindowNoState;
    switch (showCmd) {
        case 2:
        case 6:
        case 7:
            state = Qt::WindowMinimized;
            break;
        case 3:
            state = Qt::WindowMaximized;
            break;
        default:
            break;
    }
    w->setWindowState(state);
}

void TFormPlacement::SavePlacement() {
    QWidget* w = m_window;
    if (!m_restored || !w) {
        return;
    }
    TRegistry reg;
    if (!reg.OpenKey(SectionKey(), true)) {
        return;
    }
    const QScreen* screen = referenceScreen();
    const QPoint origin = screen ? screen->availableGeometry().topLeft() : QPoint();
    const QRect normal = w->normalGeometry().isValid() ? w->normalGeometry() : w->geometry();
    int showCmd = swNormal;
    if (w->isMinimized()) {
        showCmd = swMinimized;
    } else if (w->isMaximized()) {
        showCmd = swMaximized;
    }
    const QString minMax = QStringLiteral("-1,-1,-1,-1");
    const QString norm = QStringLiteral("%1,%2,%3,%4")
                             .arg(normal.left() - origin.x())
                             .arg(normal.top() - origin.y())
                             .arg(normal.left() - origin.x() + normal.width())
                             .arg(normal.top() - origin.y() + normal.height());
    reg.WriteString(QStringLiteral("FormVersion"), QString::number(kFormVersion));
    reg.WriteString(QStringLiteral("Flags"), QStringLiteral("0"));
    reg.WriteString(QStringLiteral("ShowCmd"), QString::number(showCmd));
    reg.WriteString(QStringLiteral("PixelsPerInch"), QString::number(PixelsPerInch()));
    reg.WriteString(QStringLiteral("MinMaxPos") + ScreenSuffix(), minMax);
    reg.WriteString(QStringLiteral("MinMaxPos"), minMax);
    reg.WriteString(QStringLiteral("NormPos") + ScreenSuffix(), norm);
    reg.WriteString(QStringLiteral("NormPos"), norm);
    reg.WriteString(QStringLiteral("Visible"),
                    m_destroying ? QStringLiteral("1") : QStringLiteral("0"));
    Q_EMIT placementSaved();
    m_saved = true;
}
