#include "common/RegistryList.h"

#include "platform/registry/Registry.h"

namespace {
QString itemName(int i) {
    return QStringLiteral("Item") + QString::number(i);
}
}  // namespace

void TRegistryList::LoadFromKey(const QString& key) {
    clear();
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return;
    }
    for (int i = 0;; ++i) {
        const auto v = reg.ReadString(itemName(i));
        if (!v) {
            break;
        }
        append(*v);
    }
}

void TRegistryList::SaveToKey(const QString& key) const {
    TRegistry reg;
    reg.DeleteKey(key);
    if (isEmpty() || !reg.OpenKey(key, true)) {
        return;
    }
    for (int i = 0; i < size(); ++i) {
        reg.WriteString(itemName(i), at(i));
    }
}

void TRegistryList::AddRecent(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    for (int i = 0; i < size(); ++i) {
        if (at(i).compare(text, Qt::CaseInsensitive) == 0) {
            swapItemsAt(i, AddToEnd ? size() - 1 : 0);
            return;
        }
    }
    if (AddToEnd) {
        append(text);
        while (size() > MaxCount) {
            removeFirst();
        }
    } else {
        prepend(text);
        while (size() > MaxCount) {
            removeLast();
        }
    }
}
