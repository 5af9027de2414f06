#include "urls/BookmarkHtmlReader.h"

#include "urls/BookmarkDescription.h"
#include "urls/BookmarkEncoding.h"
#include "urls/FolderChain.h"
#include "urls/HtmlTokenizer.h"

#include <QCoreApplication>

namespace {

constexpr int kProgressEveryTokens = 1024;

bool isTag(const THtmlToken& t, THtmlToken::Kind kind, const char* name) {
    return t.kind == kind && t.name == QLatin1String(name);
}

// The tags the bookmark format is made of; any other (P, BR, B...) leaves the reading as
// it is and only its text counts.
bool isStructural(const THtmlToken& t) {
    static const char* const kStart[] = {"dt", "dd", "dl", "h3", "a", "hr"};
    static const char* const kEnd[] = {"dt", "dd", "dl", "h3", "a"};
    if (t.kind == THtmlToken::StartTag) {
        for (const char* name : kStart) {
            if (t.name == QLatin1String(name)) {
                return true;
            }
        }
    } else if (t.kind == THtmlToken::EndTag) {
        for (const char* name : kEnd) {
            if (t.name == QLatin1String(name)) {
                return true;
            }
        }
    }
    return false;
}

class TBookmarkHtmlReader final {
public:
    TBookmarkHtmlReader(const TDecodedText& text, const TReadProgress& progress)
        : m_text(text), m_progress(progress) {}

    QVector<TImportedLink> Read() {
        THtmlTokenizer tokens(m_text.text);
        THtmlToken token;
        const qint64 total = m_text.text.size();
        qint64 seen = 0;
        while (tokens.Next(token)) {
            if (m_progress && ++seen % kProgressEveryTokens == 0) {
                m_progress(tokens.Position(), total);
            }
            if (token.kind == THtmlToken::Text) {
                if (m_capture != TCapture::None) {
                    m_captured += token.Decoded();
                }
                continue;
            }
            if (token.kind != THtmlToken::StartTag && token.kind != THtmlToken::EndTag) {
                continue;  // comments and declarations hold nothing of the bookmarks
            }
            const bool structural = isStructural(token);
            if (m_capture != TCapture::None &&
                (structural ||
                 (m_capture == TCapture::Folder && isTag(token, THtmlToken::EndTag, "h3")))) {
                finishCapture(token.begin);
            }
            if (structural) {
                tag(token);
            }
        }
        if (m_capture != TCapture::None) {
            finishCapture(total);
        }
        if (m_progress) {
            m_progress(total, total);
        }
        return std::move(m_out);
    }

private:
    enum class TCapture { None, Folder, Link, Note };

    void tag(const THtmlToken& t) {
        const bool start = t.kind == THtmlToken::StartTag;
        if ((start && (t.name == QLatin1String("dt") || t.name == QLatin1String("dl") ||
                       t.name == QLatin1String("h3"))) ||
            (!start && t.name == QLatin1String("dl"))) {
            m_inNote = false;
        }
        if (start && t.name == QLatin1String("h3")) {
            capture(TCapture::Folder, t.begin, -1);
        } else if (start && t.name == QLatin1String("hr")) {
            TImportedLink separator;
            separator.SkipReason = SeparatorSkipReason();
            m_out.append(separator);
        } else if (start && t.name == QLatin1String("dl")) {
            m_folders.Push(m_pendingFolder, m_pending);
            if (m_pending && m_pendingDamaged) {
                m_folders.Mark();
            }
            m_pending = false;
            m_pendingFolder.clear();
        } else if (!start && t.name == QLatin1String("dl")) {
            m_folders.Pop();
        } else if (start && t.name == QLatin1String("a")) {
            TImportedLink link;
            link.URL = t.Attribute(QLatin1String("href"));
            if (m_inNote) {
                link.SkipReason =
                    QCoreApplication::translate("LinkImport", "ссылка в заметке закладки");
            } else {
                if (!m_folders.Folders(link.Folders)) {
                    link.SkipReason = m_folders.OverBudgetReason();
                }
                const QString tags = t.Attribute(QLatin1String("tags"));
                if (!tags.isEmpty()) {
                    link.Tags = tags.split(QLatin1Char(','), Qt::SkipEmptyParts);
                }
                if (m_folders.Marked()) {
                    link.Damage = QCoreApplication::translate("LinkImport", "%1 в имени папки")
                                      .arg(m_text.reason);
                }
            }
            m_out.append(std::move(link));
            capture(TCapture::Link, t.begin, m_out.size() - 1);
        } else if (start && t.name == QLatin1String("dd")) {
            m_inNote = true;
            // The note of a link; a folder's note follows its H3 and is not taken.
            capture(TCapture::Note, t.begin, m_lastWasLink ? m_out.size() - 1 : -1);
        }
        m_lastWasLink = (start && t.name == QLatin1String("a")) ||
                        (m_lastWasLink && !start && t.name == QLatin1String("a"));
    }

    void capture(TCapture what, qsizetype begin, qsizetype entry) {
        m_capture = what;
        m_captureBegin = begin;
        m_captureEntry = entry;
        m_captured.clear();
    }

    void finishCapture(qsizetype end) {
        const bool damaged = m_text.Damaged(m_captureBegin, end);
        switch (m_capture) {
            case TCapture::Folder:
                m_pendingFolder = m_captured;
                m_pending = true;
                m_pendingDamaged = damaged;
                break;
            case TCapture::Link:
            case TCapture::Note:
                if (m_captureEntry >= 0) {
                    TImportedLink& link = m_out[m_captureEntry];
                    link.Description = m_capture == TCapture::Link
                                           ? BookmarkDescription(m_captured, QString())
                                           : BookmarkDescription(link.Description, m_captured);
                    if (damaged) {
                        link.Damage = m_text.reason;
                    }
                }
                break;
            case TCapture::None:
                break;
        }
        m_capture = TCapture::None;
        m_captured.clear();
    }

    const TDecodedText& m_text;
    const TReadProgress& m_progress;
    QVector<TImportedLink> m_out;
    // One level per open DL, holding the name of the folder (H3) it lists, if any.
    TFolderChain m_folders;
    QString m_pendingFolder;  // the H3 just read, for the DL that follows
    bool m_pending = false;
    bool m_pendingDamaged = false;
    bool m_lastWasLink = false;
    bool m_inNote = false;  // after a DD, before the next entry: its links are the note's
    // The text being gathered for a folder's name, a link's title or a note, from where.
    TCapture m_capture = TCapture::None;
    qsizetype m_captureBegin = 0;
    qsizetype m_captureEntry = -1;
    QString m_captured;
};

}  // namespace

QVector<TImportedLink> ReadBookmarkHtml(const TDecodedText& text, const TReadProgress& progress) {
    return TBookmarkHtmlReader(text, progress).Read();
}

QVector<TImportedLink> ReadBookmarkHtml(const QString& text, const TReadProgress& progress) {
    TDecodedText decoded;
    decoded.text = text;
    return ReadBookmarkHtml(decoded, progress);
}

QVector<TImportedLink> ReadBookmarkHtmlBytes(const QByteArray& bytes,
                                             const TReadProgress& progress) {
    return ReadBookmarkHtml(DecodeBookmarkBytes(bytes), progress);
}
