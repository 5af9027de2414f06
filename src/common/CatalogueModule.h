#pragma once

#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"

#include <QObject>

// The catalogue the program works on: the one database connection and the shared category
// list, checked each time the connection opens. It asks nothing and stores nothing: which
// catalogue to open, and remembering it, is the application's part.
class TCatalogueModule : public QObject {
    Q_OBJECT
public:
    explicit TCatalogueModule(QObject* parent = nullptr);
    ~TCatalogueModule() override;

    TConnection ADOConnection;
    TDataSet adsCategoryList;
    // Why this connection's user may not change the records, or the shared category list
    // (the server's rights); empty when they may. Read at each opening.
    QString RecordsReadOnly;
    QString CategoriesReadOnly;
    // What the user should know of the catalogue's server: a database whose character type
    // folds the case of ASCII letters only. Empty when nothing. Read at each opening.
    QString ServerWarning;

    // Checks the catalogue of the new connection and opens the category list on it; a
    // catalogue that fails the check fails the connection.
    void ADOConnectionAfterConnect();
    void CheckNullBeforePost();
    // Reads the shared category list again when another program has changed the catalogue,
    // unless changes to it are waiting in an editor.
    void RefreshCategoryListIfChanged();
    // Opens the editor of the shared category list; the application supplies one.
    virtual void EditCategoryList();

Q_SIGNALS:
    // Records were rewritten on the program's own connection outside any view (a category
    // renamed, merged or removed from them): the views read their rows again.
    void RecordsRewritten();
    // A catalogue was opened: where it is and, on a server, how the connection is protected.
    void CatalogueNamed(const QString& name);

protected:
    // A checked catalogue is open, its category list loaded.
    virtual void CatalogueOpened();
};
