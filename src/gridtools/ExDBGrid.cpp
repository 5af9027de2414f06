#include "gridtools/ExDBGrid.h"

#include "common/DialogsUnit.h"
#include "gridtools/ColumnLayout.h"
#include "platform/db/DataSet.h"
#include "platform/db/DataSetModel.h"
#include "platform/registry/Registry.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

constexpr int kIndicatorWidth = 12;
// Rows and the title row keep these heights whatever the font.
constexpr int kRowHeight = 17;
constexpr int kTitleRowHeight = 17;

}  // namespace

void TGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const bool oneLine = FitCellText(o);
    PaintCell(painter, o, oneLine);
}

namespace {
int textMargin(const QStyle* style, const QWidget* widget) {
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}
}  // namespace

bool TGridDelegate::FitCellText(QStyleOptionViewItem& o) {
    // Without an icon or a check box the text takes the whole cell, less the style's text
    // margins; asking the style for the text rectangle would lay out the whole text.
    if (o.textElideMode != Qt::ElideRight ||
        (o.features &
         (QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator))) {
        return false;
    }
    const QString& text = o.text;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator) {
            return false;
        }
    }
    const QWidget* widget = o.widget;
    const int width =
        o.rect.width() - 2 * textMargin(widget ? widget->style() : QApplication::style(), widget);
    if (width <= 0) {
        return false;
    }
    const QFontMetrics fm(o.font);
    // Far more characters than fit: the elision of this beginning is the elision of the
    // whole text. That holds for the letters of the cell's own font; text drawn from
    // fallback fonts (emoji, CJK) is elided whole, as is a beginning that fits after all
    // (zero-width marks).
    const qsizetype cut = 8 + 3 * static_cast<qsizetype>(width) / qMax(1, fm.averageCharWidth());
    bool ownLetters = cut < text.size();
    for (qsizetype i = 0; ownLetters && i < cut; ++i) {
        ownLetters = text.at(i).unicode() < 0x0530;
    }
    if (ownLetters) {
        const QString part = text.left(cut);
        const QString elided = fm.elidedText(part, Qt::ElideRight, width);
        if (elided != part) {
            o.text = elided;
            return true;
        }
    }
    o.text = fm.elidedText(text, Qt::ElideRight, width);
    return true;
}

// The style's panel and focus frame around one line drawn once: the style's own item
// drawing would lay the text out three times, for its size, its place and its glyphs.
void TGridDelegate::PaintCell(QPainter* painter, const QStyleOptionViewItem& o, bool oneLine) {
    const QWidget* widget = o.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    if (!oneLine) {
        style->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
        return;
    }
    painter->save();
    painter->setClipRect(o.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, painter, widget);
    const bool enabled = o.state & QStyle::State_Enabled;
    if (!o.text.isEmpty()) {
        QPalette::ColorGroup group = enabled ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && !(o.state & QStyle::State_Active)) {
            group = QPalette::Inactive;
        }
        painter->setPen(o.palette.color(
            group, o.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(o.font);
        // Placed as the style places its one-line layout: the line's rounded height
        // centred in the text rectangle, the baseline one ascent below its top, the line
        // aligned across the rectangle's width.
        const int margin = textMargin(style, widget);
        const QRect textRect = o.rect.adjusted(margin, 0, -margin, 0);
        const QFontMetricsF fm(o.font);
        const QRect box = QStyle::alignedRect(
            o.direction, o.displayAlignment & Qt::AlignVertical_Mask,
            QSize(textRect.width(), qRound(fm.ascent() + fm.descent())), textRect);
        const Qt::Alignment horizontal =
            QStyle::visualAlignment(o.direction, o.displayAlignment) & Qt::AlignHorizontal_Mask;
        qreal x = textRect.left();
        if (horizontal & (Qt::AlignRight | Qt::AlignHCenter)) {
            const qreal room = textRect.width() - fm.horizontalAdvance(o.text);
            x += (horizontal & Qt::AlignRight) ? room : room / 2;
        }
        painter->drawText(QPointF(x, box.top() + fm.ascent()), o.text);
    }
    if (o.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(o);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &o, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = o.palette.color(
            enabled ? QPalette::Normal : QPalette::Disabled,
            o.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

QWidget* TGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                     const QModelIndex&) const {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QStringLiteral("InplaceEditor"));
    e->setReadOnly(true);
    e->setFrame(false);
    return e;
}

void TGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    static_cast<QLineEdit*>(editor)->setText(index.data(Qt::DisplayRole).toString());
}

TExDBGrid::TExDBGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new TGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setTabKeyNavigation(true);
    QHeaderView* v = verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(kRowHeight);
    v->setMinimumSectionSize(1);
    v->setFixedWidth(kIndicatorWidth);
    v->setSectionsClickable(false);
    QHeaderView* h = horizontalHeader();
    h->setSectionsClickable(true);
    h->setHighlightSections(false);
    h->setMinimumSectionSize(0);
    h->setFixedHeight(kTitleRowHeight + 1);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(h, &QHeaderView::sectionClicked, this,
            [this](int logical) { Guarded([this, logical]() { Q_EMIT titleClicked(logical); }); });
    connect(h, &QHeaderView::sectionMoved, this, [this](int, int from, int to) {
        fillLastColumn();
        Guarded([this, from, to]() { Q_EMIT columnMoved(from, to); });
    });
    connect(h, &QHeaderView::sectionResized, this, &TExDBGrid::sectionResized);
}

