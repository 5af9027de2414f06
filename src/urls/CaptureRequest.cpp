#include "urls/CaptureRequest.h"

#include "common/WebAddress.h"
#include "platform/Text.h"
#include "urls/Categories.h"

#include <QCoreApplication>
#include <QUrl>

#include <algorithm>

namespace {

// A character that is not shown as itself: a control character other than the line
// breaks and tabs a selection may hold, or a format character (a zero-width space before
// "javascript:", a direction override that shows "gpj.exe" as "exe.jpg"). The page's own
// text may need a joiner between letters, so text fields keep U+200C and U+200D.
bool hasHidden(const QString& text, bool address) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!address && (u == u'\n' || u == u'\r' || u == u'\t' || u == 0x200C || u == 0x200D)) {
            continue;
        }
        if (u == 0 || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            return true;
        }
    }
    return false;
}

// How a refusal shows a text from outside: hidden characters as "?", and a long one in its
// first 200 characters and "…", so that the message stays on the screen and the terminal
// takes no escape sequence from it.
QString shown(const QString& text) {
    constexpr int kShown = 200;
    QString out = text.left(kShown);
    for (QChar& c : out) {
        if (c.unicode() < 0x20 || c.category() == QChar::Other_Control ||
            c.category() == QChar::Other_Format) {
            c = QLatin1Char('?');
        }
    }
    return text.size() <= kShown ? out : out + QChar(0x2026);
}

// Checks and tidies a request: the address trimmed and a web or mail one, the title on one
// line, the selection's line breaks as LF, the categories as the records keep them.
TCaptureParse checked(TCaptureRequest r) {
    TCaptureParse result;
    const auto refuse = [&result](const QString& why) {
        result.Refusal = why;
        return result;
    };
    r.URL = r.URL.trimmed();
    if (r.URL.isEmpty()) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Не указан адрес."));
    }
    if (hasHidden(r.URL, true)) {
        return refuse(
            QCoreApplication::translate("TCaptureRequest", "Адрес содержит управляющий символ."));
    }
    const TAddressToOpen open = AddressToOpen(r.URL);
    if (open.url.isEmpty()) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Адрес «%1» не принят: %2.")
                          .arg(shown(r.URL), open.refusal));
    }
    if (hasHidden(r.Title, false) || hasHidden(r.Description, false) ||
        hasHidden(r.Category, false)) {
        return refuse(QCoreApplication::translate(
            "TCaptureRequest", "Заголовок, описание или категория содержат управляющий символ."));
    }
    r.Title = r.Title.simplified();
    r.Description.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    r.Description.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    r.Description = r.Description.trimmed();
    r.Category = SplitCategoryNames(r.Category).join(QLatin1String("; "));
    result.Request = r;
    return result;
}

// A percent-encoded value as text; false when its bytes are not UTF-8. A "%" without two
// hexadecimal digits after it stands for itself, as a form's decoder reads it.
bool decoded(QStringView encoded, QString& text) {
    const QByteArray in = encoded.toUtf8();
    QByteArray bytes;
    bytes.reserve(in.size());
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '+') {
            bytes += ' ';  // a form's blank (application/x-www-form-urlencoded)
        } else if (c == '%' && i + 2 < in.size() && hex(in.at(i + 1)) && hex(in.at(i + 2))) {
            bytes += static_cast<char>(QByteArray::fromHex(in.mid(i + 1, 2)).at(0));
            i += 2;
        } else {
            bytes += c;
        }
    }
    if (!IsUtf8(bytes)) {
        return false;
    }
    text = QString::fromUtf8(bytes);
    return true;
}

}  // namespace

TCaptureParse ParseCaptureAddress(const QString& address) {
    TCaptureParse result;
    const auto refuse = [&result](const QString& why) {
        result.Refusal = why;
        return result;
    };
    if (address.size() > kMaxCaptureAddress) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Запрос длиннее %1 знаков.")
                          .arg(kMaxCaptureAddress));
    }
    static const QLatin1String kScheme("linkarium:");
    if (!address.startsWith(kScheme, Qt::CaseInsensitive)) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Это не адрес «linkarium:»."));
    }
    QStringView rest = QStringView(address).mid(kScheme.size());
    if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
    }
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    const QStringView command = question < 0 ? rest : rest.first(question);
    if (command.compare(QLatin1String("add"), Qt::CaseInsensitive) != 0 &&
        command.compare(QLatin1String("add/"), Qt::CaseInsensitive) != 0) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Неизвестная команда «%1».")
                          .arg(shown(command.toString())));
    }
    TCaptureRequest r;
    QStringList seen;
    const QStringView query = question < 0 ? QStringView() : rest.mid(question + 1);
    for (const QStringView pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const QString name = (equals < 0 ? pair : pair.first(equals)).toString().toLower();
        QString value;
        if (!decoded(equals < 0 ? QStringView() : pair.mid(equals + 1), value)) {
            return refuse(QCoreApplication::translate("TCaptureRequest",
                                                      "Значение «%1» не в кодировке UTF-8.")
                              .arg(shown(name)));
        }
        QString* field = name == QLatin1String("url")           ? &r.URL
                         : name == QLatin1String("title")       ? &r.Title
                         : name == QLatin1String("description") ? &r.Description
                         : name == QLatin1String("category")    ? &r.Category
                                                                : nullptr;
        if (!field) {
            continue;  // a later bookmarklet may send more than this copy knows
        }
        if (seen.contains(name)) {
            return refuse(
                QCoreApplication::translate("TCaptureRequest", "Параметр «%1» указан дважды.")
                    .arg(shown(name)));
        }
        seen << name;
        *field = value;
    }
    return checked(r);
}

