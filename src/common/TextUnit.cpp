#include "common/TextUnit.h"

#include <QStringList>

namespace {
QLocale::Language& currentLanguage() {
    static QLocale::Language language = QLocale::Russian;
    return language;
}
}  // namespace

void SetInterfaceLanguage(const QString& localeName) {
    currentLanguage() = QLocale(localeName).language();
}

QString PluralForm(qint64 n, const QString& forms) {
    const QStringList parts = forms.split(QLatin1Char(','));
    const auto form = [&parts](int i) { return i < parts.size() ? parts.at(i) : QString(); };
    const QLocale::Language language = currentLanguage();
    if (language != QLocale::Russian && language != QLocale::Ukrainian &&
        language != QLocale::Belarusian) {
        return n == 1 ? form(0) : form(2);
    }
    if (n >= 10 && n <= 19) {
        return form(2);
    }
    // Negative counts never occur; the C remainder would give a wrong form for them.
    const qint64 r = (n < 0 ? -n : n) % 10;
    if (r == 1) {
        return form(0);
    }
    if (r >= 2 && r <= 4) {
        return form(1);
    }
    return form(2);
}

QLocale::Language InterfaceLanguage() {
    return currentLanguage();
}

QString TrimmedFieldText(const QString& text) {
    int begin = 0;
    int end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20) {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= 0x20) {
        --end;
    }
    return text.mid(begin, end - begin);
}
