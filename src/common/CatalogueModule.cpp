#include "common/CatalogueModule.h"

#include "common/Hourglass.h"
#include "platform/db/NullBlankFields.h"
#include "platform/db/Schema.h"

TCatalogueModule::TCatalogueModule(QObject* parent) : QObject(parent) {
    ADOConnection.setObjectName(QStringLiteral("ADOConnection"));
    adsCategoryList.setObjectName(QStringLiteral("adsCategoryList"));
    adsCategoryList.SetConnection(&ADOConnection);
    adsCategoryList.SetCommandText(QStringLiteral("SELECT * FROM vCategoryList"));
    adsCategoryList.SetLockType(TLockType::BatchOptimistic);
    adsCategoryList.BeforePost = [this](TDataSet&) { CheckNullBeforePost(); };
    ADOConnection.AfterConnect = [this](TConnection&) { ADOConnectionAfterConnect(); };
}

TCatalogueModule::~TCatalogueModule() = default;

void TCatalogueModule::ADOConnectionAfterConnect() {
    THourglass hourglass;
    CheckCatalogue(ADOConnection);
    UpgradeCatalogue(ADOConnection);
    TDbProvider& provider = ADOConnection.Provider();
    RecordsReadOnly = provider.mayChange(QStringLiteral("SubjectURLs"))
                          ? QString()
                          : tr("Только чтение: у вашей роли на сервере нет права изменять записи "
                               "каталога.");
    CategoriesReadOnly = provider.mayChange(QStringLiteral("CategoryList"))
                             ? QString()
                             : tr("Только чтение: у вашей роли на сервере нет права изменять "
                                  "список категорий.");
    ServerWarning.clear();
    const std::optional<TServerLink> link = provider.serverLink();
    if (link && !link->foldsEveryLetter()) {
        ServerWarning =
            tr("База данных %1 на сервере %2 создана с типом символов (LC_CTYPE) «%3»: сервер "
               "различает строчные и прописные буквы только латиницы, поэтому поиск по "
               "категориям, фильтры и проверка одинаковых имён категорий могут пропускать "
               "имена кириллицей. Создайте базу данных с типом символов UTF-8, например "
               "createdb -E UTF8 -l C.UTF-8 -T template0 (см. README), и перенесите в неё "
               "каталог.")
                .arg(link->database, link->host, link->characterType);
    }
    // Opened again after the server ended the session: a category list the user is changing
    // keeps the unsaved change (the connection has the views read the server again).
    const bool userChanging =
        adsCategoryList.Active() &&
        (adsCategoryList.UpdatesPending() || adsCategoryList.State() != TDataSetState::Browse);
    if (!userChanging) {
        adsCategoryList.Close();
        adsCategoryList.Open();
    }
    Q_EMIT CatalogueNamed(CatalogueName(ADOConnection));
    CatalogueOpened();
}

void TCatalogueModule::RefreshCategoryListIfChanged() {
    if (adsCategoryList.Active() && adsCategoryList.State() == TDataSetState::Browse &&
        !adsCategoryList.UpdatesPending() && adsCategoryList.ChangedElsewhere()) {
        adsCategoryList.Requery();
    }
}

void TCatalogueModule::CheckNullBeforePost() {
    NullBlankFields(adsCategoryList);
}

void TCatalogueModule::EditCategoryList() {}

void TCatalogueModule::CatalogueOpened() {}
