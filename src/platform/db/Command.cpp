#include "platform/db/Command.h"

#include "platform/db/Connection.h"

#include <QCoreApplication>

void TCommand::SetCommandText(const QString& jetSql) {
    m_commandText = jetSql;
    m_parameters.Refresh(JetSqlParameterNames(jetSql));
    m_prepared = false;
}

qint64 TCommand::Execute() {
    if (!m_connection) {
        throw EDatabaseError(
            QCoreApplication::translate("TCommand", "Команда не связана с соединением"));
    }
    if (!m_prepared) {
        const TTranslatedSql t = m_connection->Translate(m_commandText);
        m_translated = t.sql;
        m_order = t.parameters;
        m_prepared = true;
    }
    return m_connection->Provider().execute(m_translated, m_parameters.ValuesFor(m_order));
}
