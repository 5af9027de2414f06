#include "urls/ChromiumBookmarks.h"

#include "platform/Errors.h"
#include "urls/BookmarkDescription.h"
#include "urls/FolderChain.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <vector>

namespace {

EError damaged(const QString& fileName, const QString& reason, qint64 offset) {
    const QString file =
        fileName.isEmpty() ? QCoreApplication::translate("LinkImport", "Bookmarks") : fileName;
    return EError(
        QCoreApplication::translate("LinkImport", "Файл закладок %1 повреждён: %2 (байт %3).")
            .arg(file, reason)
            .arg(offset));
}

// An open folder of the walk: its children and the next one to read.
struct TChromiumFolder {
    QJsonArray children;
    qsizetype next = 0;
};

}  // namespace

QVector<TImportedLink> ReadChromiumBookmarks(const QByteArray& json, const QString& fileName) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        throw damaged(fileName, error.errorString(), error.offset);
    }
    const QJsonValue roots = document.object().value(QLatin1String("roots"));
    if (!document.isObject() || !roots.isObject()) {
        throw damaged(fileName,
                      QCoreApplication::translate("LinkImport", "нет корневых папок (roots)"), 0);
    }
    QVector<TImportedLink> out;
    const QJsonObject rootFolders = roots.toObject();
    TFolderChain chain;
    for (auto it = rootFolders.constBegin(); it != rootFolders.constEnd(); ++it) {
        if (!it.value().isObject()) {
            continue;  // "sync_transaction_version" and the like
        }
        // The JSON reader refuses deep nesting, and the walk keeps its own stack: no depth
        // of folders can exhaust the program's.
        std::vector<TChromiumFolder> stack;
        chain.Push(QString(), false);
        stack.push_back({it.value().toObject().value(QLatin1String("children")).toArray(), 0});
        while (!stack.empty()) {
            TChromiumFolder& top = stack.back();
            if (top.next >= top.children.size()) {
                stack.pop_back();
                chain.Pop();
                continue;
            }
            // What the walk cannot read is an entry skipped with its reason, never dropped.
            const auto skipped = [&out](const QString& what, const QString& reason) {
                TImportedLink link;
                link.Source = what;
                link.SkipReason = reason;
                out.append(std::move(link));
            };
            const QJsonValue value = top.children.at(top.next++);
            if (!value.isObject()) {
                skipped(value.toString(), QCoreApplication::translate(
                                              "LinkImport", "в папке не закладка и не папка"));
                continue;
            }
            const QJsonObject node = value.toObject();
            const QString type = node.value(QLatin1String("type")).toString();
            const QString name = node.value(QLatin1String("name")).toString();
            const QJsonValue children = node.value(QLatin1String("children"));
            if (!children.isUndefined() && !children.isArray()) {
                skipped(name, QCoreApplication::translate("LinkImport",
                                                          "содержимое папки записано не списком"));
                continue;
            }
            if (type == QLatin1String("url")) {
                TImportedLink link;
                link.URL = node.value(QLatin1String("url")).toString();
                if (!chain.Folders(link.Folders)) {
                    link.SkipReason = chain.OverBudgetReason();
                }
                link.Description = BookmarkDescription(name, QString());
                out.append(std::move(link));
            } else if (type == QLatin1String("folder") || children.isArray()) {
                chain.Push(name);
                stack.push_back({children.toArray(), 0});
            } else {
                skipped(name,
                        QCoreApplication::translate("LinkImport", "неизвестная запись (type «%1»)")
                            .arg(type));
            }
        }
    }
    return out;
}
