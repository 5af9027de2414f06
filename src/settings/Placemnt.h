#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

// Keeps a window's position, size and state under a registry key: restored whenever the
// window is shown, saved when the window has accepted its closing (it calls SavePlacement)
// and, if not saved since, when it is destroyed.
// Values are strings; the rectangle is also kept under a name suffixed with the screen
// size, so each resolution has its own.
class TFormPlacement final : public QObject {
    Q_OBJECT
public:
    explicit TFormPlacement(QWidget* window);
    ~TFormPlacement() override;

    // The registry key the window's section lies under, and the section: the window's
    // class name when empty.
    void SetIniFileName(const QString& key) { m_iniFileName = key; }
    void SetIniSection(const QString& section) { m_iniSection = section; }

    QString SectionKey() const;
    void RestorePlacement();
    void SavePlacement();
    // The window's destructor calls this first: a save unless one ran since the restore.
    void WindowDestroying();

    // Whether a rectangle was stored: false on the window's first showing ever, also when
    // the window's key holds other values only.
    bool HadPlacement() const { return m_hadPlacement; }
    bool Saved() const { return m_saved; }

    // "(1024x768)" for the screen the window is on.
    QString ScreenSuffix() const;
    int PixelsPerInch() const;

Q_SIGNALS:
    // After a stored placement was put back, and after the placement was stored: the
    // window adds its own values under SectionKey.
    void placementRestored();
    void placementSaved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restoreGeometry();

    QPointer<QWidget> m_window;
    QString m_iniFileName = QStringLiteral("Software\\Quorvel\\Linkarium");
    QString m_iniSection;
    bool m_restored = false;
    bool m_hadPlacement = false;
    bool m_saved = false;
    bool m_destroying = false;
};