TExDBGrid::~TExDBGrid() {
    // The view must let go of the model before it is destroyed.
    setModel(nullptr);
}

void TExDBGrid::SetDataSet(TDataSet* dataSet) {
    setModel(nullptr);
    m_model.reset();
    m_dataSet = dataSet;
    if (!dataSet) {
        return;
    }
    m_model = std::make_unique<TDataSetModel>(dataSet);
    for (auto it = m_fieldRoles.cbegin(); it != m_fieldRoles.cend(); ++it) {
        m_model->SetFieldRole(it.key(), it.value());
    }
    m_model->SetEditable(true);
    m_model->HeaderOverride = [this](int section, int role) -> QVariant {
        if (role == Qt::DisplayRole && section < m_titles.size() && !m_titles[section].isNull()) {
            return m_titles[section];
        }
        if (role == Qt::DecorationRole) {
            const int image = TitleImageIndex(section);
            if (image >= 0 && image < m_images.size()) {
                return m_images[image];
            }
        }
        return QVariant();
    };
    setModel(m_model.get());
    m_titles.resize(ColumnCount());
    m_hiddenWidths.resize(ColumnCount());
    // Fields declared hidden start as hidden columns; the user may show them later.
    for (int c = 0; c < ColumnCount(); ++c) {
        horizontalHeader()->setSectionHidden(c, keptHidden(ColumnField(c)));
        applyDefaultWidth(c);
    }
    connect(m_model.get(), &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int c = first; c <= last; ++c) {
                    horizontalHeader()->setSectionHidden(c, keptHidden(ColumnField(c)));
                    m_widthChosen.insert(c, false);
                    applyDefaultWidth(c);
                }
            });
    connect(m_model.get(), &TDataSetModel::currentRowChanged, this, &TExDBGrid::followDataSet);
    connect(m_model.get(), &TDataSetModel::structureChanged, this, [this]() {
        m_titles.resize(ColumnCount());
        m_hiddenWidths.resize(ColumnCount());
        m_widthChosen.resize(ColumnCount());
        // A field the program keeps invisible (such as a key) shows as a column only once
        // the user has asked for it.
        for (int c = 0; c < ColumnCount(); ++c) {
            if (keptHidden(ColumnField(c))) {
                horizontalHeader()->setSectionHidden(c, true);
            }
            // Types and sizes are known once the dataset is open.
            if (!m_widthChosen[c]) {
                applyDefaultWidth(c);
            }
        }
        if (m_dataSet && m_dataSet->Active()) {
            followDataSet(m_dataSet->RecNo() - 1);
        }
    });
}

