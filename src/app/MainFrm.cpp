#include "app/MainFrm.h"

#include "app/GeneralUnit.h"
#include "app/HelpFrm.h"
#include "app/MenuMerger.h"
#include "app/OptionsDlg.h"
#include "common/ConstsUnit.h"
#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "common/ExForm.h"
#include "common/ProgramPaths.h"
#include "platform/db/Schema.h"
#include "settings/AboutDlg.h"
#include "settings/WindowsListDlg.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>

namespace {
constexpr int kHeight = 76;
constexpr int kMinimumWidth = 648;
}  // namespace

QVector<QPixmap> MakeBannerFrames() {
    const struct {
        QColor from;
        QColor to;
        const char* text;
    } frames[] = {
        {QColor(0x1f, 0x3c, 0x88), QColor(0x5b, 0x86, 0xe5),
         QT_TRANSLATE_NOOP("TMainForm", "Linkarium — каталог ваших ссылок")},
        {QColor(0x13, 0x6a, 0x5f), QColor(0x4c, 0xb8, 0x9a),
         QT_TRANSLATE_NOOP("TMainForm", "Сохраняйте, находите, открывайте")},
        {QColor(0x7a, 0x2e, 0x6b), QColor(0xd0, 0x6a, 0x8c),
         QT_TRANSLATE_NOOP("TMainForm", "Порядок в закладках — Linkarium")},
    };
    QVector<QPixmap> result;
    for (const auto& f : frames) {
        QPixmap pixmap(640, 30);
        QPainter p(&pixmap);
        QLinearGradient g(0, 0, 640, 0);
        g.setColorAt(0, f.from);
        g.setColorAt(1, f.to);
        p.fillRect(pixmap.rect(), g);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 90), 2));
        for (int i = 0; i < 3; ++i) {
            p.drawEllipse(QPointF(22 + i * 9, 15), 6, 6);  // a chain of links
        }
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(15);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(56, 0, 580, 30), Qt::AlignVCenter | Qt::AlignLeft,
                   QCoreApplication::translate("TMainForm", f.text));
        p.end();
        result << pixmap;
    }
    return result;
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(ApplicationTitle);
    m_close = makeAction("actClose", tr("Выход"), &TMainForm::actCloseExecute);
    m_urlDictionary =
        makeAction("actURLDictionary", tr("URL..."), &TMainForm::actURLDictionaryExecute);
    m_urlDictionary->setToolTip(tr("Linkarium"));
    m_urlDictionary->setStatusTip(tr("Linkarium"));
    m_urlDictionary->setEnabled(false);
    QAction* windowsList =
        makeAction("actWindowsList", tr("Список окон..."), &TMainForm::actWindowsListExecute);
    windowsList->setShortcut(QKeySequence(Qt::ALT | Qt::Key_0));
    QAction* preferences =
        makeAction("actPreferences", tr("Настройки..."), &TMainForm::actPreferencesExecute);
    m_setDatabase = makeAction("actSetDatabase", tr("Подключение к базе..."),
                               &TMainForm::actSetDatabaseExecute);
    m_setDatabase->setEnabled(false);
    QAction* about = makeAction("actAbout", tr("О программе..."), &TMainForm::actAboutExecute);
    QAction* helpContents =
        makeAction("actHelpContents", tr("Содержание..."), &TMainForm::actHelpContentsExecute);
    helpContents->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* helpTopicSearch = makeAction("actHelpTopicSearch", tr("Поиск темы..."),
                                          &TMainForm::actHelpTopicSearchExecute);

    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("MainMenu"));
    setMenuBar(bar);
    QMenu* file = makeMenu("mnuFile", tr("&Файл"), 0);
    file->addAction(m_close);
    QMenu* modules = makeMenu("mnuModules", tr("&Модули"), 1);
    // The item reads "Linkarium..." while the command itself is called "URL...".
    auto* urlItem = new QAction(tr("Linkarium..."), modules);
    urlItem->setObjectName(QStringLiteral("mnuURLDictionary"));
    connect(urlItem, &QAction::triggered, m_urlDictionary, &QAction::trigger);
    connect(m_urlDictionary, &QAction::enabledChanged, urlItem, &QAction::setEnabled);
    urlItem->setEnabled(m_urlDictionary->isEnabled());
    modules->addAction(urlItem);
    modules->addSeparator();
    modules->addAction(windowsList);
    m_settingsMenu = makeMenu("mnuSettings", tr("&Настройка"), 3);
    m_settingsMenu->addAction(preferences);
    m_settingsMenu->addSeparator();
    m_settingsMenu->addAction(m_setDatabase);
    QMenu* helpMenu = makeMenu("mnuHelp", tr("&Справка"), 3);
    helpMenu->addAction(helpContents);
    helpMenu->addAction(helpTopicSearch);
    helpMenu->addSeparator();
    helpMenu->addAction(about);
    m_merger = new TMenuMerger(this, bar, {file, modules, m_settingsMenu, helpMenu});

    m_banner = new QLabel(this);
    m_banner->setObjectName(QStringLiteral("BannerGIFAnimator"));
    m_banner->setCursor(Qt::PointingHandCursor);
    m_banner->setAlignment(Qt::AlignCenter);
    m_banner->setToolTip(PublisherURL);
    m_banner->installEventFilter(this);
    QCoreApplication::instance()->installEventFilter(this);
    setCentralWidget(m_banner);
    FormCreate();
}

