#include "views/ViewReportCommand.h"

#include "common/DialogsUnit.h"
#include "common/Hourglass.h"
#include "reports/PrepareSubjectReportDlg.h"
#include "reports/PreviewHTMLDlg.h"
#include "views/CommonViewFrm.h"

#include <QCoreApplication>

namespace {

// The fields live for one report command, whatever way it ends.
class TReportFieldsScope final {
public:
    explicit TReportFieldsScope(QList<TField*>& fields) : m_fields(fields) { m_fields.clear(); }
    ~TReportFieldsScope() { m_fields.clear(); }
    TReportFieldsScope(const TReportFieldsScope&) = delete;
    TReportFieldsScope& operator=(const TReportFieldsScope&) = delete;

private:
    QList<TField*>& m_fields;
};

}  // namespace

TViewReportCommand::TViewReportCommand(TCommonViewForm& view, TDataSet& dataSet)
    : m_view(view), m_dataSet(dataSet) {}

void TViewReportCommand::Run() {
    const TReportFieldsScope scope(m_fields);
    TPrepareSubjectReportForm dialog(&m_view);
    dialog.SetRegistryKey(m_view.ViewKey());
    dialog.LoadSelection();
    dialog.FillTree(m_dataSet, m_view.ViewTitle());
    if (!dialog.Execute()) {
        return;
    }
    QCoreApplication::processEvents();
    dialog.GetSelectedFields(m_fields);
    TPreviewHTMLForm preview(&m_view);
    preview.SetReportTitle(m_view.ViewTitle());
    {
        const THourglass hourglass;
        preview.SetHTML(m_view.BuildReport());
    }
    Dialogs().execDialog(preview);
}
