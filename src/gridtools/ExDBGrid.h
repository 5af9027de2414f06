#pragma once

#include <QHash>
#include <QIcon>
#include <QSet>
#include <QTableView>
#include <QVector>

#include <memory>

#include <QStyledItemDelegate>

class QLineEdit;
class TDataSet;
class TDataSetModel;
class TField;

// Cells open a read-only line editor: the text of a cell can be selected (for a quick
// filter on part of it) but never changed, the grid being read-only.
class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Elides a one-line text to its cell as the style would, laying out a few dozen
    // characters rather than the whole value: the grid paints every cell of every frame
    // while it scrolls. False, and the text untouched, for anything but one plain line.
    static bool FitCellText(QStyleOptionViewItem& option);
    // Draws a cell: a fitted line by itself inside the style's panel and focus frame,
    // anything else through the style.
    static void PaintCell(QPainter* painter, const QStyleOptionViewItem& option, bool oneLine);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
};

// The data grid of the record views: a read-only table over a dataset that follows the
// dataset's current record. Its titles carry images, can be dragged to reorder the
// columns, resized, and shrunk to 1 pixel or less to hide a column; a title click is
// reported. Rows keep one fixed height. The column layout is saved per column as
// "title",position,width,visible.
// The sort marks a grid's Images hold: for each place of a column in the sort, from 1 up
// to SortMarkPlaces, an ascending and a descending mark. The index of one, -1 for none.
constexpr int SortMarkPlaces = 9;
int SortMarkIndex(int position, bool descending);

class TExDBGrid final : public QTableView {
    Q_OBJECT
public:
    explicit TExDBGrid(QWidget* parent = nullptr);
    ~TExDBGrid() override;

    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return m_dataSet; }

    void SetDragReorder(bool on);
    // The images a title can show; which one a title shows is asked of titleImageWanted.
    void SetImages(const QVector<QIcon>& images) { m_images = images; }
    const QVector<QIcon>& Images() const { return m_images; }
    // The index of the image column's title shows, -1 for none.
    int TitleImageIndex(int column) const;

    // Column i is field i of the dataset.
    int ColumnCount() const;
    TField* ColumnField(int column) const;
    QString ColumnTitle(int column) const;
    void SetColumnTitle(int column, const QString& title);
    int ColumnPosition(int column) const;
    void SetColumnPosition(int column, int position);
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    bool ColumnVisible(int column) const;
    void SetColumnVisible(int column, bool visible);
    // A column's width before the user sets one: the field's display width in characters.
    int DefaultColumnWidth(int column) const;
    // Column indexes in the order the grid shows them.
    QVector<int> ColumnOrder() const;

    int SelectedIndex() const;  // the selected column, -1 without one
    void SetSelectedIndex(int column);
    TField* SelectedField() const;
    // The open in-place editor of the selected cell, or null.
    // Closes the in-place editor, if one is open, without a change.
    void CloseInplaceEditor();
    // How far the current row is from the top of the grid, in pixels (-1 without one), and
    // the scrolling that puts it there again after the rows were read anew.
    int CurrentRowOffset() const;
    void SetCurrentRowOffset(int pixels);
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    QLineEdit* InplaceEditor() const;

    void SaveColumns(const QString& key) const;
    void LoadColumns(const QString& key);

    // Refreshes the title images (after the sort changed).
    void UpdateTitles();

    // A model role answering the named field's value in each row (see TDataSetModel), kept
    // for every dataset the grid shows.
    void SetFieldRole(int role, const QString& fieldName);
    // The options a cell is painted with, its rectangle included.
    QStyleOptionViewItem CellOption(const QModelIndex& index) const;

Q_SIGNALS:
    void DblClick();
    // The title of column was clicked, resized or dragged to another place.
    void titleClicked(int column);
    void columnResized(int column);
    void columnMoved(int from, int to);
    // Asked each time a title is painted, so the answer must come at once: a receiver
    // connected directly sets image (it starts as -1, none) to an index into Images.
    void titleImageWanted(int column, int& image) const;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void followDataSet(int row);
    void sectionResized(int logical, int oldSize, int newSize);
    void applyDefaultWidth(int column);
    void fillLastColumn();
    // A field the program keeps invisible whose column the user has not asked to see.
    bool keptHidden(const TField* field) const;

    TDataSet* m_dataSet = nullptr;
    std::unique_ptr<TDataSetModel> m_model;
    QVector<QString> m_titles;    // per column, empty for the field's own title
    QVector<int> m_hiddenWidths;  // width a hidden column gets back when shown
    QVector<bool> m_widthChosen;  // set by the user or a saved layout, not by a default
    int m_selectedColumn = -1;    // kept while the dataset's rows are replaced
    bool m_following = false;
    bool m_resizing = false;
    bool m_filling = false;
    int m_filled = -1;  // the last visible column, widened to the edge
    int m_filledWidth = 0;
    // Fields kept invisible whose columns the user has shown, by name.
    QSet<QString> m_shownInvisible;
    QHash<int, QString> m_fieldRoles;
    QVector<QIcon> m_images;
};
