#include "urls/FolderChain.h"

#include <QCoreApplication>

void TFolderChain::Push(const QString& name, bool counts) {
    TLevel level;
    level.name = name;
    level.counts = counts;
    level.marked = !m_levels.empty() && m_levels.back().marked;
    m_levels.push_back(std::move(level));
}

void TFolderChain::Pop() {
    if (!m_levels.empty()) {
        m_levels.pop_back();
    }
}

void TFolderChain::Mark() {
    if (!m_levels.empty()) {
        m_levels.back().marked = true;
    }
}

// Only the asked level keeps what is made: the levels between it and the nearest one that
// has its list already are read, not given lists of their own.
bool TFolderChain::Folders(QStringList& names) {
    names.clear();
    if (m_levels.empty()) {
        return true;
    }
    TLevel& top = m_levels.back();
    if (top.hasFolders) {
        names = top.folders;
        return true;
    }
    int from = static_cast<int>(m_levels.size()) - 1;
    while (from >= 0 && !m_levels[from].hasFolders) {
        --from;
    }
    QStringList made = from >= 0 ? m_levels[from].folders : QStringList();
    qsizetype more = 0;
    for (int i = from + 1; i < static_cast<int>(m_levels.size()); ++i) {
        more += m_levels[i].counts ? 1 : 0;
    }
    // A list the level shares with the one above costs nothing; a new one costs its length.
    if (more > 0 && m_handedOut + made.size() + more > m_budget) {
        return false;
    }
    if (more > 0) {
        m_handedOut += made.size() + more;
        made.reserve(made.size() + more);
        for (int i = from + 1; i < static_cast<int>(m_levels.size()); ++i) {
            if (m_levels[i].counts) {
                made.append(m_levels[i].name);
            }
        }
    }
    top.folders = made;
    top.hasFolders = true;
    names = made;
    return true;
}

QString TFolderChain::OverBudgetReason() const {
    return QCoreApplication::translate("LinkImport", "папки вложены слишком глубоко (%1)")
        .arg(m_levels.size());
}

QString TFolderChain::Path() {
    if (m_levels.empty()) {
        return QString();
    }
    TLevel& top = m_levels.back();
    if (top.hasPath) {
        return top.path;
    }
    int from = static_cast<int>(m_levels.size()) - 1;
    while (from >= 0 && !m_levels[from].hasPath) {
        --from;
    }
    QString path = from >= 0 ? m_levels[from].path : QString();
    for (int i = from + 1; i < static_cast<int>(m_levels.size()); ++i) {
        if (m_levels[i].counts) {
            if (!path.isEmpty()) {
                path += QLatin1Char('/');
            }
            path += m_levels[i].name;
        }
    }
    top.path = path;
    top.hasPath = true;
    return path;
}