int TExDBGrid::DefaultColumnWidth(int column) const {
    const TField* f = ColumnField(column);
    int chars = 12;
    if (f && f->DisplayWidth > 0) {
        chars = f->DisplayWidth;
    } else if (f) {
        switch (f->FieldClass()) {
            case TFieldClass::Text:
            case TFieldClass::Memo:
                chars = f->Size > 0 ? std::clamp(f->Size, 8, 30) : 30;
                break;
            case TFieldClass::Guid:
                chars = 38;
                break;
            case TFieldClass::Boolean:
                chars = 6;
                break;
            case TFieldClass::DateTime:
                chars = 18;
                break;
            default:
                chars = 10;
                break;
        }
    }
    const int title = fontMetrics().horizontalAdvance(ColumnTitle(column)) + 16;
    return std::max(fontMetrics().averageCharWidth() * chars + 6, title);
}

void TExDBGrid::SetDragReorder(bool on) {
    horizontalHeader()->setSectionsMovable(on);
}

int TExDBGrid::ColumnCount() const {
    return m_model ? m_model->columnCount() : 0;
}

TField* TExDBGrid::ColumnField(int column) const {
    if (!m_dataSet || column < 0 || column >= m_dataSet->FieldCount()) {
        return nullptr;
    }
    return &m_dataSet->Fields(column);
}

QString TExDBGrid::ColumnTitle(int column) const {
    return m_model ? m_model->headerData(column, Qt::Horizontal).toString() : QString();
}

void TExDBGrid::SetColumnTitle(int column, const QString& title) {
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    m_titles.resize(ColumnCount());
    m_titles[column] = title;
    Q_EMIT m_model->headerDataChanged(Qt::Horizontal, column, column);
}

int TExDBGrid::ColumnPosition(int column) const {
    return horizontalHeader()->visualIndex(column);
}

void TExDBGrid::SetColumnPosition(int column, int position) {
    if (column < 0 || column >= ColumnCount() || position < 0 || position >= ColumnCount()) {
        return;
    }
    horizontalHeader()->moveSection(horizontalHeader()->visualIndex(column), position);
}

int TExDBGrid::ColumnWidth(int column) const {
    if (horizontalHeader()->isSectionHidden(column)) {
        return m_hiddenWidths.value(column, horizontalHeader()->defaultSectionSize());
    }
    return column == m_filled ? m_filledWidth : horizontalHeader()->sectionSize(column);
}

// The last visible column is widened to reach the viewport's edge, never narrowed; its
// own width is kept apart, so what is saved and what the column dialog shows is the one
// the user chose. A column of check marks has no use for the room: the last one of text
// before it is widened instead.
void TExDBGrid::fillLastColumn() {
    QHeaderView* h = horizontalHeader();
    if (m_filling || !m_model) {
        return;
    }
    m_filling = true;
    m_resizing = true;
    int last = -1;
    int lastOfText = -1;
    for (int visual = h->count() - 1; visual >= 0 && lastOfText < 0; --visual) {
        const int logical = h->logicalIndex(visual);
        if (h->isSectionHidden(logical)) {
            continue;
        }
        if (last < 0) {
            last = logical;
        }
        const TField* f = ColumnField(logical);
        if (!f || f->FieldClass() != TFieldClass::Boolean) {
            lastOfText = logical;
        }
    }
    if (lastOfText >= 0) {
        last = lastOfText;
    }
    if (m_filled != last) {
        if (m_filled >= 0 && m_filled < h->count() && !h->isSectionHidden(m_filled)) {
            h->resizeSection(m_filled, m_filledWidth);
        }
        m_filled = last;
        m_filledWidth = last >= 0 ? h->sectionSize(last) : 0;
    }
    if (last >= 0) {
        int others = 0;
        for (int logical = 0; logical < h->count(); ++logical) {
            if (logical != last && !h->isSectionHidden(logical)) {
                others += h->sectionSize(logical);
            }
        }
        const int target = qMax(m_filledWidth, viewport()->width() - others);
        if (h->sectionSize(last) != target) {
            h->resizeSection(last, target);
        }
    }
    m_resizing = false;
    m_filling = false;
}

void TExDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    fillLastColumn();
}

