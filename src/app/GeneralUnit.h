#pragma once

#include "common/CatalogueModule.h"

#include <QAction>
#include <QSet>

// The shared data module: the catalogue module, wired to the application. It reads the
// stored connection string at creation and connects, asks for another catalogue when
// that fails, remembers each catalogue it opens, and owns the category list command.
class TGeneralModule final : public TCatalogueModule {
    Q_OBJECT
public:
    // Creation connects (DataModuleCreate); see Connect for what a failure does.
    explicit TGeneralModule(QObject* parent = nullptr, bool connectNow = true);
    ~TGeneralModule() override;

    // "Список категорий...", which the main window puts in its "Настройка" menu.
    QAction* EditCategoryListAction() const { return m_editCategoryList; }

    void Connect();
    bool SelectDatabase();
    // Stores the connection string of an open catalogue; the entry sequence calls it at
    // exit, while still connected.
    void SaveConnectionString();
    void EditListsExecute();
    void EditCategoryList() override;

    // Set when a failed database choice ended the program: the event loop quits at once.
    bool TerminateRequested() const { return m_terminate; }
    // While the first start asks for a catalogue (no connection has ever been stored).
    bool FirstStart() const { return m_firstStart; }

protected:
    void CatalogueOpened() override;

private:
    void requestTerminate();

    QAction* m_editCategoryList;
    bool m_terminate = false;
    // The catalogues whose server warning was shown this session.
    QSet<QString> m_warned;
    bool m_firstStart = false;
};
