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
    adsCategoryList.Close();
    adsCategoryList.Open();
    CatalogueOpened();
}

void TCatalogueModule::CheckNullBeforePost() {
    NullBlankFields(adsCategoryList);
}

void TCatalogueModule::EditCategoryList() {}

void TCatalogueModule::CatalogueOpened() {}
