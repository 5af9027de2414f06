#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <optional>

// What one transaction tells the other programs on the catalogue when it commits: the keys
// of the rows it wrote, table by table, or "many" when it wrote rows it cannot name (a
// command over many records) or more than a notice can carry.
class TChangeAnnouncement final {
public:
    // A write statement ran; unnamed until NameRows follows it.
    void Wrote() { ++m_unnamed; }
    // The write just run changed these rows of table.
    void NameRows(const QString& table, const QStringList& keys);
    bool Pending() const { return m_unnamed > 0 || !m_rows.empty(); }
    // The notice's text: a line per table, the table's name and its keys separated by tabs;
    // "*" for many.
    QString Payload() const;
    void Clear();

private:
    int m_unnamed = 0;
    std::map<QString, QStringList> m_rows;
};

// What other programs said they changed, notice by notice, so that a reader can fetch just
// those rows. Only the latest notices are kept; anything older reads as "many".
class TChangeLog final {
public:
    // Notice number stamp (counted from 1 since the session opened) said payload.
    void Heard(qint64 stamp, const QString& payload);
    // The keys of table the notices after since, up to upTo, named; none when any of them
    // said "many" or is no longer kept.
    std::optional<QStringList> KeysSince(qint64 since, qint64 upTo, const QString& table) const;
    void Clear() { m_notices.clear(); }

private:
    struct TNotice {
        qint64 stamp;
        bool many;
        std::map<QString, QStringList> rows;  // by table, its name case-folded
    };
    std::deque<TNotice> m_notices;
};
