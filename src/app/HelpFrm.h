#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The help window over the HTML help file beside the executable: the topics on the left
// (each "<h2 id=...>" of the file), the text on the right, and a topic search that narrows
// the topics to those whose title or text holds the words typed.
class THelpForm final : public QWidget {
    Q_OBJECT
public:
    THelpForm(const QString& helpFile, QWidget* parent = nullptr);

    void ShowContents();
    void ShowTopicSearch();
    // Shows the topic of that id ("<h2 id=...>"); the contents when there is none.
    void ShowTopic(const QString& id);
    QString CurrentTopic() const;
    // The topic about a window or dialog, by its class; a window the help does not know
    // takes the topic of the window it belongs to.
    static QString TopicFor(const QWidget* window);
    // Every topic TopicFor can give.
    static QStringList KnownTopics();
    void SearchEditChange(const QString& text);
    QListWidget* Topics() const { return m_topics; }

private:
    void load(const QString& helpFile);

    QLineEdit* m_search;
    QListWidget* m_topics;
    QTextBrowser* m_browser;
    QStringList m_topicTexts;  // the plain text of each topic, for the search
};
