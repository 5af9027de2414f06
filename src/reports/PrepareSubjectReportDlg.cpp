#include "reports/PrepareSubjectReportDlg.h"

#include "common/DialogsUnit.h"
#include "common/UtilsUnit.h"
#include "platform/db/DataSet.h"
#include "reports/ReportWriter.h"
#include "ui_PrepareSubjectReportDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kStateImageSize = 14;
constexpr int kFieldRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;

// A check box picture of our own: empty, ticked, or with a filled square for "partly".
QPixmap stateImage(int state, const QPalette& palette) {
    const qreal ratio = 2.0;
    QPixmap p(QSize(kStateImageSize, kStateImageSize) * ratio);
    p.setDevicePixelRatio(ratio);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(1.5, 1.5, kStateImageSize - 3, kStateImageSize - 3);
    painter.setPen(QPen(palette.color(QPalette::Text), 1));
    painter.setBrush(palette.color(QPalette::Base));
    painter.drawRoundedRect(box, 2, 2);
    if (state == TPrepareSubjectReportForm::csChecked) {
        QPen tick(palette.color(QPalette::Text), 1.8);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        painter.setPen(tick);
        painter.drawPolyline(QPolygonF({QPointF(4, 7.2), QPointF(6.2, 9.6), QPointF(10.2, 4.4)}));
    } else if (state == TPrepareSubjectReportForm::csPartly) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::Mid));
        painter.drawRect(QRectF(4.5, 4.5, 5, 5));
    }
    return p;
}

bool lessNoCase(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

}  // namespace

TPrepareSubjectReportForm::TPrepareSubjectReportForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPrepareSubjectReportForm>()) {
    ui->setupUi(this);
    for (int s = csUnchecked; s <= csPartly; ++s) {
        m_stateImages[s] = QIcon(stateImage(s, palette()));
    }
    ui->FieldsTreeView->setIconSize(QSize(kStateImageSize, kStateImageSize));
    ui->FieldsTreeView->viewport()->installEventFilter(this);
    ui->FieldsTreeView->installEventFilter(this);
    connect(ui->PreviewButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TPrepareSubjectReportForm::~TPrepareSubjectReportForm() = default;

void TPrepareSubjectReportForm::LoadSelection() {
    m_selection =
        SplitCommaText(ReadRegString(m_registryKey, QStringLiteral("ReportSelected"), QString()));
    std::sort(m_selection.begin(), m_selection.end(), lessNoCase);
}

void TPrepareSubjectReportForm::FillTree(TDataSet& dataSet, const QString& title) {
    ui->FieldsTreeView->clear();
    auto* root = new QTreeWidgetItem(ui->FieldsTreeView, {title});
    setState(root, csUnchecked);
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        TField& field = dataSet.Fields(i);
        if (!field.Visible) {
            continue;
        }
        auto* node = new QTreeWidgetItem(root, {field.Title()});
        node->setData(0, kFieldRole, QVariant::fromValue(static_cast<void*>(&field)));
        const bool selected =
            std::any_of(m_selection.cbegin(), m_selection.cend(), [&field](const QString& s) {
                return s.compare(field.FieldName, Qt::CaseInsensitive) == 0;
            });
        setState(node, selected ? csChecked : csUnchecked);
        updateParentState(root);
    }
    ui->FieldsTreeView->setCurrentItem(root);
}

QTreeWidgetItem* TPrepareSubjectReportForm::Root() const {
    return ui->FieldsTreeView->topLevelItem(0);
}

int TPrepareSubjectReportForm::StateOf(const QTreeWidgetItem* node) const {
    return node->data(0, kStateRole).toInt();
}

void TPrepareSubjectReportForm::setState(QTreeWidgetItem* node, int state) {
    node->setData(0, kStateRole, state);
    node->setIcon(0, m_stateImages[state]);
}

void TPrepareSubjectReportForm::updateParentState(QTreeWidgetItem* parent) {
    if (parent->childCount() == 0) {
        return;
    }
    int state = StateOf(parent->child(0));
    for (int i = 1; i < parent->childCount(); ++i) {
        if (StateOf(parent->child(i)) != state) {
            state = csPartly;
            break;
        }
    }
    setState(parent, state);
}

void TPrepareSubjectReportForm::ToggleNode(QTreeWidgetItem* node) {
    if (!node) {
        return;
    }
    const int state = StateOf(node) == csChecked ? csUnchecked : csChecked;
    setState(node, state);
    for (int i = 0; i < node->childCount(); ++i) {
        setState(node->child(i), state);
    }
    if (node->childCount() == 0 && node->parent()) {
        updateParentState(node->parent());
    }
    UpdatePreviewButton();
}

void TPrepareSubjectReportForm::UpdatePreviewButton() {
    bool any = false;
    for (QTreeWidgetItemIterator it(ui->FieldsTreeView); *it && !any; ++it) {
        any = StateOf(*it) == csChecked;
    }
    ui->PreviewButton->setEnabled(any);
}

QRect TPrepareSubjectReportForm::StateImageRect(const QTreeWidgetItem* node) const {
    const QRect item = ui->FieldsTreeView->visualItemRect(node);
    // The icon sits at the start of the cell, after the style's small focus margin.
    const int margin =
        style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ui->FieldsTreeView) + 1;
    return QRect(item.left(), item.top(), kStateImageSize + 2 * margin, item.height());
}

bool TPrepareSubjectReportForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->FieldsTreeView->viewport() && event->type() == QEvent::MouseButtonPress) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* node = ui->FieldsTreeView->itemAt(pos);
        if (node && StateImageRect(node).contains(pos)) {
            ToggleNode(node);
        }
    } else if (watched == ui->FieldsTreeView && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        ToggleNode(ui->FieldsTreeView->currentItem());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TPrepareSubjectReportForm::Execute() {
    UpdatePreviewButton();
    if (Dialogs().execDialog(*this) != QDialog::Accepted) {
        return false;
    }
    return Confirm();
}

bool TPrepareSubjectReportForm::Confirm() {
    QStringList selection;
    for (QTreeWidgetItemIterator it(ui->FieldsTreeView); *it; ++it) {
        const auto* field = static_cast<TField*>((*it)->data(0, kFieldRole).value<void*>());
        if (field && StateOf(*it) == csChecked &&
            !selection.contains(field->FieldName, Qt::CaseInsensitive)) {
            selection << field->FieldName;
        }
    }
    std::sort(selection.begin(), selection.end(), lessNoCase);
    m_selection = selection;
    WriteRegString(m_registryKey, QStringLiteral("ReportSelected"), CommaText(selection));
    return true;
}

void TPrepareSubjectReportForm::GetSelectedFields(QList<TField*>& fields) const {
    fields.clear();
    for (QTreeWidgetItemIterator it(ui->FieldsTreeView); *it; ++it) {
        auto* field = static_cast<TField*>((*it)->data(0, kFieldRole).value<void*>());
        if (field && StateOf(*it) == csChecked) {
            fields << field;
        }
    }
}
