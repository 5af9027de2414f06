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
    adsCategoryList.Close();
    adsCategoryList.Open();
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
