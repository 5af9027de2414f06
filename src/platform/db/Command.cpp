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
    const TTranslatedSql& t = m_translation.For(m_connection, m_commandText);
    return m_connection->Writer().execute(t.sql, m_parameters.ValuesFor(t.parameters));
}
