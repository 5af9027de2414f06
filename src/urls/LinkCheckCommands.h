#pragma once

#include "urls/LinkCheck.h"

#include <QCoreApplication>

#include <memory>

class TCatalogueModule;
class TDataSet;
class TLinkCheckForm;
class TURLViewForm;

// The link commands of the URL view on the current record or on every record in view: the
// check, run in a window of its own while the view stays usable, and taking the new
// addresses of moved links.
class TLinkCheckCommands final {
    Q_DECLARE_TR_FUNCTIONS(TURLViewForm)
public:
    TLinkCheckCommands(TURLViewForm& view, TDataSet& dataSet, TCatalogueModule& module);
    // Checks a refused write left for the next check: one more try before they go.
    ~TLinkCheckCommands();
    TLinkCheckCommands(const TLinkCheckCommands&) = delete;
    TLinkCheckCommands& operator=(const TLinkCheckCommands&) = delete;

    void CheckLinks();
    void AcceptNewAddresses();
    // Limits of the link check; a time limit of 0 is the program option's.
    void SetOptions(const TLinkCheckOptions& options) { m_options = options; }
    // The running check's window; null when none runs.
    TLinkCheckForm* Running() const { return m_linkCheck.get(); }

private:
    // The keys and addresses a command on records works on: the current record's or,
    // when the user says so, those of every record in view; empty when cancelled.
    QList<TLinkToCheck> chosenLinks(const QString& question);
    void finished(const QString& summary);

    TURLViewForm& m_view;
    TDataSet& m_dataSet;
    TCatalogueModule& m_module;
    TLinkCheckOptions m_options{0};
    std::unique_ptr<TLinkCheckForm> m_linkCheck;
    // Checks the last window could not write, written with the next check's.
    QList<TLinkCheckResult> m_unwrittenChecks;
};
