#include "platform/db/Command.h"

#include "platform/db/Connection.h"

#include <QCoreApplication>

void TCommand::SetCommandText(const QString& jetSql) {
    m_commandText = jetSql;
    m_translation.Reset();
    m_parameters.Refresh(m_translation.For(m_connection, jetSql).names);
}

qint64 TCommand::Execute() {
    if (!m_connection) {
        throw EDatabaseError(
            QCoreApplication::translate("TCommand", "Команда не связана с соединением"));
    }
    // The link first, so the statement is put in the dialect of the engine it runs on.
    TDbProvider& writer = m_connection->Writer();
    const TTranslatedSql& t = m_translation.For(m_connection, m_commandText);
    return writer.execute(t.sql, m_parameters.ValuesFor(t.parameters));
}
