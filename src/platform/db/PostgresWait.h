#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

struct pg_conn;

// libpq's connection settings, keyword and value; an empty value is left to libpq's
// defaults (the environment, the service file).
using TPgOptions = std::vector<std::pair<QByteArray, QByteArray>>;

// Opens a connection without ever blocking the window: the installed server wait keeps it
// painting and may give up, and a server that accepts but never answers is given up after
// limitMs. Throws EDatabaseError naming server and the reason.
pg_conn* ConnectToServer(const TPgOptions& options, const QString& server, int limitMs);

// How a wait for the server's answer ended.
enum class TPgWaitEnd {
    Answered,  // a result, an error included, can be read without blocking
    // The user gave up and the server answered the cancel request: with the statement's
    // cancellation as its error, or with the result of a statement that ended first.
    AnsweredGivenUp,
    GaveUp,    // the user gave up, and the server did not answer the cancel request
    TimedOut,  // the limit passed, and the server did not answer the cancel request
};

// Waits until what was sent on conn can be read without blocking, the installed server wait
// keeping the window painting. When the user gives up or limitMs passes, the server is asked
// to cancel the statement (it then answers with an error); a server that does not answer
// that either is given up a few seconds later. limitMs 0 sets no limit.
TPgWaitEnd AwaitServer(pg_conn* conn, const QString& server, int limitMs);
