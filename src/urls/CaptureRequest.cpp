#include "urls/CaptureRequest.h"

#include "common/WebAddress.h"
#include "platform/Text.h"
#include "urls/Categories.h"

#include <QCoreApplication>
#include <QUrl>

#include <algorithm>

namespace {

// A control character other than the line breaks and tabs a selection may hold; in the
// address and the title, line breaks and tabs are refused too.
bool hasControl(const QString& text, bool multiLine) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (multiLine && (u == u'\n' || u == u'\r' || u == u'\t')) {
            continue;
        }
        if (u == 0 || c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
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
    if (hasControl(r.URL, false)) {
        return refuse(
            QCoreApplication::translate("TCaptureRequest", "Адрес содержит управляющий символ."));
    }
    const TAddressToOpen open = AddressToOpen(r.URL);
    if (open.url.isEmpty()) {
        return refuse(QCoreApplication::translate("TCaptureRequest", "Адрес «%1» не принят: %2.")
                          .arg(r.URL, open.refusal));
    }
    if (hasControl(r.Title, true) || hasControl(r.Description, true) ||
        hasControl(r.Category, true)) {
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

// A percent-encoded value as text; false when its bytes are not UTF-8.
bool decoded(QStringView encoded, QString& text) {
    QByteArray bytes = encoded.toUtf8();
    bytes.replace('+', ' ');  // a form's blank (HTML, application/x-www-form-urlencoded)
    bytes = QByteArray::fromPercentEncoding(bytes);
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
                          .arg(command.toString()));
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
                              .arg(name));
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
                    .arg(name));
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
                             .arg(option));
        }
        if (seen.contains(option)) {
            return error(
                QCoreApplication::translate("TCaptureRequest", "Параметр «%1» указан дважды.")
                    .arg(option));
        }
        if (i + 1 >= arguments.size()) {
            return error(QCoreApplication::translate("TCaptureRequest", "После «%1» нет значения.")
                             .arg(option));
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
