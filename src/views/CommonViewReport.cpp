#include "common/Hourglass.h"
#include "platform/db/DataSet.h"
#include "reports/PrepareSubjectReportDlg.h"
#include "reports/PreviewHTMLDlg.h"
#include "reports/ReportWriter.h"
#include "views/CommonViewFrm.h"

#include <QCoreApplication>

// The report command of every record view, kept apart from the window's other roles.

namespace {

// ReportFields lives for one report command, whatever way it ends.
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

void TCommonViewForm::actShowReportExecute() {
    const TReportFieldsScope scope(ReportFields);
    TPrepareSubjectReportForm dialog(this);
    dialog.SetRegistryKey(ViewKey());
    dialog.LoadSelection();
    dialog.FillTree(*adsCommon, ViewTitle());
    const bool confirmed = RunReportDialog ? RunReportDialog(dialog) : dialog.Execute();
    if (!confirmed) {
        return;
    }
    QCoreApplication::processEvents();
    dialog.GetSelectedFields(ReportFields);
    TPreviewHTMLForm preview(this);
    preview.SetReportTitle(ViewTitle());
    {
        const THourglass hourglass;
        preview.SetHTML(BuildReport());
    }
    if (ShowPreview) {
        ShowPreview(preview);
    } else {
        preview.exec();
    }
}

QString TCommonViewForm::BuildReport() {
    return QString::fromUtf8(BuildReportPage(*adsCommon, ReportFields, ViewTitle()));
}
