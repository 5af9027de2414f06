#pragma once

#include "platform/db/Connection.h"
#include "platform/db/Parameters.h"

#include <QObject>

// A statement prepared once and run with changing parameter values, such as the URL
// view's "mark as visited" update.
class TCommand final : public QObject {
    Q_OBJECT
public:
    explicit TCommand(QObject* parent = nullptr) : QObject(parent) {}

    void SetConnection(TConnection* connection) { m_connection = connection; }
    TConnection* Connection() const { return m_connection; }
    void SetCommandText(const QString& jetSql);
    QString CommandText() const { return m_commandText; }
    TParameters& Parameters() { return m_parameters; }

    // Runs the statement; returns the rows it changed.
    qint64 Execute();

private:
    TConnection* m_connection = nullptr;
    QString m_commandText;
    TParameters m_parameters;
    TTranslationCache m_translation;
};