TMainForm::~TMainForm() = default;

QAction* TMainForm::makeAction(const char* name, const QString& caption,
                               void (TMainForm::*handler)()) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setShortcutContext(Qt::ApplicationShortcut);
    addAction(a);
    connect(a, &QAction::triggered, this,
            [this, handler]() { Guarded([this, handler]() { (this->*handler)(); }); });
    return a;
}

QMenu* TMainForm::makeMenu(const char* name, const QString& caption, int group) {
    auto* m = new QMenu(caption, this);
    m->setObjectName(QLatin1String(name));
    m->setProperty(GroupIndexProperty, group);
    return m;
}

void TMainForm::FormCreate() {
    m_helpFile = HelpFileName();
    setMinimumWidth(kMinimumWidth);
    setFixedHeight(kHeight);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int width = screen ? std::max(screen->geometry().width(), kMinimumWidth) : kMinimumWidth;
    move(0, 0);
    resize(width, kHeight);
    const QVector<QPixmap> frames = MakeBannerFrames();
    m_bannerFrame = static_cast<int>(QRandomGenerator::global()->bounded(frames.size()));
    m_banner->setPixmap(frames.at(m_bannerFrame));
}

void TMainForm::SetGeneralModule(TGeneralModule* module) {
    m_module = module;
    m_setDatabase->setEnabled(module != nullptr);
    if (module) {
        // The caption names the open catalogue and says whether its server link is
        // encrypted and the server checked.
        const auto name = [this](const QString& catalogue) {
            setWindowTitle(ApplicationTitle + QStringLiteral(" — ") + catalogue);
        };
        connect(module, &TCatalogueModule::CatalogueNamed, this, name);
        if (module->ADOConnection.Connected()) {
            name(CatalogueName(module->ADOConnection));
        }
        m_settingsMenu->addSeparator();
        m_settingsMenu->addAction(module->EditCategoryListAction());
    }
}

void TMainForm::SetURLView(QWidget* view) {
    m_urlView = view;
    m_urlDictionary->setEnabled(view != nullptr);
}

void TMainForm::ShowHelpFor(QWidget* window) {
    const QString topic = THelpForm::TopicFor(window);
    if (window != this && window == QApplication::activeModalWidget()) {
        // A modal dialog blocks every other window: its help is a window of its own.
        auto* own = new THelpForm(m_helpFile, window);
        own->setAttribute(Qt::WA_DeleteOnClose);
        own->ShowTopic(topic);
        return;
    }
    help()->ShowTopic(topic);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // F1 anywhere opens the topic of the window it was pressed in.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            QWidget* window = static_cast<QWidget*>(watched)->window();
            if (!qobject_cast<THelpForm*>(window)) {
                Guarded([this, window]() { ShowHelpFor(window); });
                return true;
            }
        }
    }
    if (watched == m_banner && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this]() { BannerGIFAnimatorClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void TMainForm::BannerGIFAnimatorClick() {
    OpenURLOrThrow(PublisherURL);
}

void TMainForm::actCloseExecute() {
    QCoreApplication::quit();
}

void TMainForm::actURLDictionaryExecute() {
    if (!m_urlView) {
        return;
    }
    RestoreMinimized(m_urlView);
    m_urlView->raise();
    m_urlView->activateWindow();
}

void TMainForm::actWindowsListExecute() {
    TWindowsListForm form(this);
    form.Execute();
}

void TMainForm::actPreferencesExecute() {
    TOptionsForm form(this);
    form.Execute();
}

void TMainForm::actSetDatabaseExecute() {
    if (!m_module || !m_module->SelectDatabase()) {
        return;
    }
    // Views close their queries with the old connection; they reopen when shown again.
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w == this || !w->isVisible()) {
            continue;
        }
        if (w == m_merger->MergedWindow()) {
            m_merger->Unmerge();
        }
        w->close();
    }
}

void TMainForm::actAboutExecute() {
    TAboutForm form(this);
    Dialogs().execDialog(form);
}

THelpForm* TMainForm::help() {
    if (!m_help) {
        m_help = new THelpForm(m_helpFile, this);
        m_help->setAttribute(Qt::WA_DeleteOnClose);
    }
    return m_help;
}

void TMainForm::actHelpContentsExecute() {
    // F1 reaches this command from other windows too: they get their own topic.
    QWidget* active = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                        : QApplication::activeWindow();
    if (active && active != this && !qobject_cast<THelpForm*>(active)) {
        ShowHelpFor(active);
        return;
    }
    help()->ShowContents();
}

void TMainForm::actHelpTopicSearchExecute() {
    help()->ShowTopicSearch();
}

void TMainForm::BringToFront() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->isMinimized()) {
            RestoreMinimized(w);
        }
    }
    QWidget* target = QApplication::activeWindow() ? QApplication::activeWindow() : this;
    RestoreMinimized(this);
    target->raise();
    target->activateWindow();
}
