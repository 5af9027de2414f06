#include "reports/ReportWriter.h"

#include "gridtools/FilterTemplatesUnit.h"
#include "platform/Errors.h"
#include "platform/db/DataSet.h"

#include <QCoreApplication>

namespace {

const QLatin1String kCrLf("\r\n");
// The parser of the template pass refuses a line this long.
constexpr int kMaxPageLine = 4096;
constexpr int kCellWidth = 127;

QString cellText(const TDataSet& dataSet, int position, const TField& field) {
    // Escaped first, so a record's text is shown and never read as markup; then its
    // line breaks become the page's.
    QString text = HtmlText(dataSet.DisplayTextAt(position, field));
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\r\n"), QLatin1String("<br>\r\n"));
    }
    text = BreakLongLines(text, kCellWidth);
    return text.isEmpty() ? QStringLiteral("&nbsp;") : text;
}

QString ruleLine(int columns) {
    return QStringLiteral(
               "  <TR>\r\n    <TD colspan=\"%1\"><hr size=\"1\" color=\"#000000\"></TD>\r\n"
               "  </TR>\r\n")
        .arg(columns);
}

bool needsQuotes(const QString& item) {
    for (const QChar c : item) {
        if (c.unicode() <= 32 || c == QLatin1Char(',') || c == QLatin1Char('"')) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString HtmlText(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('&') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
            c == QLatin1Char('"')) {
            return text.toHtmlEscaped();
        }
    }
    return text;
}

QString BreakLongLines(const QString& text, int width) {
    if (text.size() < width) {
        return text;
    }
    QString out;
    out.reserve(text.size() + text.size() / width + 2);
    qsizetype runStart = 0;    // where the current run begins in out
    qsizetype lastBlank = -1;  // the last blank of the run, in out
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('<')) {
            out += c;
            runStart = out.size();
            lastBlank = -1;
            continue;
        }
        if (out.size() - runStart >= width - 1 && lastBlank >= 0) {
            out.replace(lastBlank, 1, kCrLf);
            runStart = lastBlank + 2;
            lastBlank = -1;
        }
        if (c == QLatin1Char(' ')) {
            lastBlank = out.size();
        }
        out += c;
    }
    return out;
}

QString WriteReportTable(TDataSet& dataSet, const QList<TField*>& fields, const QString& title) {
    QList<const TField*> shown;
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        if (fields.contains(&dataSet.Fields(i))) {
            shown << &dataSet.Fields(i);
        }
    }
    if (dataSet.State() == TDataSetState::Edit || dataSet.State() == TDataSetState::Insert) {
        if (dataSet.Modified()) {
            dataSet.Post();
        } else {
            dataSet.Cancel();
        }
    }
    if (shown.isEmpty() || dataSet.RecordCount() <= 0) {
        return QString();
    }
    QString out;
    out += QStringLiteral(
               "<Table Width=\"100%\" CellSpacing=0 Border=0>\r\n  <Caption>\r\n"
               "    <p align=\"left\"><b><font size=\"3\">") +
           HtmlText(title) +
           QStringLiteral(
               "</font></b>\r\n    <hr size=\"3\" color=\"#000000\" noshade>\r\n"
               "  </Caption>\r\n  <b><TR VAlign=\"top\">\r\n");
    for (const TField* f : shown) {
        out += QStringLiteral("    <TH Align=\"left\"><font size=\"1\">") + HtmlText(f->Title()) +
               QStringLiteral("</font></TH>\r\n");
    }
    out += QStringLiteral("  </TR></b>\r\n") + ruleLine(shown.size());
    // Rows are read by position, so the current record and the attached grid are left
    // alone: nothing to restore, nothing repainted per record.
    const TDataSet::TControlsGuard quiet(dataSet);
    const QString cellStart = QStringLiteral("    <TD><font size=\"1\">");
    const QString cellEnd = QStringLiteral("</font></TD>\r\n");
    const int rows = dataSet.RecordCount();
    const int sample = 64;
    for (int row = 0; row < rows; ++row) {
        if (row == sample && rows > 4 * sample) {
            // One allocation for the whole page, sized after its first rows.
            out.reserve(static_cast<qsizetype>(out.size() * (double(rows) / sample) * 1.1));
        }
        out += QStringLiteral("  <TR VAlign=\"top\">\r\n");
        for (const TField* f : shown) {
            out += cellStart;
            out += cellText(dataSet, row, *f);
            out += cellEnd;
        }
        out += QStringLiteral("  </TR>\r\n");
    }
    out += ruleLine(shown.size()) + QStringLiteral("</Table>\r\n<p></p>\r\n\r\n");
    return out;
}

QString BuildReportPage(TDataSet& dataSet, const QList<TField*>& fields, const QString& title) {
    // Pages are UTF-8 like every text the program writes.
    const QString charset = QCoreApplication::translate("ReportWriter", "utf-8");
    QString page =
        QStringLiteral(
            "<html>\r\n\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=") +
        charset + QStringLiteral("\">\r\n<title>") + HtmlText(title) +
        QStringLiteral("</title>\r\n</head>\r\n\r\n<body>\r\n<font face=\"Arial\">\r\n\r\n");
    page += WriteReportTable(dataSet, fields, title);
    page += QStringLiteral("</font>\r\n</body>\r\n\r\n</html>");
    return page;
}

