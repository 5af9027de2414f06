#pragma once

#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"

#include <QAction>
#include <QIcon>
#include <QObject>
#include <QVector>

#include <functional>
#include <optional>

// The shared data module: the one database connection, the shared category list, the
// category list command and the shared images. It connects at creation and stores the
// connection string at exit.
class TExDBGrid;

class TGeneralModule final : public QObject {
    Q_OBJECT
public:
    // Creation connects (DataModuleCreate); see Connect for what a failure does.
    explicit TGeneralModule(QObject* parent = nullptr, bool connectNow = true);
    ~TGeneralModule() override;

    TConnection ADOConnection;
    TDataSet adsCategoryList;
    QAction* actEditCategoryList;
    // Image 0: ascending, image 1: descending sort mark of a grid title.
    QVector<QIcon> MainImageList;

    // How a connection string is edited; the data-link dialog unless a test answers. No
    // string: cancelled.
    std::function<std::optional<QString>(const QString& old)> EditConnectionString;
    // The list editor, run on a dataset, its name field and a caption.
    std::function<void(TDataSet&, const QString&, const QString&)> RunListEditor;

    void Connect();
    bool SelectDatabase();
    void ADOConnectionAfterConnect();
    void CheckNullBeforePost();
    void DataModuleDestroy();
    void EditListsExecute();

    // Sorts by one field (ascending or descending) or, without a field, runs the advanced
    // sort dialog; the current record stays current.
    void SortDataSet(TDataSet& dataSet, TField* field, TExDBGrid* grid, bool ascending);
    // A title click: the first click sorts a column descending, the next ascending.
    void ToggleColumnSort(TExDBGrid& grid, int column);
    // The advanced sort dialog, run on a dataset.
    std::function<void(TDataSet&, TExDBGrid*)> RunSortDialog;

    // Set when a failed database choice ended the program: the event loop quits at once.
    bool TerminateRequested() const { return m_terminate; }
    // While the first start asks for a catalogue (no connection has ever been stored).
    bool FirstStart() const { return m_firstStart; }

private:
    void requestTerminate();

    bool m_terminate = false;
    bool m_firstStart = false;
};

// Paints the sort marks of grid titles: ascending and descending for the first sort
// column, then lighter ones numbered 2 to SortMarkPlaces for the later columns.
QVector<QIcon> MakeSortMarkImages();
