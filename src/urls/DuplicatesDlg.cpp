#include "urls/DuplicatesDlg.h"

#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "ui_DuplicatesDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>

namespace {
constexpr int kGroupRole = Qt::UserRole;

// Each rule's switch, its example and the member it sets.
struct TRuleRow {
    const char* box;
    const char* example;
    bool TAddressRules::*rule;
};
const TRuleRow kRuleRows[] = {
    {"CaseCheckBox", "HTTP://Example.ORG/a", &TAddressRules::schemeAndHostCase},
    {"HttpsCheckBox", "https://example.org/a", &TAddressRules::httpIsHttps},
    {"WwwCheckBox", "http://www.example.org/a", &TAddressRules::leadingWww},
    {"SlashCheckBox", "http://example.org/a/", &TAddressRules::trailingSlash},
    {"PortCheckBox", "http://example.org:80/a", &TAddressRules::defaultPort},
    {"FragmentCheckBox", "http://example.org/a#top", &TAddressRules::fragment},
    {"TrackingCheckBox", "http://example.org/a?utm_source=x&id=1",
     &TAddressRules::trackingParameters},
    {"OrderCheckBox", "http://example.org/a?b=2&a=1", &TAddressRules::parameterOrder},
};

TAddressRules noRules() {
    TAddressRules none;
    for (const TRuleRow& r : kRuleRows) {
        none.*(r.rule) = false;
    }
    return none;
}
}  // namespace

TDuplicatesForm::TDuplicatesForm(TConnection& connection, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TDuplicatesForm>()), m_connection(connection) {
    ui->setupUi(this);
    ui->GroupsTreeWidget->setColumnWidth(0, 330);
    ui->GroupsTreeWidget->setColumnWidth(1, 250);
    for (const TRuleRow& r : kRuleRows) {
        connect(findChild<QCheckBox*>(QLatin1String(r.box)), &QCheckBox::toggled, this,
                &TDuplicatesForm::showPreviews);
    }
    connect(ui->SearchButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TDuplicatesForm::SearchButtonClick));
    connect(ui->MergeButton, &QPushButton::clicked, this,
            GuardedSlot(this, &TDuplicatesForm::MergeButtonClick));
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->GroupsTreeWidget, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { keepOnly(item); });
    connect(ui->GroupsTreeWidget, &QTreeWidget::currentItemChanged, this,
            &TDuplicatesForm::updateButtons);
    showPreviews();
    updateButtons();
}

TDuplicatesForm::~TDuplicatesForm() = default;

TAddressRules TDuplicatesForm::Rules() const {
    TAddressRules rules;
    for (const TRuleRow& r : kRuleRows) {
        rules.*(r.rule) = findChild<QCheckBox*>(QLatin1String(r.box))->isChecked();
    }
    return rules;
}

// What each rule alone makes of its example; a rule switched off leaves it as it is.
void TDuplicatesForm::showPreviews() {
    for (const TRuleRow& r : kRuleRows) {
        auto* box = findChild<QCheckBox*>(QLatin1String(r.box));
        TAddressRules only = noRules();
        only.*(r.rule) = box->isChecked();
        const QString example = QLatin1String(r.example);
        const QString result = NormalizedAddress(example, only);
        auto* label = findChild<QLabel*>(QString::fromLatin1(r.box).replace(
            QLatin1String("CheckBox"), QLatin1String("PreviewLabel")));
        label->setText(example + QStringLiteral("  \u2192  ") + result);
        label->setEnabled(box->isChecked());
    }
}

void TDuplicatesForm::SearchButtonClick() {
    {
        const THourglass hourglass;
        m_groups = TDuplicates(m_connection).Find(Rules());
    }
    QTreeWidget* tree = ui->GroupsTreeWidget;
    const QSignalBlocker block(tree);
    tree->clear();
    for (int g = 0; g < m_groups.size(); ++g) {
        const TDuplicateGroup& group = m_groups.at(g);
        auto* top = new QTreeWidgetItem(
            tree, {group.normalized, tr("записей: %1").arg(group.records.size())});
        top->setData(0, kGroupRole, g);
        const int kept = DefaultKept(group);
        for (int i = 0; i < group.records.size(); ++i) {
            const TDuplicateRecord& r = group.records.at(i);
            auto* child = new QTreeWidgetItem(top, {r.url, r.description, r.category});
            child->setFlags(child->flags() | Qt::ItemIsUserCheckable);
            child->setCheckState(0, i == kept ? Qt::Checked : Qt::Unchecked);
            child->setData(0, kGroupRole, i);
        }
        top->setExpanded(true);
    }
    ui->StateLabel->setText(m_groups.isEmpty()
                                ? tr("Дубликатов нет.")
                                : tr("Групп: %1. Отмеченная запись остаётся, остальные "
                                     "объединяются с ней.")
                                      .arg(m_groups.size()));
    if (tree->topLevelItemCount() > 0) {
        tree->setCurrentItem(tree->topLevelItem(0));
    }
    updateButtons();
}

// One record of a group is kept: ticking another moves the tick.
void TDuplicatesForm::keepOnly(QTreeWidgetItem* item) {
    QTreeWidgetItem* top = item->parent();
    if (!top) {
        return;
    }
    const QSignalBlocker block(ui->GroupsTreeWidget);
    if (item->checkState(0) != Qt::Checked) {
        item->setCheckState(0, Qt::Checked);  // the group keeps one
        return;
    }
    for (int i = 0; i < top->childCount(); ++i) {
        if (top->child(i) != item) {
            top->child(i)->setCheckState(0, Qt::Unchecked);
        }
    }
}

void TDuplicatesForm::MergeButtonClick() {
    QTreeWidgetItem* item = ui->GroupsTreeWidget->currentItem();
    QTreeWidgetItem* top = item && item->parent() ? item->parent() : item;
    if (!top) {
        return;
    }
    const int g = top->data(0, kGroupRole).toInt();
    int kept = 0;
    for (int i = 0; i < top->childCount(); ++i) {
        if (top->child(i)->checkState(0) == Qt::Checked) {
            kept = top->child(i)->data(0, kGroupRole).toInt();
        }
    }
    {
        const THourglass hourglass;
        TDuplicates(m_connection).Merge(m_groups.at(g), kept);
    }
    ++m_merged;
    delete top;
    ui->StateLabel->setText(tr("Объединено групп: %1.").arg(m_merged));
    updateButtons();
}

void TDuplicatesForm::updateButtons() {
    ui->MergeButton->setEnabled(ui->GroupsTreeWidget->currentItem() != nullptr);
}