QString CaptureAddress(const TCaptureRequest& request) {
    QString address = QStringLiteral("linkarium:add?url=");
    address += QString::fromLatin1(QUrl::toPercentEncoding(request.URL));
    const auto add = [&address](const char* name, const QString& value) {
        if (!value.isEmpty()) {
            address += QLatin1Char('&') + QLatin1String(name) + QLatin1Char('=') +
                       QString::fromLatin1(QUrl::toPercentEncoding(value));
        }
    };
    add("title", request.Title);
    add("description", request.Description);
    add("category", request.Category);
    return address;
}

TCommandLine ParseCommandLine(const QStringList& arguments) {
    TCommandLine line;
    const auto error = [&line](const QString& why) {
        line.Kind = TCommandLine::TKind::Error;
        line.Error = why;
        return line;
    };
    if (arguments.isEmpty()) {
        return line;
    }
    if (arguments.size() == 1 && (arguments.first() == QLatin1String("--help") ||
                                  arguments.first() == QLatin1String("-h"))) {
        line.Kind = TCommandLine::TKind::Help;
        return line;
    }
    if (arguments.size() == 1 &&
        arguments.first().startsWith(QLatin1String("linkarium:"), Qt::CaseInsensitive)) {
        const TCaptureParse parse = ParseCaptureAddress(arguments.first());
        if (!parse.Ok()) {
            return error(parse.Refusal);
        }
        line.Kind = TCommandLine::TKind::Capture;
        line.Request = parse.Request;
        return line;
    }
    TCaptureRequest r;
    bool add = false;
    QStringList seen;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments.at(i);
        QString* field = option == QLatin1String("--add")           ? &r.URL
                         : option == QLatin1String("--title")       ? &r.Title
                         : option == QLatin1String("--description") ? &r.Description
                         : option == QLatin1String("--category")    ? &r.Category
                                                                    : nullptr;
        if (!field) {
            return error(QCoreApplication::translate(
                             "TCaptureRequest",
                             "Неизвестный параметр «%1». Список параметров: linkarium --help")
                             .arg(shown(option)));
        }
        if (seen.contains(option)) {
            return error(
                QCoreApplication::translate("TCaptureRequest", "Параметр «%1» указан дважды.")
                    .arg(shown(option)));
        }
        if (i + 1 >= arguments.size()) {
            return error(QCoreApplication::translate("TCaptureRequest", "После «%1» нет значения.")
                             .arg(shown(option)));
        }
        seen << option;
        add = add || option == QLatin1String("--add");
        *field = arguments.at(++i);
    }
    if (!add) {
        return error(QCoreApplication::translate(
            "TCaptureRequest",
            "«--title», «--description» и «--category» задаются вместе с «--add»."));
    }
    const TCaptureParse parse = checked(r);
    if (!parse.Ok()) {
        return error(parse.Refusal);
    }
    line.Kind = TCommandLine::TKind::Capture;
    line.Request = parse.Request;
    return line;
}

bool IsOwnCommandLine(const QStringList& arguments) {
    static const QStringList own = {QStringLiteral("--add"),         QStringLiteral("--title"),
                                    QStringLiteral("--description"), QStringLiteral("--category"),
                                    QStringLiteral("--help"),        QStringLiteral("-h")};
    return std::any_of(arguments.begin(), arguments.end(), [](const QString& a) {
        return own.contains(a) || a.startsWith(QLatin1String("linkarium:"), Qt::CaseInsensitive);
    });
}

QString CommandLineHelp() {
    return QCoreApplication::translate(
        "TCaptureRequest",
        "Использование:\n"
        "  linkarium                 открыть каталог\n"
        "  linkarium --add АДРЕС [--title ЗАГОЛОВОК] [--description ОПИСАНИЕ]\n"
        "            [--category КАТЕГОРИИ]\n"
        "                            открыть окно новой записи с этими данными\n"
        "                            (в уже запущенной копии, если она есть);\n"
        "                            запись сохраняется только по кнопке OK\n"
        "  linkarium linkarium:add?url=...&title=...\n"
        "                            то же для ссылки «linkarium:» из браузера\n"
        "  linkarium --help          эта справка\n");
}
