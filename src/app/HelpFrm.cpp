#include "app/HelpFrm.h"

#include "common/DialogsUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>

THelpForm::THelpForm(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_search(new QLineEdit(this)),
      m_topics(new QListWidget(this)),
      m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(tr("Справка Linkarium"));
    m_search->setObjectName(QStringLiteral("SearchEdit"));
    m_search->setPlaceholderText(tr("Поиск темы"));
    m_search->setClearButtonEnabled(true);
    m_topics->setObjectName(QStringLiteral("TopicsListBox"));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("&Темы:"), left);
    label->setBuddy(m_search);
    leftLayout->addWidget(label);
    leftLayout->addWidget(m_search);
    leftLayout->addWidget(m_topics);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);
    resize(860, 600);

    connect(m_search, &QLineEdit::textChanged, this, &THelpForm::SearchEditChange);
    connect(m_topics, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) {
            m_browser->scrollToAnchor(item->data(Qt::UserRole).toString());
        }
    });
    load(helpFile);
}

void THelpForm::load(const QString& helpFile) {
    QFile f(helpFile);
    if (!f.open(QIODevice::ReadOnly)) {
        m_browser->setPlainText(tr("Файл справки %1 не найден.").arg(helpFile));
        return;
    }
    const QString html = QString::fromUtf8(f.readAll());
    m_browser->setSearchPaths({QFileInfo(helpFile).absolutePath()});
    m_browser->setHtml(html);
    static const QRegularExpression heading(
        QStringLiteral("<h2 id=\"([^\"]+)\">(.*?)</h2>(.*?)(?=<h2 |</body>|$)"),
        QRegularExpression::DotMatchesEverythingOption);
    auto it = heading.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        auto* item = new QListWidgetItem(
            QTextDocumentFragment::fromHtml(m.captured(2)).toPlainText(), m_topics);
        item->setData(Qt::UserRole, m.captured(1));
        m_topicTexts
            << QTextDocumentFragment::fromHtml(m.captured(2) + m.captured(3)).toPlainText();
    }
}

void THelpForm::SearchEditChange(const QString& text) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < m_topics->count(); ++i) {
        bool all = true;
        for (const QString& w : words) {
            all = all && m_topicTexts.value(i).contains(w, Qt::CaseInsensitive);
        }
        m_topics->item(i)->setHidden(!all);
    }
}

void THelpForm::ShowContents() {
    m_search->clear();
    if (!isVisible()) {
        PlaceOverOwner(this);
    }
    show();
    raise();
    activateWindow();
    if (m_topics->count() > 0) {
        m_topics->setCurrentRow(0);
    }
    m_browser->scrollToAnchor(QString());
    m_topics->setFocus();
}

namespace {
const struct {
    const char* window;
    const char* topic;
} kTopics[] = {
    {"TMainForm", "mainwindow"},
    {"TWindowsListForm", "mainwindow"},
    {"TAboutForm", "mainwindow"},
    {"TDataLinkDialog", "start"},
    {"TURLViewForm", "records"},
    {"TEditURLForm", "record"},
    {"TCategoryForm", "categories"},
    {"TEditDictionaryForm", "categories"},
    {"TDBGridFilterForm", "filter"},
    {"TDBGridSortForm", "sort"},
    {"TEditDBGridForm", "columns"},
    {"TOptionsForm", "options"},
    {"TPrepareSubjectReportForm", "report"},
    {"TPreviewHTMLForm", "report"},
    {"TSendInfoForm", "mailing"},
    {"TShowProgressForm", "mailing"},
};
}  // namespace

QString THelpForm::TopicFor(const QWidget* window) {
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        const char* name = w->metaObject()->className();
        for (const auto& t : kTopics) {
            if (qstrcmp(name, t.window) == 0) {
                return QLatin1String(t.topic);
            }
        }
    }
    return QString();
}

QStringList THelpForm::KnownTopics() {
    QStringList topics;
    for (const auto& t : kTopics) {
        if (!topics.contains(QLatin1String(t.topic))) {
            topics << QLatin1String(t.topic);
        }
    }
    return topics;
}

void THelpForm::ShowTopic(const QString& id) {
    ShowContents();
    for (int i = 0; i < m_topics->count(); ++i) {
        if (m_topics->item(i)->data(Qt::UserRole).toString() == id) {
            m_topics->setCurrentRow(i);
            m_browser->scrollToAnchor(id);
            return;
        }
    }
}

QString THelpForm::CurrentTopic() const {
    const QListWidgetItem* item = m_topics->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void THelpForm::ShowTopicSearch() {
    if (!isVisible()) {
        PlaceOverOwner(this);
    }
    show();
    raise();
    activateWindow();
    m_search->setFocus();
    m_search->selectAll();
}
