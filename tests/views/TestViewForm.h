#pragma once

#include "app/GeneralUnit.h"
#include "platform/db/DataSet.h"
#include "views/CommonViewFrm.h"

// A record view over a test table with text, Boolean, date-time, integer and float fields.
class TTestViewForm final : public TCommonViewForm {
    Q_OBJECT
public:
    explicit TTestViewForm(TGeneralModule& module,
                           const QString& baseSql = QStringLiteral("SELECT * FROM Items"))
        : TCommonViewForm(module) {
        setWindowTitle(QStringLiteral("Items"));
        SetBaseSQL(baseSql);
        SetKeyFieldName(QStringLiteral("ID"));
        for (const char* name : {"ID", "Name", "Active", "Created", "Amount", "Price"}) {
            TField& f = DataSet().AddField(QLatin1String(name));
            f.Visible = qstrcmp(name, "ID") != 0;
        }
        FormCreate();
    }

    static QString Schema() {
        return QStringLiteral(
            "CREATE TABLE Items (ID GUID NOT NULL PRIMARY KEY, Name TEXT(100) COLLATE NOCASE,"
            " Active BOOLEAN NOT NULL DEFAULT 0, Created DATETIME, Amount INTEGER,"
            " Price DOUBLE)");
    }
    static QString ServerSchema() {
        return QStringLiteral(
            "CREATE TABLE \"Items\" (\"ID\" guid NOT NULL PRIMARY KEY, \"Name\" citext"
            " CHECK (char_length(\"Name\") <= 100),"
            " \"Active\" BOOLEAN NOT NULL DEFAULT false, \"Created\" TIMESTAMP,"
            " \"Amount\" INTEGER, \"Price\" FLOAT8)");
    }

protected:
    void CopyRecord(const QVariant& key, QVariant& newKey) override {
        TCommonViewForm::CopyRecord(key, newKey);
        m_module.ADOConnection.Execute(
            QStringLiteral("INSERT INTO Items SELECT %1, Name, Active, Created, Amount, Price "
                           "FROM Items WHERE ID = %2")
                .arg(newKey.toString(), key.toString()));
    }
};
