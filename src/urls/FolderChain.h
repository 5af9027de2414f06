#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The folders open on the way down a tree of bookmarks, for the readers and the Favorites
// walk. A level holds its own name only; the list of folder names (and the path shown for
// it) is made the first time a link of that level asks and then shared by all its links,
// so a chain thousands deep costs memory in proportion to its depth, not to its square.
//
// Links in sibling folders cannot share, so a file of many folders nested deep could make
// lists whose total is the square of its size: the names handed out by one reading are
// counted, and past a budget (far beyond any real tree) a deeper link gets none and is
// refused with why, rather than given a list cut short.
class TFolderChain final {
public:
    // About 16 million names: some 400 MB of lists.
    static constexpr qsizetype DefaultBudget = 16 * 1024 * 1024;
    explicit TFolderChain(qsizetype budget = DefaultBudget) : m_budget(budget) {}

    // A level below the current one; a level that does not count (a list without a folder
    // name, a browser's root) adds nothing to the names but is popped like the others.
    void Push(const QString& name, bool counts = true);
    void Pop();
    bool IsEmpty() const { return m_levels.empty(); }
    int Depth() const { return static_cast<int>(m_levels.size()); }
    // The names of the counting levels down to the current one, outermost first; false
    // (and no names) when making them would pass the budget.
    bool Folders(QStringList& names);
    // Why a link got no names: the reason to skip it.
    QString OverBudgetReason() const;
    // The same names joined by '/' (empty at the top), to name an entry of the level.
    QString Path();
    // Whether the current level or a level above it was marked.
    bool Marked() const { return !m_levels.empty() && m_levels.back().marked; }
    // Marks the current level, and so every level below it.
    void Mark();

private:
    struct TLevel {
        QString name;
        bool counts = true;
        bool marked = false;
        bool hasFolders = false;
        bool hasPath = false;
        QStringList folders;
        QString path;
    };
    std::vector<TLevel> m_levels;
    qsizetype m_budget;
    qsizetype m_handedOut = 0;
};
