#include "gridtools/DBGridSortDlg.h"

#include "common/DialogsUnit.h"
#include "gridtools/DragListWidget.h"
#include "platform/db/DataSet.h"
#include "ui_DBGridSortDlg.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QStringList>

namespace {
constexpr int kFieldRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;

TField* fieldOf(const QListWidgetItem* item) {
    return reinterpret_cast<TField*>(item->data(kFieldRole).value<quintptr>());
}
}  // namespace

TDBGridSortForm::TDBGridSortForm(const QVector<QIcon>& images, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDBGridSortForm>()), m_images(images) {
    ui->setupUi(this);
    m_addOne = new QAction(QStringLiteral(">"), this);
    m_addOne->setObjectName(QStringLiteral("actAddOne"));
    m_addOne->setToolTip(tr("Добавить"));
    m_addOne->setShortcut(QKeySequence(Qt::Key_Right));
    m_removeOne = new QAction(QStringLiteral("<"), this);
    m_removeOne->setObjectName(QStringLiteral("actRemoveOne"));
    m_removeOne->setToolTip(tr("Удалить"));
    m_removeOne->setShortcut(QKeySequence(Qt::Key_Left));
    addActions({m_addOne, m_removeOne});
    ui->AddOneButton->setDefaultAction(m_addOne);
    ui->RemoveOneButton->setDefaultAction(m_removeOne);
    ui->AvailableListView->setSortingEnabled(true);
    for (QListWidget* list : {static_cast<QListWidget*>(ui->AvailableListView),
                              static_cast<QListWidget*>(ui->SortListView)}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->installEventFilter(this);
        connect(list, &QListWidget::itemSelectionChanged, this, &TDBGridSortForm::UpdateButtons);
    }
    // The sort list takes rows from both lists; the available list only gives them back.
    ui->SortListView->AcceptDropsFrom({ui->SortListView, ui->AvailableListView});
    ui->AvailableListView->AcceptDropsFrom({ui->SortListView});
    const auto dropped = [this]() {
        for (QListWidget* list : {static_cast<QListWidget*>(ui->AvailableListView),
                                  static_cast<QListWidget*>(ui->SortListView)}) {
            for (int r = 0; r < list->count(); ++r) {
                showDirection(list->item(r));
            }
        }
        UpdateButtons();
    };
    connect(ui->SortListView, &TDragListWidget::dropped, this, dropped);
    connect(ui->AvailableListView, &TDragListWidget::dropped, this, dropped);
    connect(m_addOne, &QAction::triggered, this, &TDBGridSortForm::AddOne);
    connect(m_removeOne, &QAction::triggered, this, &TDBGridSortForm::RemoveOne);
    connect(ui->AddAllButton, &QToolButton::clicked, this, &TDBGridSortForm::AddAll);
    connect(ui->RemoveAllButton, &QToolButton::clicked, this, &TDBGridSortForm::RemoveAll);
    connect(ui->AvailableListView, &QListWidget::itemDoubleClicked, this, &TDBGridSortForm::AddOne);
    connect(ui->SortListView, &QListWidget::itemDoubleClicked, this,
            &TDBGridSortForm::FlipDirection);
    connect(ui->FlipDirectionButton, &QPushButton::clicked, this, &TDBGridSortForm::FlipDirection);
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TDBGridSortForm::~TDBGridSortForm() = default;

bool TDBGridSortForm::eventFilter(QObject* watched, QEvent* event) {
    auto* list = qobject_cast<QListWidget*>(watched);
    if (list && event->type() == QEvent::FocusIn && list->count() > 0 &&
        list->selectedItems().isEmpty()) {
        list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
    // Space flips the direction in the sort list, as a double click does.
    if (watched == ui->SortListView && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        FlipDirection();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TDragListWidget* TDBGridSortForm::AvailableListView() const {
    return ui->AvailableListView;
}

TDragListWidget* TDBGridSortForm::SortListView() const {
    return ui->SortListView;
}

QListWidgetItem* TDBGridSortForm::makeItem(TField& field, int image) {
    auto* item = new QListWidgetItem(field.Title());
    item->setData(kFieldRole, QVariant::fromValue(reinterpret_cast<quintptr>(&field)));
    setDirection(item, image);
    return item;
}

void TDBGridSortForm::setDirection(QListWidgetItem* item, int image) {
    item->setData(kImageRole, image);
    showDirection(item);
}

// Only the sort list shows the direction; a row keeps it while it is available.
void TDBGridSortForm::showDirection(QListWidgetItem* item) {
    const bool sorted = item->listWidget() == ui->SortListView;
    item->setIcon(sorted ? m_images.value(item->data(kImageRole).toInt()) : QIcon());
}

void TDBGridSortForm::LoadSort(TDataSet& dataSet) {
    QString text = dataSet.Sort();
    text.replace(QStringLiteral(", "), QStringLiteral(","));
    text.replace(QLatin1Char(' '), QLatin1Char('='));
    const QStringList entries = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const auto directionOf = [&entries](const QString& name) {
        for (const QString& e : entries) {
            if (e.section(QLatin1Char('='), 0, 0).compare(name, Qt::CaseInsensitive) == 0) {
                return e.section(QLatin1Char('='), 1);
            }
        }
        return QString();
    };
    ui->AvailableListView->clear();
    ui->SortListView->clear();
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField& f = dataSet.Fields(i);
        const TFieldClass c = f.FieldClass();
        if (!f.Visible || f.FieldKind != TFieldKind::Data || c == TFieldClass::Memo ||
            c == TFieldClass::Blob) {
            continue;
        }
        QListWidgetItem* item =
            makeItem(f, directionOf(f.FieldName) == QLatin1String("ASC") ? 0 : 1);
        ui->AvailableListView->addItem(item);
        showDirection(item);
    }
    for (const QString& e : entries) {
        if (!e.contains(QLatin1Char('='))) {
            continue;  // no direction: no name either
        }
        const QString name = e.section(QLatin1Char('='), 0, 0);
        for (int r = 0; r < ui->AvailableListView->count(); ++r) {
            QListWidgetItem* item = ui->AvailableListView->item(r);
            if (fieldOf(item)->FieldName == name) {
                move(ui->AvailableListView, ui->SortListView, {item});
                break;
            }
        }
    }
    UpdateButtons();
}

void TDBGridSortForm::move(QListWidget* from, QListWidget* to,
                           const QList<QListWidgetItem*>& rows) {
    int last = -1;
    for (QListWidgetItem* item : rows) {
        last = from->row(item);
        QListWidgetItem* copy = item->clone();
        to->addItem(copy);
        showDirection(copy);
        delete from->takeItem(last);
    }
    if (from->count() > 0 && last >= 0) {
        from->setCurrentRow(std::min(last, from->count() - 1));
    }
    UpdateButtons();
}

QString TDBGridSortForm::SortText() const {
    QStringList entries;
    for (int r = 0; r < ui->SortListView->count(); ++r) {
        const QListWidgetItem* item = ui->SortListView->item(r);
        entries << fieldOf(item)->FieldName + (item->data(kImageRole).toInt() == 1
                                                   ? QStringLiteral(" DESC")
                                                   : QStringLiteral(" ASC"));
    }
    return entries.join(QLatin1Char(',')).remove(QLatin1Char('"'));
}

void TDBGridSortForm::AddOne() {
    move(ui->AvailableListView, ui->SortListView, ui->AvailableListView->selectedItems());
}

void TDBGridSortForm::AddAll() {
    QList<QListWidgetItem*> all;
    for (int r = 0; r < ui->AvailableListView->count(); ++r) {
        all << ui->AvailableListView->item(r);
    }
    move(ui->AvailableListView, ui->SortListView, all);
}

void TDBGridSortForm::RemoveOne() {
    move(ui->SortListView, ui->AvailableListView, ui->SortListView->selectedItems());
}

void TDBGridSortForm::RemoveAll() {
    QList<QListWidgetItem*> all;
    for (int r = 0; r < ui->SortListView->count(); ++r) {
        all << ui->SortListView->item(r);
    }
    move(ui->SortListView, ui->AvailableListView, all);
}

void TDBGridSortForm::FlipDirection() {
    for (QListWidgetItem* item : ui->SortListView->selectedItems()) {
        setDirection(item, item->data(kImageRole).toInt() == 1 ? 0 : 1);
    }
}

void TDBGridSortForm::UpdateButtons() {
    m_addOne->setEnabled(!ui->AvailableListView->selectedItems().isEmpty());
    ui->AddAllButton->setEnabled(ui->AvailableListView->count() > 0);
    m_removeOne->setEnabled(!ui->SortListView->selectedItems().isEmpty());
    ui->FlipDirectionButton->setEnabled(!ui->SortListView->selectedItems().isEmpty());
    ui->RemoveAllButton->setEnabled(ui->SortListView->count() > 0);
}

bool TDBGridSortForm::Execute(TDataSet& dataSet) {
    LoadSort(dataSet);
    if (Dialogs().execDialog(*this) != QDialog::Accepted) {
        return false;
    }
    dataSet.SetSort(SortText());
    return true;
}