QString CommaText(const QStringList& items) {
    if (items.size() == 1 && items.first().isEmpty()) {
        return QStringLiteral("\"\"");
    }
    QStringList parts;
    for (const QString& item : items) {
        if (needsQuotes(item)) {
            parts << QLatin1Char('"') +
                         QString(item).replace(QLatin1String("\""), QLatin1String("\"\"")) +
                         QLatin1Char('"');
        } else {
            parts << item;
        }
    }
    return parts.join(QLatin1Char(','));
}

QStringList SplitCommaText(const QString& text) {
    QStringList items;
    int i = 0;
    const int n = text.size();
    const auto skipBlanks = [&text, &i, n]() {
        while (i < n && text.at(i).unicode() <= 32) {
            ++i;
        }
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text.at(i++);
            }
        } else {
            while (i < n && text.at(i).unicode() > 32 && text.at(i) != QLatin1Char(',')) {
                item += text.at(i++);
            }
        }
        items << item;
        skipBlanks();
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            skipBlanks();
            if (i >= n) {
                items << QString();  // a trailing comma ends with an empty item
            }
        }
    }
    return items;
}

QStringList SplitPageLines(const QString& text) {
    QStringList lines;
    int start = 0;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < n) {
        lines << text.mid(start);
    }
    return lines;
}

QString ProducePage(const QString& text) {
    const QChar* const data = text.constData();
    const int n = text.size();
    // The parser's line limit counts bytes of the UTF-8 text, line by line.
    int line = 1;
    int bytes = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n') {
                ++i;
            }
            ++line;
            bytes = 0;
            continue;
        }
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isSurrogate(c) ? 2 : 3;
        if (bytes >= kMaxPageLine) {
            throw EError(QCoreApplication::translate("ReportWriter", "Строка слишком длинная") +
                         QCoreApplication::translate("ReportWriter", " в строке ") +
                         QString::number(line));
        }
    }
    QString out;
    out.reserve(n + n / 64 + 2);
    int copied = 0;  // text before this index is in out
    bool lineOpen = false;
    for (int i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\r' || c == u'\n') {
            out.append(data + copied, i - copied);
            out += kCrLf;
            if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n') {
                ++i;
            }
            copied = i + 1;
            lineOpen = false;
            continue;
        }
        lineOpen = true;
        if (c != u'<') {
            continue;
        }
        int j = i + 1;
        while (j < n && data[j].unicode() == u' ') {
            ++j;
        }
        if (j < n && data[j].unicode() == u'#') {
            const int close = text.indexOf(QLatin1Char('>'), j);
            if (close >= 0) {
                out.append(data + copied, i - copied);
                // A tag that spans line ends takes them with it.
                i = close;
                copied = close + 1;
                lineOpen = true;
            }
        }
    }
    out.append(data + copied, n - copied);
    if (lineOpen) {
        out += kCrLf;
    }
    return out;
}

QString DetectCharset(const QString& text, const QString& defaultCharset) {
    static const QString mask =
        QStringLiteral("meta?*http-equiv*=*\"*Content-Type*\"?*content*=*\"*charset=@\"");
    int from = 0;
    while (from < text.size()) {
        const int lt = text.indexOf(QLatin1Char('<'), from);
        const int gt = text.indexOf(QLatin1Char('>'), from);
        if (lt < 0 || gt < 0) {
            break;
        }
        const QString tag = lt < gt ? text.mid(lt + 1, gt - lt - 1) : QString();
        from = gt + 1;
        const QString charset = ExtractMask(tag, mask);
        if (!charset.isEmpty()) {
            return charset;
        }
        QString bare = tag.toLower();
        while (bare.endsWith(QLatin1Char(' '))) {
            bare.chop(1);
        }
        if (bare == QLatin1String("/head")) {
            break;
        }
    }
    return defaultCharset;
}

bool IsHtmlMessage(const QString& text) {
    const int lt = text.indexOf(QLatin1Char('<'));
    const int gt = text.indexOf(QLatin1Char('>'));
    if (lt < 0 || gt < 0) {
        return false;
    }
    QString tag = lt < gt ? text.mid(lt + 1, gt - lt - 1).toLower() : QString();
    while (tag.endsWith(QLatin1Char(' '))) {
        tag.chop(1);
    }
    return tag == QLatin1String("html");
}

TReportParts SplitReportRows(const QString& page) {
    static const QString rowStart = QStringLiteral("\r\n  <TR VAlign=\"top\">\r\n");
    static const QString rowEnd = QStringLiteral("\r\n  </TR>\r\n");
    TReportParts parts;
    int at = page.indexOf(rowStart);
    if (at < 0) {
        parts.Head = page;
        return parts;
    }
    parts.Head = page.left(at);
    while (at >= 0) {
        const int next = page.indexOf(rowStart, at + rowStart.size());
        if (next >= 0) {
            parts.Rows << page.mid(at, next - at);
            at = next;
            continue;
        }
        const int end = page.indexOf(rowEnd, at + rowStart.size());
        const int stop = end < 0 ? page.size() : end + rowEnd.size() - 2;
        parts.Rows << page.mid(at, stop - at);
        parts.Tail = page.mid(stop);
        break;
    }
    return parts;
}