void TExDBGrid::applyDefaultWidth(int column) {
    const bool chosen = m_widthChosen.value(column);
    SetColumnWidth(column, DefaultColumnWidth(column));
    if (column < m_widthChosen.size()) {
        m_widthChosen[column] = chosen;
    }
}

void TExDBGrid::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    m_widthChosen.resize(ColumnCount());
    m_widthChosen[column] = true;
    if (horizontalHeader()->isSectionHidden(column)) {
        m_hiddenWidths.resize(ColumnCount());
        m_hiddenWidths[column] = width;
    } else {
        if (column == m_filled) {
            m_filledWidth = width;
        }
        m_resizing = true;
        horizontalHeader()->resizeSection(column, width);
        m_resizing = false;
        fillLastColumn();
    }
}

bool TExDBGrid::ColumnVisible(int column) const {
    return !horizontalHeader()->isSectionHidden(column);
}

void TExDBGrid::SetFieldRole(int role, const QString& fieldName) {
    m_fieldRoles.insert(role, fieldName);
    if (m_model) {
        m_model->SetFieldRole(role, fieldName);
    }
}

QStyleOptionViewItem TExDBGrid::CellOption(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return option;
}

bool TExDBGrid::keptHidden(const TField* field) const {
    return field && !field->Visible && !m_shownInvisible.contains(field->FieldName);
}

void TExDBGrid::SetColumnVisible(int column, bool visible) {
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    if (const TField* f = ColumnField(column); f && !f->Visible) {
        if (visible) {
            m_shownInvisible.insert(f->FieldName);
        } else {
            m_shownInvisible.remove(f->FieldName);
        }
    }
    if (ColumnVisible(column) == visible) {
        return;
    }
    m_hiddenWidths.resize(ColumnCount());
    // Showing and hiding resize the section; that is no user's shrinking.
    m_resizing = true;
    if (!visible) {
        m_hiddenWidths[column] = ColumnWidth(column);
        if (column == m_filled) {
            m_filled = -1;
        }
        horizontalHeader()->setSectionHidden(column, true);
    } else {
        horizontalHeader()->setSectionHidden(column, false);
        const int width =
            m_hiddenWidths[column] > 1 ? m_hiddenWidths[column] : DefaultColumnWidth(column);
        horizontalHeader()->resizeSection(column, width);
    }
    m_resizing = false;
    fillLastColumn();
}

QVector<int> TExDBGrid::ColumnOrder() const {
    QVector<int> order;
    for (int visual = 0; visual < ColumnCount(); ++visual) {
        order << horizontalHeader()->logicalIndex(visual);
    }
    return order;
}

void TExDBGrid::sectionResized(int logical, int oldSize, int newSize) {
    if (m_resizing) {
        return;
    }
    m_widthChosen.resize(ColumnCount());
    m_widthChosen[logical] = true;
    if (logical == m_filled) {
        m_filledWidth = newSize;
    }
    // Shrinking a title to 1 pixel or less hides its column; it keeps its old width for
    // when it is shown again.
    if (newSize <= 1) {
        m_resizing = true;
        m_hiddenWidths.resize(ColumnCount());
        m_hiddenWidths[logical] = oldSize > 1 ? oldSize : horizontalHeader()->defaultSectionSize();
        horizontalHeader()->setSectionHidden(logical, true);
        m_resizing = false;
    }
    fillLastColumn();
    Guarded([this, logical]() { Q_EMIT columnResized(logical); });
}

int TExDBGrid::TitleImageIndex(int column) const {
    int image = -1;
    Q_EMIT titleImageWanted(column, image);
    return image;
}

int TExDBGrid::SelectedIndex() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : m_selectedColumn;
}

void TExDBGrid::SetSelectedIndex(int column) {
    if (!m_model || column < 0 || column >= ColumnCount()) {
        return;
    }
    m_selectedColumn = column;
    const int row = std::max(0, currentIndex().row());
    if (row < m_model->rowCount()) {
        setCurrentIndex(m_model->index(row, column));
    }
}

TField* TExDBGrid::SelectedField() const {
    int column = SelectedIndex();
    if (column < 0) {
        // Nothing selected yet: the first column the grid shows.
        for (int c : ColumnOrder()) {
            if (ColumnVisible(c)) {
                column = c;
                break;
            }
        }
    }
    return ColumnField(column);
}

