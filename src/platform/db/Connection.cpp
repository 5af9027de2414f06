#include "platform/db/Connection.h"

#include "platform/db/DataSet.h"
#include "platform/db/PostgresProvider.h"
#include "platform/db/RowStore.h"
#include "platform/db/ServerWait.h"
#include "platform/db/SqliteProvider.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QSocketNotifier>

#include <algorithm>
#include <utility>

std::unique_ptr<TDbProvider> CreateProvider(const TConnectionString& connection) {
    const QString name = connection.provider();
    if (name.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0 ||
        name.startsWith(QLatin1String("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive)) {
        return std::make_unique<TSqliteProvider>();
    }
    if (name.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        return std::make_unique<TPostgresProvider>();
    }
    throw EDatabaseError(
        QCoreApplication::translate("TConnection", "Поставщик данных \"%1\" не поддерживается.")
            .arg(name));
}

namespace {
// The first wait before a session the server ended is opened again, and the longest.
constexpr int kFirstRelinkMs = 500;
constexpr int kLongestRelinkMs = 30000;
// The wait after a reopening that a silent server made use up its time.
constexpr int kAfterSilentServerMs = 15000;
// How long an opening in the background may wait for the server.
constexpr int kBackgroundOpenSeconds = 2;
}  // namespace

TConnection::TConnection(QObject* parent) : QObject(parent) {
    m_notice.setSingleShot(true);
    // A coarse timer may fire up to a twentieth early: the notices would come closer
    // together than the promised second.
    m_notice.setTimerType(Qt::PreciseTimer);
    connect(&m_notice, &QTimer::timeout, this, [this]() {
        m_lastNotice.start();
        Q_EMIT ChangedElsewhere();
    });
    m_relink.setSingleShot(true);
    connect(&m_relink, &QTimer::timeout, this, &TConnection::relink);
}

TConnection::~TConnection() {
    try {
        Close();
    } catch (...) {
        // Closing never reports at destruction.
    }
    for (TDataSet* d : m_dataSets) {
        d->DetachConnection();
    }
}

void TConnection::SetConnectionString(const QString& text) {
    if (Connected()) {
        Close();
    }
    m_connectionString = text;
}

void TConnection::refuseWhileBusy() const {
    if (Busy()) {
        throw EDatabaseError(
            tr("Соединение с базой данных занято другой командой программы; повторите, когда "
               "она закончится."));
    }
}

void TConnection::Open() {
    refuseWhileBusy();
    if (Connected()) {
        return;
    }
    if (m_connectionString.trimmed().isEmpty()) {
        throw EDatabaseError(tr("Не задана строка подключения к базе данных."));
    }
    TConnectionString cs(m_connectionString);
    if (m_background) {
        // Tried again soon anyway: a server that does not answer within a moment is not
        // waited for.
        bool number = false;
        const int limit = cs.value(QStringLiteral("Connect Timeout")).trimmed().toInt(&number);
        if (!number || limit > kBackgroundOpenSeconds) {
            cs.setValue(QStringLiteral("Connect Timeout"), QString::number(kBackgroundOpenSeconds));
        }
    }
    auto provider = CreateProvider(cs);
    {
        m_opening = true;
        const auto opened = qScopeGuard([this]() { m_opening = false; });
        provider->open(cs);
    }
    m_provider = std::move(provider);
    m_level = 0;
    m_reconnect = false;
    ++m_epoch;
    watchNotifications();
    if (AfterConnect) {
        AfterConnect(*this);
    }
    if (m_linkDown && !m_background) {
        setLinkDown(false);
        // What the server holds now is read again by the views.
        Q_EMIT ChangedElsewhere();
    }
}

void TConnection::setLinkDown(bool down) {
    m_linkDown = down;
    if (down) {
        m_relinkDelayMs = kFirstRelinkMs;
        m_relink.start(m_relinkDelayMs);
    } else {
        m_relink.stop();
    }
    Q_EMIT LinkChanged(down);
}

void TConnection::relink() {
    if (!m_linkDown) {
        return;
    }
    if (Busy()) {
        // A wait on the connection is under way; tried again later.
        m_relink.start(m_relinkDelayMs);
        return;
    }
    // The reopening held the user's input for as long as it may.
    bool heldInput = false;
    try {
        if (m_level == 0) {
            const TQuietServerWait quiet;
            m_background = true;
            const auto foreground = qScopeGuard([this, &quiet, &heldInput]() {
                m_background = false;
                heldInput = quiet.Exhausted();
            });
            ReconnectIfLost();
        }
    } catch (const std::exception&) {
        // Not there yet: tried again later; the caption says the link is down meanwhile.
    }
    if (!m_linkDown) {
        return;
    }
    if (Connected() && !Lost()) {
        // Open again (perhaps with what was to follow the opening failed: the link is up all
        // the same). The views read what the server holds now, for the user, outside the
        // background's quiet wait.
        setLinkDown(false);
        Q_EMIT ChangedElsewhere();
        return;
    }
    // A server that lets a session in and then says nothing costs the user a moment at
    // each try: it is tried again only after a long while.
    m_relinkDelayMs = std::min(m_relinkDelayMs * 2, kLongestRelinkMs);
    if (heldInput) {
        m_relinkDelayMs = std::max(m_relinkDelayMs, kAfterSilentServerMs);
    }
    m_relink.start(m_relinkDelayMs);
}

void TConnection::ReconnectIfLost() {
    if (m_level > 0 || (!m_provider && !m_reconnect)) {
        return;
    }
    // An ended session under a wait is still the wait's: it is not freed from inside it.
    refuseWhileBusy();
    if (m_provider) {
        m_provider->poll();
        if (!m_provider->lost()) {
            return;
        }
        dropLostSession();
    }
    try {
        Open();
    } catch (...) {
        if (!Connected() && !m_linkDown) {
            // Found by a command before the socket told: the link is down all the same, and
            // the background tries again.
            setLinkDown(true);
        }
        throw;
    }
}

void TConnection::dropLostSession() {
    // A result still being read belongs to the ended session: those datasets close; the
    // others keep their rows, and the new epoch tells them they may be out of date.
    const QList<TDataSet*> dataSets = m_dataSets;
    for (TDataSet* d : dataSets) {
        if (d->Fetching()) {
            d->Close();
        }
    }
    delete m_notifier;
    m_notifier = nullptr;
    m_provider->close();
    m_provider.reset();
    m_reconnect = true;
}

void TConnection::watchNotifications() {
    delete m_notifier;
    m_notifier = nullptr;
    m_seenStamp = m_provider->changeStamp();
    const int socket = m_provider->notificationSocket();
    if (socket < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TConnection::notificationsArrived);
}

void TConnection::notificationsArrived() {
    if (!m_provider) {
        return;
    }
    const std::optional<qint64> stamp = m_provider->changeStamp();
    if (m_provider->lost()) {
        // The socket stays readable at its end: the session is opened again in the
        // background (or by the next command, whichever comes first).
        m_notifier->setEnabled(false);
        if (!m_linkDown) {
            setLinkDown(true);
        }
        return;
    }
    if (stamp == m_seenStamp) {
        return;
    }
    m_seenStamp = stamp;
    if (!m_notice.isActive()) {
        const qint64 since = m_lastNotice.isValid() ? m_lastNotice.elapsed() : kChangeNoticeMs;
        m_notice.start(static_cast<int>(std::max<qint64>(0, kChangeNoticeMs - since)));
    }
}

void TConnection::Close() {
    // The session a call waits for is the wait's: it is not freed from inside it.
    refuseWhileBusy();
    delete m_notifier;
    m_notifier = nullptr;
    m_notice.stop();
    m_reconnect = false;
    if (m_linkDown) {
        // The listeners heard the link go down: they hear that it no longer is.
        setLinkDown(false);
    }
    // Datasets first: they belong to this connection's results.
    const QList<TDataSet*> dataSets = m_dataSets;
    for (TDataSet* d : dataSets) {
        d->Close();
    }
    if (m_provider) {
        if (m_level > 0) {
            try {
                m_provider->execute(QStringLiteral("ROLLBACK"), {});
            } catch (const EDatabaseError&) {
                // The engine rolls back an open transaction when the file closes anyway.
            }
        }
        m_provider->close();
        m_provider.reset();
    }
    m_level = 0;
}

TDbProvider& TConnection::Provider() const {
    if (!Connected()) {
        throw EDatabaseError(tr("Нет соединения с базой данных."));
    }
    return *m_provider;
}

TDbProvider& TConnection::Writer() {
    ReconnectIfLost();
    const QList<TDataSet*> dataSets = m_dataSets;
    for (TDataSet* d : dataSets) {
        d->FetchRest();
    }
    return Provider();
}

TTranslatedSql TConnection::Translate(const QString& jetSql) const {
    TDbProvider& provider = Provider();
    return TranslateJetSql(jetSql, provider.dialect(), provider.sqlNames());
}

const TTranslatedSql& TTranslationCache::For(const TConnection* connection, const QString& jetSql) {
    if (!connection || !connection->Connected()) {
        if (!m_valid || m_epoch != 0) {
            m_sql = TranslateJetSql(jetSql, TSqlDialect::SQLite);
            m_valid = true;
            m_epoch = 0;
        }
        return m_sql;
    }
    TDbProvider& provider = connection->Provider();
    const TSqlNames* names = provider.sqlNames();
    const quint64 generation = names ? names->generation : 0;
    if (!m_valid || m_epoch != connection->Epoch() || m_names != names ||
        m_generation != generation) {
        m_sql = TranslateJetSql(jetSql, provider.dialect(), names);
        m_valid = true;
        m_epoch = connection->Epoch();
        m_names = names;
        m_generation = generation;
    }
    return m_sql;
}

int TConnection::BeginTrans() {
    TDbProvider& p = Writer();
    if (m_level == 0) {
        m_witnesses.clear();
        p.execute(p.beginSql(), {});
    } else {
        p.execute(QStringLiteral("SAVEPOINT lk_%1").arg(m_level), {});
    }
    return ++m_level;
}

void TConnection::CommitTrans() {
    TDbProvider& p = Provider();
    if (m_level <= 0) {
        throw EDatabaseError(tr("Нет активной транзакции."));
    }
    if (m_level == 1) {
        try {
            p.execute(QStringLiteral("COMMIT"), {});
        } catch (const EUnknownOutcomeError& e) {
            // The engine has ended the transaction either way.
            m_level = 0;
            settleCommit(e);
            return;
        }
        m_witnesses.clear();
    } else {
        p.execute(QStringLiteral("RELEASE SAVEPOINT lk_%1").arg(m_level - 1), {});
        // What the inner level wrote now stands or falls with the outer one.
        for (auto& w : m_witnesses) {
            w.first = std::min(w.first, m_level - 1);
        }
    }
    --m_level;
}

void TConnection::RollbackTrans() {
    TDbProvider& p = Provider();
    if (m_level <= 0) {
        throw EDatabaseError(tr("Нет активной транзакции."));
    }
    // The level drops even if the engine fails, so the program's count stays right.
    const int level = m_level--;
    // The witnesses of what is undone would speak of writes no longer in the transaction.
    m_witnesses.erase(std::remove_if(m_witnesses.begin(), m_witnesses.end(),
                                     [level](const auto& w) { return w.first >= level; }),
                      m_witnesses.end());
    if (level == 1) {
        p.execute(QStringLiteral("ROLLBACK"), {});
    } else {
        p.execute(QStringLiteral("ROLLBACK TO SAVEPOINT lk_%1").arg(level - 1), {});
        p.execute(QStringLiteral("RELEASE SAVEPOINT lk_%1").arg(level - 1), {});
    }
}

void TConnection::SetWitness(std::function<bool()> stored) {
    if (m_level > 0 && stored) {
        m_witnesses.emplace_back(m_level, std::move(stored));
    }
}

void TConnection::settleCommit(const EUnknownOutcomeError& error) {
    const auto witnesses = std::exchange(m_witnesses, {});
    // A fresh opening reads what the file holds, as the next start of the program will:
    // whatever the old session believed, the change is stored or not there.
    QString reopenError;
    try {
        dropLostSession();
        Open();
    } catch (const EError& e) {
        reopenError = e.message();
    }
    std::optional<bool> found;
    if (reopenError.isEmpty() && !witnesses.empty()) {
        try {
            for (const auto& w : witnesses) {
                const bool here = w.second();
                if (found && *found != here) {
                    // Witnesses that disagree tell nothing.
                    found.reset();
                    break;
                }
                found = here;
            }
        } catch (const EError& e) {
            found.reset();
            reopenError = e.message();
        }
    }
    if (found == false && !m_provider->forgetFailedCommit()) {
        // Not there now, but it may come back: only a later start could say.
        found.reset();
        reopenError = tr("то, что осталось от неудавшейся записи, не удалось стереть");
    }
    if (found == true) {
        Q_EMIT StoredDespiteError(
            tr("При сохранении диск или сервер сообщил об ошибке, но изменение сохранено: "
               "каталог открыт заново и проверен. Проверьте диск.\n%1")
                .arg(error.cause()));
        return;
    }
    if (found == false) {
        throw EDatabaseError(
            tr("Изменение не сохранено: при сохранении диск или сервер сообщил об ошибке, "
               "каталог открыт заново, изменения в нём нет.\n%1")
                .arg(error.cause()));
    }
    const QString why =
        reopenError.isEmpty() ? QString() : tr("\nПроверить не удалось: %1").arg(reopenError);
    throw EUnknownOutcomeError(
        tr("При сохранении диск или сервер сообщил об ошибке: неизвестно, сохранено ли "
           "изменение. Окно каталога покажет то, что в нём есть; проверьте, прежде чем "
           "сохранять снова.\n%1%2")
            .arg(error.cause(), why),
        error.cause());
}

QVariantList TConnection::valuesFor(const TTranslatedSql& t, const QVariantMap& params) {
    QVariantList values;
    for (const QString& name : t.parameters) {
        bool found = false;
        for (auto it = params.cbegin(); it != params.cend(); ++it) {
            if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
                values << it.value();
                found = true;
                break;
            }
        }
        if (!found) {
            throw EDatabaseError(tr("Параметр %1 не задан.").arg(name));
        }
    }
    return values;
}

qint64 TConnection::Execute(const QString& jetSql, const QVariantMap& params) {
    TDbProvider& writer = Writer();  // a session found ended is opened again first
    const TTranslatedSql t = Translate(jetSql);
    return writer.execute(t.sql, valuesFor(t, params));
}

QVariant TConnection::Value(const QString& jetSql, const QVariantMap& params) {
    // A session found ended is opened again, as for any other command.
    ReconnectIfLost();
    const TTranslatedSql t = Translate(jetSql);
    const QVariantList values = valuesFor(t, params);
    TRowStore rows;
    Provider().query(t.sql, values)->fetchAll(rows);
    return rows.size() > 0 && rows.columns() > 0 ? rows.cell(0, 0).variant() : QVariant();
}

void TConnection::RegisterDataSet(TDataSet* dataSet) {
    if (!m_dataSets.contains(dataSet)) {
        m_dataSets.append(dataSet);
    }
}

void TConnection::UnregisterDataSet(TDataSet* dataSet) {
    m_dataSets.removeAll(dataSet);
}

int RunTransaction(TConnection& connection, const std::function<void()>& work, int attempts) {
    const bool nested = connection.InTransaction();
    for (int run = 1;; ++run) {
        try {
            TTransaction transaction(connection);
            work();
            transaction.Commit();
            return run;
        } catch (const ETransientError&) {
            if (nested || run >= attempts) {
                throw;
            }
        }
    }
}

TTransaction::TTransaction(TConnection& connection) : m_connection(connection) {
    m_connection.BeginTrans();
    m_open = true;
}

TTransaction::~TTransaction() {
    if (m_open) {
        try {
            m_connection.RollbackTrans();
        } catch (...) {
            // Nothing can be reported from here; the engine drops the transaction itself.
        }
    }
}

void TTransaction::Commit() {
    m_connection.CommitTrans();
    m_open = false;
}
