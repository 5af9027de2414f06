#pragma once

#include "platform/db/ConnectionString.h"

#include <QString>

// The options the PostgreSQL driver passes to libpq, made from the connection string.

// ";service=…" for a service named, else nothing.
QString PostgresServiceOption(const QString& service);
// The TLS mode asked for ("SSL Mode"), raised to a full check of the server when a root
// certificate ("SSL Root Cert") is named; a mode that turns TLS off with one is refused.
QString PostgresTlsMode(const TConnectionString& connection);
// ";sslmode=…;sslrootcert=…" for that mode and the root certificate.
QString PostgresTlsOptions(const TConnectionString& connection, const QString& mode);
