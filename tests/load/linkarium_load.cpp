// Many programs on one server catalogue at once, through the core library as the program
// writes: linkarium_load [--clients N] [--commands N] [--seconds N] makes a catalogue of its
// own on the server LINKARIUM_TEST_PG (or LINKARIUM_BENCH_PG) names, starts N copies of
// itself as clients, each doing random record commands (add, edit, duplicate, delete, a
// category change with the category joining the shared list), and then checks what every
// client was told against the final tables:
// - every edit either landed or was reported as a conflict, and the landed edits of each
//   record and column form one chain from its first value to its last (two landed edits
//   that read the same value would be a lost update);
// - a record is there exactly when no delete of it landed;
// - every category a record names is in the shared list (a change and its category are
//   written together or not at all);
// - no client is left waiting: each ends before the time limit, deadlocks the server broke
//   having been run again a bounded number of times and then reported.
// Exit status 0 when all holds; without a server it says so and exits 0.
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DataSet.h"
#include "platform/db/Schema.h"
#include "urls/Duplicates.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void say(const QString& text) {
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

QString newKey() {
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

// One line of a client's log: op, key, column, value read, value written, outcome, runs,
// message. Outcomes: landed, conflict, failed, gone (the record was not there to read).
struct TEntry {
    QString op, key, column, before, after, outcome;
    int runs = 0;
    QString message;
};

QString escaped(QString text) {
    return text.replace(QLatin1Char('\t'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

class TClient final {
public:
    TClient(const QString& connection, int index, const QString& logFile)
        : m_index(index), m_random(static_cast<quint32>(index * 7919 + 17)), m_log(logFile) {
        m_connection.SetConnectionString(connection);
        m_connection.Open();
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            throw EError(QStringLiteral("cannot write %1").arg(logFile));
        }
    }

    void run(int commands) {
        for (int n = 0; n < commands; ++n) {
            if (n % 25 == 0) {
                readKeys();
            }
            const QString token = QStringLiteral("c%1-%2").arg(m_index).arg(n);
            const int pick = static_cast<int>(m_random.bounded(100));
            if (pick < 15 || m_keys.isEmpty()) {
                add(token);
                continue;
            }
            const QString key = m_keys.at(static_cast<int>(m_random.bounded(m_keys.size())));
            const QString other = m_keys.at(static_cast<int>(m_random.bounded(m_keys.size())));
            if (pick < 50) {
                edit(key, QStringLiteral("Description"), token);
            } else if (pick < 68) {
                edit(key, QStringLiteral("Category"), QStringLiteral("K-") + token);
            } else if (pick < 80) {
                duplicate(key);
            } else if (pick < 88 && other != key) {
                merge(key, other);
            } else {
                remove(key);
            }
        }
    }

private:
    void readKeys() {
        TDataSet ds;
        ds.SetConnection(&m_connection);
        ds.SetCommandText(QStringLiteral("SELECT SubjectURLID FROM SubjectURLs"));
        ds.Open();
        m_keys.clear();
        for (ds.First(); !ds.Eof(); ds.Next()) {
            m_keys << ds.Fields(0).AsString();
        }
    }

    void write(const TEntry& e) {
        QTextStream out(&m_log);
        out << e.op << '\t' << e.key << '\t' << e.column << '\t' << e.before << '\t' << e.after
            << '\t' << e.outcome << '\t' << e.runs << '\t' << escaped(e.message) << '\n';
        out.flush();
    }

    // Runs work as the program does and notes the outcome in e.
    static void attempt(TConnection& connection, TEntry& e, const std::function<void()>& work) {
        try {
            e.runs = RunTransaction(connection, work);
            e.outcome = QStringLiteral("landed");
        } catch (const EConflictError& x) {
            e.outcome = QStringLiteral("conflict");
            e.message = x.message();
        } catch (const ETransientError& x) {
            e.outcome = QStringLiteral("failed");
            e.runs = kTransactionAttempts;
            e.message = x.message();
        } catch (const EDatabaseError& x) {
            e.outcome = QStringLiteral("failed");
            e.message = x.message();
        } catch (const EError& x) {
            e.outcome = QStringLiteral("refused");  // the program's own check said no
            e.message = x.message();
        }
    }

    std::unique_ptr<TDataSet> record(const QString& key) {
        auto ds = std::make_unique<TDataSet>();
        ds->SetConnection(&m_connection);
        ds->SetCommandText(QStringLiteral("SELECT * FROM SubjectURLs WHERE SubjectURLID = :ID"));
        ds->SetLockType(TLockType::BatchOptimistic);
        ds->Parameters().ParamByName(QStringLiteral("ID")).SetValue(key);
        ds->Open();
        return ds;
    }

    void add(const QString& token) {
        TEntry e{QStringLiteral("add"), newKey(), QString(), QString(), token, {}, 0, {}};
        const QString category = QStringLiteral("K-") + token;
        attempt(m_connection, e, [&]() {
            m_connection.Execute(
                QStringLiteral("INSERT INTO CategoryList (CategoryName) VALUES (:N)"),
                {{QStringLiteral("N"), category}});
            m_connection.Execute(
                QStringLiteral("INSERT INTO SubjectURLs (SubjectURLID, URL, "
                               "Description, Category) VALUES (:K, :U, :D, :C)"),
                {{QStringLiteral("K"), e.key},
                 {QStringLiteral("U"), QString(token + QStringLiteral(".example"))},
                 {QStringLiteral("D"), token},
                 {QStringLiteral("C"), category}});
        });
        write(e);
        if (e.outcome == QLatin1String("landed")) {
            m_keys << e.key;
        }
    }

    // The record dialog's way: read the record, change it, save it with the values read as
    // the check that nobody changed it since; a new category joins the list in the same
    // transaction, before the record's row, so that nothing but the commit follows the
    // batch.
    void edit(const QString& key, const QString& column, const QString& value) {
        TEntry e{QStringLiteral("edit"), key, column, QString(), value, {}, 0, {}};
        std::unique_ptr<TDataSet> ds = record(key);
        if (ds->IsEmpty()) {
            e.outcome = QStringLiteral("gone");
            write(e);
            return;
        }
        e.before = ds->FieldByName(column).AsString();
        attempt(m_connection, e, [&]() {
            if (column == QLatin1String("Category")) {
                m_connection.Execute(
                    QStringLiteral("INSERT INTO CategoryList (CategoryName) VALUES (:N)"),
                    {{QStringLiteral("N"), value}});
            }
            if (!ds->UpdatesPending()) {
                ds->Edit();
                ds->FieldByName(column).SetAsString(value);
                ds->Post();
            }
            ds->UpdateBatch();
        });
        write(e);
        if (ds->UpdatesPending()) {
            ds->CancelBatch();
        }
    }

    // The view's duplicate command: a copy under a new key, its values as the server had
    // them at that moment, read back in the same transaction.
    void duplicate(const QString& key) {
        TEntry e{QStringLiteral("duplicate"), QString(), key, QString(), QString(), {}, 0, {}};
        bool copied = false;
        attempt(m_connection, e, [&]() {
            e.key = newKey();
            copied = m_connection.Execute(
                         QStringLiteral("INSERT INTO SubjectURLs (SubjectURLID, SubjectID, "
                                        "Description, URL, Visited, Category) SELECT :K AS "
                                        "SubjectURLID, SubjectID, Description, URL, Visited, "
                                        "Category FROM SubjectURLs WHERE SubjectURLID = :S"),
                         {{QStringLiteral("K"), e.key}, {QStringLiteral("S"), key}}) == 1;
            if (copied) {
                std::unique_ptr<TDataSet> copy = record(e.key);
                e.before = copy->FieldByName(QStringLiteral("Description")).AsString();
                e.after = copy->FieldByName(QStringLiteral("Category")).AsString();
            }
        });
        if (e.outcome == QLatin1String("landed") && !copied) {
            e.outcome = QStringLiteral("gone");
        }
        write(e);
    }

    // The duplicates window's merge of two records found alike: the first kept, the texts
    // joined, the second deleted; what the kept one holds afterwards is read back in the
    // same transaction.
    void merge(const QString& keep, const QString& drop) {
        TEntry e{QStringLiteral("merge"),
                 keep,
                 QStringLiteral("Description"),
                 QString(),
                 QString(),
                 {},
                 0,
                 {}};
        TDuplicateGroup group;
        for (const QString& key : {keep, drop}) {
            std::unique_ptr<TDataSet> ds = record(key);
            if (ds->IsEmpty()) {
                e.outcome = QStringLiteral("gone");
                write(e);
                return;
            }
            group.records.append({key, ds->FieldByName(QStringLiteral("URL")).AsString(),
                                  ds->FieldByName(QStringLiteral("Description")).AsString(),
                                  ds->FieldByName(QStringLiteral("Category")).AsString(),
                                  ds->FieldByName(QStringLiteral("Visited")).AsBoolean()});
        }
        e.before = group.records.at(0).description;
        QString category;
        attempt(m_connection, e, [&]() {
            TDuplicates(m_connection).Merge(group, 0);
            std::unique_ptr<TDataSet> merged = record(keep);
            e.after = merged->FieldByName(QStringLiteral("Description")).AsString();
            category = merged->FieldByName(QStringLiteral("Category")).AsString();
        });
        write(e);
        if (e.outcome == QLatin1String("landed")) {
            write({QStringLiteral("merge-part"),
                   keep,
                   QStringLiteral("Category"),
                   group.records.at(0).category,
                   category,
                   e.outcome,
                   e.runs,
                   {}});
            write({QStringLiteral("merge-delete"),
                   drop,
                   QString(),
                   QString(),
                   QString(),
                   e.outcome,
                   e.runs,
                   {}});
        }
    }

    void remove(const QString& key) {
        TEntry e{QStringLiteral("delete"), key, QString(), QString(), QString(), {}, 0, {}};
        std::unique_ptr<TDataSet> ds = record(key);
        if (ds->IsEmpty()) {
            e.outcome = QStringLiteral("gone");
            write(e);
            return;
        }
        attempt(m_connection, e, [&]() {
            if (!ds->UpdatesPending()) {
                ds->Delete();
            }
            ds->UpdateBatch();
        });
        write(e);
    }

    TConnection m_connection;
    int m_index;
    QRandomGenerator m_random;
    QFile m_log;
    QStringList m_keys;
};

QList<TEntry> readLog(const QString& file) {
    QList<TEntry> entries;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return entries;
    }
    while (!f.atEnd()) {
        const QStringList p = QString::fromUtf8(f.readLine()).chopped(1).split(QLatin1Char('\t'));
        if (p.size() == 8) {
            entries.append({p[0], p[1], p[2], p[3], p[4], p[5], p[6].toInt(), p[7]});
        }
    }
    return entries;
}

// The final state against every client's log; the faults found, or none.
QStringList verify(TConnection& c, const QList<TEntry>& log, int seeds) {
    QStringList faults;
    struct TRecord {
        QHash<QString, QString> first;  // column → the value it started with
        bool deleted = false;
    };
    QHash<QString, TRecord> made;
    for (const TEntry& e : log) {
        if (e.outcome != QLatin1String("landed")) {
            continue;
        }
        if (e.op == QLatin1String("add")) {
            made[e.key].first = {{QStringLiteral("Description"), e.after},
                                 {QStringLiteral("Category"), QStringLiteral("K-") + e.after}};
        } else if (e.op == QLatin1String("duplicate")) {
            made[e.key].first = {{QStringLiteral("Description"), e.before},
                                 {QStringLiteral("Category"), e.after}};
        }
    }
    for (int i = 0; i < seeds; ++i) {
        made[QStringLiteral("{5EED0000-0000-0000-0000-%1}").arg(i, 12, 10, QLatin1Char('0'))]
            .first = {{QStringLiteral("Description"), QStringLiteral("seed-%1").arg(i)},
                      {QStringLiteral("Category"), QStringLiteral("K-seed-%1").arg(i)}};
    }
    // record, column → the landed edits by the value they read
    QHash<QString, QHash<QString, QStringList>> edits;
    for (const TEntry& e : log) {
        if (e.outcome != QLatin1String("landed")) {
            continue;
        }
        if (e.op == QLatin1String("edit") || e.op == QLatin1String("merge") ||
            e.op == QLatin1String("merge-part")) {
            if (!made.contains(e.key)) {
                faults << QStringLiteral("an edit landed on %1, which was never made").arg(e.key);
            }
            // A merge may leave a column as it was; such a write changes no chain.
            if (e.before != e.after) {
                edits[e.key + QLatin1Char('|') + e.column][e.before] << e.after;
            }
        } else if (e.op == QLatin1String("delete") || e.op == QLatin1String("merge-delete")) {
            made[e.key].deleted = true;
        }
    }
    TDataSet rows;
    rows.SetConnection(&c);
    rows.SetCommandText(
        QStringLiteral("SELECT SubjectURLID, Description, Category FROM SubjectURLs"));
    rows.Open();
    QHash<QString, QHash<QString, QString>> now;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        now[rows.Fields(0).AsString()] = {
            {QStringLiteral("Description"), rows.Fields(1).AsString()},
            {QStringLiteral("Category"), rows.Fields(2).AsString()}};
    }
    for (auto r = made.cbegin(); r != made.cend(); ++r) {
        const bool there = now.contains(r.key());
        if (there == r->deleted) {
            faults << QStringLiteral("%1 is %2, though %3 delete of it landed")
                          .arg(r.key(), there ? QStringLiteral("there") : QStringLiteral("gone"),
                               r->deleted ? QStringLiteral("a") : QStringLiteral("no"));
        }
        for (auto col = r->first.cbegin(); col != r->first.cend(); ++col) {
            QHash<QString, QStringList> chain = edits.value(r.key() + QLatin1Char('|') + col.key());
            QString value = col.value();
            while (chain.contains(value)) {
                const QStringList next = chain.take(value);
                if (next.size() > 1) {
                    faults << QStringLiteral("lost update on %1 %2: %3 landed edits read \"%4\"")
                                  .arg(r.key(), col.key())
                                  .arg(next.size())
                                  .arg(value);
                }
                value = next.first();
            }
            if (!chain.isEmpty()) {
                faults << QStringLiteral(
                              "lost update on %1 %2: a landed edit read \"%3\", "
                              "which the record never held")
                              .arg(r.key(), col.key(), chain.cbegin().key());
            }
            if (there && now[r.key()].value(col.key()) != value) {
                faults << QStringLiteral("%1 %2 is \"%3\"; the last landed change wrote \"%4\"")
                              .arg(r.key(), col.key(), now[r.key()].value(col.key()), value);
            }
        }
    }
    for (auto n = now.cbegin(); n != now.cend(); ++n) {
        if (!made.contains(n.key())) {
            faults
                << QStringLiteral("%1 is there, but no client was told it was made").arg(n.key());
        }
    }
    // Every name a record's categories hold is in the shared list.
    TDataSet list;
    list.SetConnection(&c);
    list.SetCommandText(QStringLiteral("SELECT CategoryName FROM CategoryList"));
    list.Open();
    QSet<QString> names;
    for (list.First(); !list.Eof(); list.Next()) {
        names.insert(list.Fields(0).AsString());
    }
    int orphans = 0;
    for (auto n = now.cbegin(); n != now.cend(); ++n) {
        for (const QString& name :
             n->value(QStringLiteral("Category")).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            orphans += names.contains(name.trimmed()) ? 0 : 1;
        }
    }
    if (orphans > 0) {
        faults << QStringLiteral("%1 category names in records are not in the list").arg(orphans);
    }
    return faults;
}

int runAll(const QString& server, int clients, int commands, int seconds) {
    constexpr int kSeeds = 100;
    TConnection admin;
    admin.SetConnectionString(server);
    admin.Open();
    const QString database = QStringLiteral("lk_load_%1").arg(QCoreApplication::applicationPid());
    admin.Execute(QStringLiteral("CREATE DATABASE %1").arg(database));
    int status = 1;
    try {
        TConnectionString cs(server);
        cs.setValue(QStringLiteral("Initial Catalog"), database);
        TConnection c;
        c.SetConnectionString(cs.toString());
        c.Open();
        CreateServerCatalogue(c);
        {
            TTransaction t(c);
            for (int i = 0; i < kSeeds; ++i) {
                const QString category = QStringLiteral("K-seed-%1").arg(i);
                c.Execute(QStringLiteral("INSERT INTO CategoryList (CategoryName) VALUES (:N)"),
                          {{QStringLiteral("N"), category}});
                c.Execute(QStringLiteral("INSERT INTO SubjectURLs (SubjectURLID, URL, Description, "
                                         "Category) VALUES (:K, :U, :D, :C)"),
                          {{QStringLiteral("K"), QStringLiteral("{5EED0000-0000-0000-0000-%1}")
                                                     .arg(i, 12, 10, QLatin1Char('0'))},
                           {QStringLiteral("U"), QStringLiteral("seed%1.example").arg(i)},
                           {QStringLiteral("D"), QStringLiteral("seed-%1").arg(i)},
                           {QStringLiteral("C"), category}});
            }
            t.Commit();
        }
        QTemporaryDir logs;
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<QProcess>> running;
        for (int i = 0; i < clients; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--client"), QString::number(i), QString::number(commands),
                      cs.toString(), logs.filePath(QStringLiteral("client-%1.log").arg(i))});
            running.push_back(std::move(p));
        }
        const QDeadlineTimer deadline(static_cast<qint64>(seconds) * 1000);
        QStringList faults;
        for (int i = 0; i < clients; ++i) {
            QProcess& p = *running[static_cast<std::size_t>(i)];
            if (!p.waitForFinished(
                    static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
                faults << QStringLiteral("client %1 still running after %2 s: left waiting")
                              .arg(i)
                              .arg(seconds);
                p.kill();
                p.waitForFinished();
            } else if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
                faults << QStringLiteral("client %1 ended with status %2").arg(i).arg(p.exitCode());
            }
        }
        const double elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
        QList<TEntry> log;
        for (int i = 0; i < clients; ++i) {
            log += readLog(logs.filePath(QStringLiteral("client-%1.log").arg(i)));
        }
        const auto part = [](const TEntry& e) { return e.op.startsWith(QLatin1String("merge-")); };
        const auto logged =
            std::count_if(log.cbegin(), log.cend(), [&part](const TEntry& e) { return !part(e); });
        if (logged != clients * commands) {
            faults
                << QStringLiteral("%1 commands logged of %2").arg(logged).arg(clients * commands);
        }
        faults += verify(c, log, kSeeds);
        QHash<QString, int> outcomes;
        int retried = 0;
        for (const TEntry& e : log) {
            if (!part(e)) {
                ++outcomes[e.outcome];
                retried += e.runs > 1 ? 1 : 0;
            }
        }
        for (const TEntry& e : log) {
            if (e.outcome == QLatin1String("failed")) {
                say(QStringLiteral("reported failure: %1 %2: %3").arg(e.op, e.key, e.message));
            }
        }
        say(QStringLiteral("%1 clients x %2 commands in %3 s: landed %4, conflicts %5, "
                           "records gone before reading %6, run again after a deadlock %7, "
                           "failed and reported %8, refused by the program's checks %9")
                .arg(clients)
                .arg(commands)
                .arg(elapsed, 0, 'f', 2)
                .arg(outcomes.value(QStringLiteral("landed")))
                .arg(outcomes.value(QStringLiteral("conflict")))
                .arg(outcomes.value(QStringLiteral("gone")))
                .arg(retried)
                .arg(outcomes.value(QStringLiteral("failed")))
                .arg(outcomes.value(QStringLiteral("refused"))));
        for (const QString& f : faults.mid(0, 20)) {
            say(QStringLiteral("FAULT: ") + f);
        }
        if (!faults.isEmpty()) {
            logs.setAutoRemove(false);
            say(QStringLiteral("the clients' logs are kept in %1").arg(logs.path()));
        }
        if (faults.isEmpty()) {
            say(QStringLiteral("no lost update, no client left waiting, the catalogue consistent"));
            status = 0;
        }
        c.Close();
    } catch (const EError& e) {
        say(QStringLiteral("FAULT: ") + e.message());
    }
    admin.Execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(database));
    return status;
}

int option(const QStringList& args, const QString& name, int fallback) {
    const int at = static_cast<int>(args.indexOf(name));
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 6 && args.at(1) == QLatin1String("--client")) {
            TClient client(args.at(4), args.at(2).toInt(), args.at(5));
            client.run(args.at(3).toInt());
            return 0;
        }
        QString server = qEnvironmentVariable("LINKARIUM_TEST_PG");
        if (server.isEmpty()) {
            server = qEnvironmentVariable("LINKARIUM_BENCH_PG");
        }
        if (server.isEmpty()) {
            say(
                QStringLiteral("no PostgreSQL server named (LINKARIUM_TEST_PG): PostgreSQL half "
                               "skipped"));
            return 0;
        }
        return runAll(server, option(args, QStringLiteral("--clients"), 20),
                      option(args, QStringLiteral("--commands"), 500),
                      option(args, QStringLiteral("--seconds"), 600));
    } catch (const EError& e) {
        say(QStringLiteral("FAULT: ") + e.message());
        return 1;
    }
}
