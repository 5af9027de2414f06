#include "app/GeneralUnit.h"

#include "app/DataLinkDlg.h"
#include "common/ConstsUnit.h"
#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "common/UtilsUnit.h"
#include "gridtools/DBGridSortDlg.h"
#include "gridtools/ExDBGrid.h"
#include "platform/db/Schema.h"
#include "platform/registry/Registry.h"
#include "urls/EditDictionaryDlg.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace {
constexpr int kCategoryListTag = 8;
}

QVector<QIcon> MakeSortMarkImages() {
    QVector<QIcon> images;
    const auto draw = [&images](bool ascending, int position) {
        QPixmap pixmap(position > 1 ? 24 : 16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        // The first sort column's arrow is dark; the later ones lighter, with their place.
        p.setBrush(position > 1 ? QColor(0x90, 0x90, 0x90) : QColor(0x50, 0x50, 0x50));
        const QPolygonF up({QPointF(3, 11), QPointF(13, 11), QPointF(8, 5)});
        const QPolygonF down({QPointF(3, 5), QPointF(13, 5), QPointF(8, 11)});
        p.drawPolygon(ascending ? up : down);
        if (position > 1) {
            QFont font = p.font();
            font.setPixelSize(10);
            font.setBold(true);
            p.setFont(font);
            p.setPen(QColor(0x50, 0x50, 0x50));
            p.drawText(QRect(14, 0, 10, 16), Qt::AlignCenter, QString::number(position));
        }
        p.end();
        images << QIcon(pixmap);
    };
    draw(true, 1);
    draw(false, 1);
    for (int position = 2; position <= SortMarkPlaces; ++position) {
        draw(true, position);
        draw(false, position);
    }
    return images;
}

TGeneralModule::TGeneralModule(QObject* parent, bool connectNow)
    : QObject(parent), actEditCategoryList(new QAction(tr("Список категорий..."), this)) {
    setObjectName(QStringLiteral("GeneralModule"));
    ADOConnection.setObjectName(QStringLiteral("ADOConnection"));
    adsCategoryList.setObjectName(QStringLiteral("adsCategoryList"));
    actEditCategoryList->setObjectName(QStringLiteral("actEditCategoryList"));
    actEditCategoryList->setData(kCategoryListTag);
    MainImageList = MakeSortMarkImages();

    adsCategoryList.SetConnection(&ADOConnection);
    adsCategoryList.SetCommandText(QStringLiteral("SELECT * FROM vCategoryList"));
    adsCategoryList.SetLockType(TLockType::BatchOptimistic);
    adsCategoryList.BeforePost = [this](TDataSet&) { CheckNullBeforePost(); };
    ADOConnection.AfterConnect = [this](TConnection&) { ADOConnectionAfterConnect(); };
    RunListEditor = [](TDataSet& dataSet, const QString& field, const QString& caption) {
        TEditDictionaryForm form(QApplication::activeWindow());
        form.setWindowTitle(caption);
        form.Run(dataSet, field);
    };
    RunSortDialog = [this](TDataSet& dataSet, TExDBGrid* grid) {
        TDBGridSortForm form(MainImageList, grid ? grid->window() : QApplication::activeWindow());
        form.Execute(dataSet);
    };
    EditConnectionString = [this](const QString& old) {
        return TDataLinkDialog::Edit(QApplication::activeWindow(), old, m_firstStart);
    };
    connect(actEditCategoryList, &QAction::triggered, this,
            [this]() { Guarded([this]() { EditListsExecute(); }); });
    if (connectNow) {
        Connect();
    }
}

TGeneralModule::~TGeneralModule() {
    DataModuleDestroy();
}

void TGeneralModule::Connect() {
    ADOConnection.Close();
    std::optional<QString> stored;
    {
        TRegistry reg;
        if (reg.OpenKeyReadOnly(RegRootKey)) {
            stored = reg.ReadString(RegConnectionValue);
        }
    }
    if (!stored) {
        // A first start: nothing has failed yet, so no error box; the choice comes first.
        m_firstStart = true;
        SelectDatabase();
        m_firstStart = false;
        return;
    }
    ADOConnection.SetConnectionString(*stored);
    try {
        ADOConnection.Open();
    } catch (const std::exception& e) {
        // The stated message first; the engine's reason, when there is one, below it.
        QString text = tr("Соединение с базой не установлено!");
        const auto* error = dynamic_cast<const EError*>(&e);
        if (error && !ADOConnection.ConnectionString().trimmed().isEmpty()) {
            text += QStringLiteral("\n\n") + error->message();
        }
        ADOConnection.Close();
        ShowError(text);
        SelectDatabase();
    }
}

bool TGeneralModule::SelectDatabase() {
    const QString old = ADOConnection.ConnectionString();
    try {
        const std::optional<QString> chosen = EditConnectionString(old);
        // The same string opens again when the server had ended the session; Cancel never
        // counts as a choice.
        if (chosen && (*chosen != old || ADOConnection.Lost())) {
            QCoreApplication::processEvents();
            // The new database is tried first, beside the old one, so a choice that fails
            // leaves every window working on the old catalogue.
            if (ADOConnection.Connected() && !ADOConnection.Lost()) {
                TConnection probe;
                probe.SetConnectionString(*chosen);
                probe.Open();
                CheckCatalogue(probe);
            }
            ADOConnection.Close();
            ADOConnection.SetConnectionString(*chosen);
            ADOConnection.Open();
            return true;
        }
        if (ADOConnection.Connected()) {
            return false;
        }
        Abort();
    } catch (...) {
        const std::exception_ptr first = std::current_exception();
        if (ADOConnection.Connected() && !ADOConnection.Lost() &&
            ADOConnection.ConnectionString() == old) {
            std::rethrow_exception(first);  // the old connection was never let go
        }
        ADOConnection.Close();
        ADOConnection.SetConnectionString(old);
        bool reopened = false;
        if (!old.isEmpty()) {
            try {
                ADOConnection.Open();
                reopened = true;
            } catch (...) {
                ADOConnection.Close();
            }
        }
        if (!reopened) {
            ShowError(tr("Ошибка при подключении к базе."));
            requestTerminate();
        }
        std::rethrow_exception(first);
    }
}

void TGeneralModule::ADOConnectionAfterConnect() {
    THourglass hourglass;
    CheckCatalogue(ADOConnection);
    adsCategoryList.Close();
    adsCategoryList.Open();
    // Remembered at once, not only at exit: a session that ends by a crash or a kill
    // still opens this catalogue next time, and a store that cannot keep it says so now.
    WriteRegString(RegRootKey, RegConnectionValue, ADOConnection.ConnectionString());
}

void TGeneralModule::CheckNullBeforePost() {
    NullBlankFields(adsCategoryList);
}

void TGeneralModule::DataModuleDestroy() {
    if (ADOConnection.Connected()) {
        WriteRegString(RegRootKey, RegConnectionValue, ADOConnection.ConnectionString());
    }
}

void TGeneralModule::EditListsExecute() {
    if (actEditCategoryList->data().toInt() != kCategoryListTag || !RunListEditor) {
        return;
    }
    // The first letter of the caption is the Latin capital C.
    RunListEditor(adsCategoryList, QStringLiteral("CategoryName"), tr("Cписок категорий"));
}

void TGeneralModule::requestTerminate() {
    m_terminate = true;
    // Ends the program as soon as control is back in the event loop.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}

namespace {
// Posts a modified pending row, cancels an untouched one.
void finishEdit(TDataSet& ds) {
    if (ds.State() == TDataSetState::Edit || ds.State() == TDataSetState::Insert) {
        ds.Post();
    }
}
}  // namespace

void TGeneralModule::SortDataSet(TDataSet& dataSet, TField* field, TExDBGrid* grid,
                                 bool ascending) {
    TDataSet::TControlsGuard controls(dataSet);
    finishEdit(dataSet);
    const TBookmark bookmark = dataSet.GetBookmark();
    if (!field) {
        if (RunSortDialog) {
            RunSortDialog(dataSet, grid);
        }
    } else {
        dataSet.SetSort(field->FieldName +
                        (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
    }
    if (dataSet.BookmarkValid(bookmark)) {
        dataSet.GotoBookmark(bookmark);
    }
    if (grid) {
        grid->UpdateTitles();
    }
}

void TGeneralModule::ToggleColumnSort(TExDBGrid& grid, int column) {
    TField* field = grid.ColumnField(column);
    TDataSet* ds = grid.DataSet();
    if (!field || !ds || field->FieldKind != TFieldKind::Data ||
        field->FieldClass() == TFieldClass::Memo || field->FieldClass() == TFieldClass::Blob) {
        return;
    }
    const QString sort = ds->Sort();
    const bool ascending = !sort.contains(QLatin1Char(',')) &&
                           sort.section(QLatin1Char(' '), 0, 0) == field->FieldName &&
                           sort.contains(QLatin1String("DESC"));
    SortDataSet(*ds, field, &grid, ascending);
}
