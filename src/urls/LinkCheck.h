#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <deque>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// What one check of an address found.
enum class TLinkVerdict { Alive, Restricted, Moved, ClientError, ServerError, Unreachable };

// The words stored in the catalogue for a verdict; one language for every user of a shared
// catalogue, so that filters and reports agree.
QString LinkStatusName(TLinkVerdict verdict);
// What a record's status may say: the verdicts, then "dead".
QStringList LinkStatusNames();
QString DeadLinkStatus();
// Client errors, server errors and unreachable addresses: the failures that can make a
// link dead.
bool IsFailedStatus(const QString& status);

// The verdict of a check's final HTTP answer; moved: every redirect of the chain was
// permanent (301, 308) and it ended at another address.
TLinkVerdict VerdictOfAnswer(int httpCode, bool moved);

// A failed check calls its link dead only when the failures run back, with no other
// answer between, to one at least a day older; one bad day or a soft failure is not enough.
// earlier: status and time of the record's earlier checks, in any order.
bool CalledDead(const QList<QPair<QDateTime, QString>>& earlier, const QDateTime& now);

// The address a check asks for: one without a scheme as http://, as it is opened; an
// invalid URL for what is not checked (file:, mailto: and every scheme but http and https).
QUrl AddressToCheck(const QString& text);

struct TLinkToCheck {
    QVariant key;
    QString url;
};

struct TLinkCheckResult {
    QVariant key;
    QString url;
    QDateTime checkedAt;
    TLinkVerdict verdict = TLinkVerdict::Unreachable;
    // The answer that decided the verdict (the first redirect's for a moved link); 0 when
    // nothing answered.
    int httpCode = 0;
    QString finalUrl;
    QString error;
};

struct TLinkCheckOptions {
    int timeoutMs = 15000;
    int maxRequests = 8;
    int maxPerHost = 2;
    // Between two requests started on one host.
    int hostDelayMs = 100;
    int maxRedirects = 10;
};

// Checks addresses on the calling thread's event loop: HEAD, then GET when HEAD is refused
// (405, 501) or unanswered; redirects followed by hand so that permanent ones, loops and
// long chains are seen. A GET is cut off as soon as its status line and headers are in.
class TLinkChecker final : public QObject {
    Q_OBJECT
public:
    explicit TLinkChecker(QObject* parent = nullptr);
    ~TLinkChecker() override;

    TLinkCheckOptions Options;

    // Queues the links and starts; addresses that are not checked are counted as skipped.
    void Start(const QList<TLinkToCheck>& links);
    // Stops every request in flight; results already reported stand.
    void Cancel();
    bool Running() const { return m_running; }
    int Total() const { return m_total; }
    int Done() const { return m_done; }
    int Skipped() const { return m_skipped; }

Q_SIGNALS:
    void Checking(const QString& url);
    void Checked(const TLinkCheckResult& result);
    void Finished(bool cancelled);

private:
    struct TRequest;
    struct THost {
        int active = 0;
        qint64 nextStart = 0;
        std::deque<TLinkToCheck> pending;
        // Requests of chains under way whose next request is for this host.
        std::deque<TRequest*> waiting;
    };

    void pump();
    void begin(const TLinkToCheck& link, const QUrl& url);
    void send(TRequest* request);
    void again(TRequest* request, const QUrl& url);
    void answered(TRequest* request);
    void finish(TRequest* request, TLinkCheckResult result);
    void end(bool cancelled);
    void dropRequests();

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QHash<QString, THost> m_hosts;
    QStringList m_hostOrder;
    int m_nextHost = 0;
    QSet<TRequest*> m_requests;
    quint64 m_lastId = 0;
    int m_queued = 0;
    int m_total = 0;
    int m_done = 0;
    int m_skipped = 0;
    bool m_running = false;
    bool m_pumpPlanned = false;
    // Counts the cancels: a slot of Checking may cancel in the middle of a pump.
    quint64 m_cancels = 0;
};