QLineEdit* TExDBGrid::InplaceEditor() const {
    if (state() != QAbstractItemView::EditingState) {
        return nullptr;
    }
    return qobject_cast<QLineEdit*>(indexWidget(currentIndex()));
}

void TExDBGrid::CloseInplaceEditor() {
    if (QLineEdit* editor = InplaceEditor()) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

int TExDBGrid::CurrentRowOffset() const {
    const int row = currentIndex().row();
    return row < 0 ? -1 : rowViewportPosition(row);
}

void TExDBGrid::SetCurrentRowOffset(int pixels) {
    const int row = currentIndex().row();
    if (row < 0 || pixels < 0) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int shift = rowViewportPosition(row) - pixels;
    if (verticalScrollMode() == QAbstractItemView::ScrollPerPixel) {
        bar->setValue(bar->value() + shift);
    } else {
        bar->setValue(bar->value() + shift / std::max(1, rowHeight(row)));
    }
}

void TExDBGrid::followDataSet(int row) {
    if (m_following || !m_model) {
        return;
    }
    m_following = true;
    if (row >= 0 && row < m_model->rowCount()) {
        int column = currentIndex().isValid() ? currentIndex().column() : m_selectedColumn;
        if (column < 0 || column >= ColumnCount() || !ColumnVisible(column)) {
            column = -1;
            for (int c : ColumnOrder()) {
                if (ColumnVisible(c)) {
                    column = c;
                    break;
                }
            }
        }
        if (column >= 0) {
            const QModelIndex target = m_model->index(row, column);
            setCurrentIndex(target);
            scrollTo(target);
        }
    }
    m_following = false;
}

void TExDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid()) {
        m_selectedColumn = current.column();
    }
    if (m_following || !m_dataSet || !m_dataSet->Active() || !current.isValid()) {
        return;
    }
    if (current.row() != m_dataSet->RecNo() - 1) {
        m_following = true;
        Guarded([this, &current]() { m_dataSet->SetRecNo(current.row() + 1); });
        m_following = false;
    }
}

void TExDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (indexAt(event->pos()).isValid()) {
        Q_EMIT DblClick();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void TExDBGrid::UpdateTitles() {
    if (m_model && ColumnCount() > 0) {
        Q_EMIT m_model->headerDataChanged(Qt::Horizontal, 0, ColumnCount() - 1);
    }
}

void TExDBGrid::SaveColumns(const QString& key) const {
    TRegistry reg;
    if (!reg.OpenKey(key, true)) {
        return;
    }
    for (int c : ColumnOrder()) {
        const TField* f = ColumnField(c);
        if (f) {
            reg.WriteString(f->FieldName, ColumnLayoutValue(ColumnTitle(c), ColumnPosition(c),
                                                            ColumnWidth(c), ColumnVisible(c)));
        }
    }
}

void TExDBGrid::LoadColumns(const QString& key) {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(key)) {
        return;
    }
    // The columns in their order before any change, then each moved to its stored place.
    const QVector<int> order = ColumnOrder();
    QVector<std::pair<int, int>> positions;  // (stored position, column)
    setUpdatesEnabled(false);
    for (int c : order) {
        const TField* f = ColumnField(c);
        if (!f) {
            continue;
        }
        const auto value = reg.ReadString(f->FieldName);
        QString title;
        int position = 0;
        int width = 0;
        bool visible = true;
        if (!value || !ParseColumnLayoutValue(*value, title, position, width, visible)) {
            continue;
        }
        SetColumnTitle(c, title);
        SetColumnVisible(c, visible);
        SetColumnWidth(c, width);
        positions.append({position, c});
    }
    // Lowest position first, so every column lands exactly where it was saved.
    std::sort(positions.begin(), positions.end());
    for (const auto& [position, column] : positions) {
        SetColumnPosition(column, position);
    }
    setUpdatesEnabled(true);
}

int SortMarkIndex(int position, bool descending) {
    if (position < 1 || position > SortMarkPlaces) {
        return -1;
    }
    return (position - 1) * 2 + (descending ? 1 : 0);
}
