#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QVector>

class QAction;
class QLabel;
class QMenu;
class TGeneralModule;
class TMenuMerger;
class THelpForm;

// The main window: a thin bar across the top of the screen with the menu bar and the
// banner. Views are separate windows below it; the active view's menus appear in its bar.
class TMainForm final : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The data module is created after the main window; its category command joins the
    // "Настройка" menu.
    void SetGeneralModule(TGeneralModule* module);
    void SetURLView(QWidget* view);
    TMenuMerger* MenuMerger() const { return m_merger; }

    // "Выход", which the URL view offers in its own menu as well.
    QAction* CloseAction() const { return m_close; }

    QString HelpFile() const { return m_helpFile; }
    int BannerFrame() const { return m_bannerFrame; }

    void actCloseExecute();
    void actURLDictionaryExecute();
    void actWindowsListExecute();
    void actPreferencesExecute();
    void actSetDatabaseExecute();
    void actAboutExecute();
    void actHelpContentsExecute();
    void actHelpTopicSearchExecute();
    void BannerGIFAnimatorClick();
    // Restores (when minimised) and raises the window a second start asked for.
    void BringToFront();
    // The help topic of a window, in the help window (its own one over a modal dialog).
    void ShowHelpFor(QWidget* window);
    void SetHelpFile(const QString& file) { m_helpFile = file; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    QAction* makeAction(const char* name, const QString& caption, void (TMainForm::*handler)());
    QMenu* makeMenu(const char* name, const QString& caption, int group);
    THelpForm* help();

    QAction* m_close = nullptr;
    QAction* m_urlDictionary = nullptr;
    QAction* m_setDatabase = nullptr;
    TGeneralModule* m_module = nullptr;
    QPointer<QWidget> m_urlView;
    QMenu* m_settingsMenu = nullptr;
    QLabel* m_banner = nullptr;
    TMenuMerger* m_merger = nullptr;
    QPointer<THelpForm> m_help;
    QString m_helpFile;
    int m_bannerFrame = 0;
};

// The three 640x30 frames of the banner.
QVector<QPixmap> MakeBannerFrames();
