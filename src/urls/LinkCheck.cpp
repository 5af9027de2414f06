#include "urls/LinkCheck.h"

#include "common/Clock.h"
#include "common/WebAddress.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

namespace {

const char* const kStatusNames[] = {"alive",        "restricted",   "moved",
                                    "client error", "server error", "unreachable"};

QString tr(const char* text) {
    return QCoreApplication::translate("LinkCheck", text);
}

bool isRedirect(int code) {
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

// RFC 6761, 6.4: names under "invalid." never resolve, and software may say so without
// asking a resolver.
bool neverResolves(const QString& host) {
    QString h = host.toLower();
    if (h.endsWith(QLatin1Char('.'))) {
        h.chop(1);
    }
    return h.isEmpty() || h == QLatin1String("invalid") || h.endsWith(QLatin1String(".invalid"));
}

QString networkReason(const QNetworkReply& reply, const QUrl& url) {
    switch (reply.error()) {
        case QNetworkReply::HostNotFoundError:
            return tr("Сервер %1 не найден").arg(url.host());
        case QNetworkReply::ConnectionRefusedError:
            return tr("Сервер %1 отказал в соединении").arg(url.host());
        case QNetworkReply::SslHandshakeFailedError:
            return tr("Ошибка TLS: %1").arg(reply.errorString());
        default:
            return reply.errorString();
    }
}

}  // namespace

QString LinkStatusName(TLinkVerdict verdict) {
    return QLatin1String(kStatusNames[static_cast<int>(verdict)]);
}

QString DeadLinkStatus() {
    return QStringLiteral("dead");
}

QStringList LinkStatusNames() {
    QStringList names;
    for (const char* name : kStatusNames) {
        names << QLatin1String(name);
    }
    return names << DeadLinkStatus();
}

bool IsFailedStatus(const QString& status) {
    return status.compare(LinkStatusName(TLinkVerdict::ClientError), Qt::CaseInsensitive) == 0 ||
           status.compare(LinkStatusName(TLinkVerdict::ServerError), Qt::CaseInsensitive) == 0 ||
           status.compare(LinkStatusName(TLinkVerdict::Unreachable), Qt::CaseInsensitive) == 0 ||
           status.compare(DeadLinkStatus(), Qt::CaseInsensitive) == 0;
}

TLinkVerdict VerdictOfAnswer(int httpCode, bool moved) {
    if (httpCode >= 200 && httpCode < 300) {
        return moved ? TLinkVerdict::Moved : TLinkVerdict::Alive;
    }
    if (httpCode == 401 || httpCode == 403 || httpCode == 429) {
        return TLinkVerdict::Restricted;
    }
    if (httpCode >= 400 && httpCode < 500) {
        return TLinkVerdict::ClientError;
    }
    if (httpCode >= 500 && httpCode < 600) {
        return TLinkVerdict::ServerError;
    }
    // 1xx at the end, a redirect without a place to go, or a number out of range: not an
    // answer a browser could show.
    return TLinkVerdict::ClientError;
}

bool CalledDead(const QList<QPair<QDateTime, QString>>& earlier, const QDateTime& now) {
    QList<QPair<QDateTime, QString>> checks = earlier;
    std::sort(checks.begin(), checks.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& check : checks) {
        if (check.first > now) {
            continue;
        }
        if (!IsFailedStatus(check.second)) {
            return false;
        }
        if (check.first.msecsTo(now) >= 24LL * 60 * 60 * 1000) {
            return true;
        }
    }
    return false;
}

QUrl AddressToCheck(const QString& text) {
    // What opening the link would ask for, so that a check and a click agree: a text
    // without a scheme gets http:// in front even when its query holds "//".
    const QString full = AddressToOpen(text).url;
    if (full.isEmpty()) {
        return QUrl();
    }
    const QUrl url(full, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return QUrl();
    }
    return url;
}

struct TLinkChecker::TRequest {
    quint64 id = 0;
    TLinkToCheck link;
    QString host;
    QUrl url;
    QSet<QUrl> seen;
    QNetworkReply* reply = nullptr;
    QTimer timer;
    // The time the server has had so far, over HEAD, GET and every redirect; waiting for
    // a turn on a host is not the server's time.
    qint64 spentMs = 0;
    QElapsedTimer sentAt;
    bool get = false;
    bool timedOut = false;
    // Every redirect so far was permanent (301, 308).
    bool permanent = true;
    int redirects = 0;
    int firstRedirect = 0;
    // The codes of the chain, in order.
    QList<int> codes;
    int status = 0;
    QUrl location;
};

TLinkChecker::TLinkChecker(QObject* parent)
    : QObject(parent), m_manager(std::make_unique<QNetworkAccessManager>()) {}

TLinkChecker::~TLinkChecker() {
    dropRequests();
}

// Every request in flight goes without a word: its answer, if one still comes, is heard
// by nobody.
void TLinkChecker::dropRequests() {
    for (TRequest* r : std::as_const(m_requests)) {
        if (r->reply) {
            r->reply->disconnect(this);
            r->reply->abort();
            r->reply->deleteLater();
        }
        delete r;
    }
    m_requests.clear();
}

void TLinkChecker::Start(const QList<TLinkToCheck>& links) {
    m_total += static_cast<int>(links.size());
    for (const TLinkToCheck& link : links) {
        const QUrl url = AddressToCheck(link.url);
        if (!url.isValid()) {
            ++m_skipped;
            ++m_done;
            continue;
        }
        const QString host = url.host().toLower();
        auto it = m_hosts.find(host);
        if (it == m_hosts.end()) {
            it = m_hosts.insert(host, THost());
            m_hostOrder << host;
        }
        it->pending.push_back(link);
        ++m_queued;
    }
    m_running = true;
    pump();
}

void TLinkChecker::Cancel() {
    if (!m_running) {
        return;
    }
    ++m_cancels;
    dropRequests();
    m_hosts.clear();
    m_hostOrder.clear();
    m_queued = 0;
    end(true);
}

void TLinkChecker::end(bool cancelled) {
    m_running = false;
    Q_EMIT Finished(cancelled);
}

// Starts what the limits allow, hosts taken in turn; a host held back by its delay is
// asked again when the delay is over.
void TLinkChecker::pump() {
    if (!m_running) {
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const quint64 cancels = m_cancels;
    qint64 wake = -1;
    // Requests in the middle of a chain (a redirect, a GET after HEAD) go first: they hold
    // their place among all requests already, and only their host's limits hold them back.
    for (auto it = m_hosts.begin(); it != m_hosts.end(); ++it) {
        THost& h = it.value();
        while (!h.waiting.empty() && h.active < Options.maxPerHost) {
            if (h.nextStart > now) {
                wake = wake < 0 ? h.nextStart : std::min(wake, h.nextStart);
                break;
            }
            TRequest* r = h.waiting.front();
            h.waiting.pop_front();
            ++h.active;
            h.nextStart = now + Options.hostDelayMs;
            send(r);
        }
    }
    int looked = 0;
    while (m_requests.size() < Options.maxRequests && m_queued > 0 && looked < m_hostOrder.size()) {
        if (m_nextHost >= m_hostOrder.size()) {
            m_nextHost = 0;
        }
        const QString host = m_hostOrder.at(m_nextHost);
        THost& h = m_hosts[host];
        if (h.pending.empty() && h.waiting.empty() && h.active == 0) {
            m_hosts.remove(host);
            m_hostOrder.removeAt(m_nextHost);
            continue;
        }
        if (h.pending.empty() || h.active >= Options.maxPerHost) {
            ++m_nextHost;
            ++looked;
            continue;
        }
        if (h.nextStart > now) {
            wake = wake < 0 ? h.nextStart : std::min(wake, h.nextStart);
            ++m_nextHost;
            ++looked;
            continue;
        }
        const TLinkToCheck link = h.pending.front();
        h.pending.pop_front();
        --m_queued;
        ++h.active;
        h.nextStart = now + Options.hostDelayMs;
        ++m_nextHost;
        looked = 0;
        begin(link, AddressToCheck(link.url));
        if (m_cancels != cancels) {
            return;  // cancelled by a slot of Checking: the check has ended
        }
    }
    if (m_requests.isEmpty() && m_queued == 0) {
        end(false);
        return;
    }
    if (wake >= 0 && !m_pumpPlanned) {
        m_pumpPlanned = true;
        QTimer::singleShot(static_cast<int>(std::max<qint64>(1, wake - now)), this, [this]() {
            m_pumpPlanned = false;
            pump();
        });
    }
}

void TLinkChecker::begin(const TLinkToCheck& link, const QUrl& url) {
    auto* r = new TRequest;
    r->id = ++m_lastId;
    r->link = link;
    r->host = url.host().toLower();
    r->url = url;
    r->seen.insert(url);
    r->timer.setSingleShot(true);
    connect(&r->timer, &QTimer::timeout, this, [this, r]() {
        r->timedOut = true;
        if (r->reply) {
            r->reply->abort();
        }
    });
    m_requests.insert(r);
    const quint64 cancels = m_cancels;
    Q_EMIT Checking(url.toString());
    if (m_cancels != cancels) {
        return;  // the cancel dropped the request
    }
    if (neverResolves(url.host())) {
        TLinkCheckResult result;
        result.verdict = TLinkVerdict::Unreachable;
        result.error = tr("Сервер %1 не найден").arg(url.host());
        // Reported from the event loop, as every other answer is; a cancel may come first.
        const quint64 id = r->id;
        QTimer::singleShot(0, this, [this, r, id, result]() {
            if (m_requests.contains(r) && r->id == id) {
                finish(r, result);
            }
        });
        return;
    }
    send(r);
}

void TLinkChecker::send(TRequest* r) {
    QNetworkRequest request(r->url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Linkarium/%1").arg(QLatin1String(LINKARIUM_VERSION)));
    request.setRawHeader("Accept", "*/*");
    r->timedOut = false;
    r->status = 0;
    r->location = QUrl();
    r->reply = r->get ? m_manager->get(request) : m_manager->head(request);
    QNetworkReply* reply = r->reply;
    // The status line and the headers are all a check needs: a GET stops there rather
    // than reading the page.
    connect(reply, &QNetworkReply::metaDataChanged, this, [r, reply]() {
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (code.isValid() && r->status == 0) {
            r->status = code.toInt();
            r->location = QUrl::fromEncoded(reply->rawHeader("Location"));
            if (r->get) {
                reply->abort();
            }
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, r]() { answered(r); });
    // A HEAD that is not answered leaves half of the time for the GET after it.
    const qint64 left = Options.timeoutMs - r->spentMs;
    r->timer.start(static_cast<int>(std::max<qint64>(
        1,
        r->get || r->redirects > 0 ? left : std::min<qint64>(left, (Options.timeoutMs + 1) / 2))));
    r->sentAt.start();
}

void TLinkChecker::again(TRequest* r, const QUrl& url) {
    // The next request of a chain waits for a turn on its own host, as a new link does.
    auto old = m_hosts.find(r->host);
    if (old != m_hosts.end()) {
        --old->active;
    }
    r->url = url;
    r->host = url.host().toLower();
    auto it = m_hosts.find(r->host);
    if (it == m_hosts.end()) {
        it = m_hosts.insert(r->host, THost());
        m_hostOrder << r->host;
    }
    it->waiting.push_back(r);
    pump();
}

void TLinkChecker::answered(TRequest* r) {
    r->timer.stop();
    r->spentMs += r->sentAt.elapsed();
    QNetworkReply* reply = r->reply;
    r->reply = nullptr;
    reply->deleteLater();
    int status = r->status;
    if (status == 0 && !r->timedOut) {
        status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r->location = QUrl::fromEncoded(reply->rawHeader("Location"));
    }
    TLinkCheckResult result;
    if (status == 0) {
        if (!r->get && r->timedOut && r->spentMs < Options.timeoutMs) {
            r->get = true;
            again(r, r->url);
            return;
        }
        result.verdict = TLinkVerdict::Unreachable;
        result.error = r->timedOut ? tr("Сервер %1 не ответил за %2 с")
                                         .arg(r->url.host())
                                         .arg(Options.timeoutMs / 1000.0)
                                   : networkReason(*reply, r->url);
        finish(r, result);
        return;
    }
    if (!r->get && (status == 405 || status == 501)) {
        r->get = true;
        again(r, r->url);
        return;
    }
    r->codes << status;
    if (isRedirect(status) && r->location.isValid() && !r->location.isEmpty()) {
        const QUrl next = r->url.resolved(r->location);
        if (r->redirects == 0) {
            r->firstRedirect = status;
        }
        r->permanent = r->permanent && (status == 301 || status == 308);
        ++r->redirects;
        if (r->seen.contains(next)) {
            result.verdict = TLinkVerdict::Unreachable;
            result.httpCode = status;
            result.error = tr("Перенаправления идут по кругу: %1").arg(next.toString());
            finish(r, result);
            return;
        }
        if (r->redirects > Options.maxRedirects) {
            result.verdict = TLinkVerdict::Unreachable;
            result.httpCode = status;
            result.error = tr("Больше %1 перенаправлений").arg(Options.maxRedirects);
            finish(r, result);
            return;
        }
        const QString scheme = next.scheme().toLower();
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
            result.verdict = TLinkVerdict::Unreachable;
            result.httpCode = status;
            result.error =
                tr("Перенаправление на адрес, который не проверяется: %1").arg(next.toString());
            finish(r, result);
            return;
        }
        r->seen.insert(next);
        if (r->spentMs >= Options.timeoutMs) {
            result.verdict = TLinkVerdict::Unreachable;
            result.httpCode = status;
            result.error =
                tr("Сервер %1 не ответил за %2 с").arg(next.host()).arg(Options.timeoutMs / 1000.0);
            finish(r, result);
            return;
        }
        again(r, next);
        return;
    }
    // Moved only when every hop was permanent and the end answers: a temporary hop may
    // lead to a session's or a campaign's address, never one to keep.
    const QUrl original = AddressToCheck(r->link.url);
    const bool moved =
        r->redirects > 0 && r->permanent &&
        r->url.adjusted(QUrl::StripTrailingSlash) != original.adjusted(QUrl::StripTrailingSlash);
    result.verdict = VerdictOfAnswer(status, moved);
    // The code of the answer that decided: the first redirect of a moved link, the final
    // answer otherwise (a 301 that ends in a 404 is a 404).
    result.httpCode = result.verdict == TLinkVerdict::Moved ? r->firstRedirect : status;
    if (result.verdict == TLinkVerdict::ClientError ||
        result.verdict == TLinkVerdict::ServerError) {
        result.error = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    }
    finish(r, result);
}

void TLinkChecker::finish(TRequest* r, TLinkCheckResult result) {
    result.key = r->link.key;
    result.url = r->link.url;
    result.checkedAt = Now();
    if (r->redirects > 0) {
        result.finalUrl = r->url.toString();
        if (result.verdict != TLinkVerdict::Alive && result.verdict != TLinkVerdict::Moved) {
            QStringList codes;
            for (const int code : std::as_const(r->codes)) {
                codes << QString::number(code);
            }
            const QString chain = tr("перенаправления: %1").arg(codes.join(QStringLiteral(" → ")));
            result.error =
                result.error.isEmpty() ? chain : result.error + QStringLiteral("; ") + chain;
        }
    }
    m_requests.remove(r);
    auto host = m_hosts.find(r->host);
    if (host != m_hosts.end()) {
        --host->active;
    }
    delete r;
    ++m_done;
    Q_EMIT Checked(result);
    // A slot of Checked may have cancelled.
    if (m_running) {
        pump();
    }
}
