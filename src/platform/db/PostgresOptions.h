#pragma once

#include "platform/db/ConnectionString.h"
#include "platform/db/PostgresWait.h"

#include <QString>

// The settings libpq is opened with, made from the connection string.

// How long a command may wait for the server ("Command Timeout") unless set otherwise.
constexpr int kDefaultCommandTimeout = 30;

// The TLS mode asked for ("SSL Mode"), raised to a full check of the server when a root
// certificate ("SSL Root Cert") is named; a mode that turns TLS off with one is refused.
QString PostgresTlsMode(const TConnectionString& connection);
// sslmode and sslrootcert for that mode and the root certificate.
void AddPostgresTlsOptions(const TConnectionString& connection, const QString& mode,
                           TPgOptions& options);
