#pragma once

#include <QString>
#include <QStringList>

// A link handed over from outside to be added to the catalogue: by a browser through a
// "linkarium:add?..." address (a bookmarklet), or by the command line. Everything in it is
// untrusted: it only fills the record dialog, and nothing is saved without the user's OK.
struct TCaptureRequest {
    QString URL;
    QString Title;        // the page's title: the description when none is given
    QString Description;  // the text the user selected on the page; may hold line breaks
    QString Category;     // names separated by "; "

    // What the record dialog's description starts with.
    QString DescriptionText() const { return Description.isEmpty() ? Title : Description; }
};

// A parsed request, or why it is refused (then Request is empty).
struct TCaptureParse {
    TCaptureRequest Request;
    QString Refusal;
    bool Ok() const { return Refusal.isEmpty(); }
};

// The longest "linkarium:" address taken, in characters: room for a selection of some ten
// thousand letters percent-encoded, within the line a later start may hand the running copy,
// short enough that a page cannot make the program hold much.
constexpr int kMaxCaptureAddress = 200 * 1024;

// "linkarium:add?url=...&title=...&description=...&category=..." with percent-encoded UTF-8
// values. Refused: another command, a parameter given twice, no address, bytes that are not
// UTF-8, a NUL or control character, an address that is not a web or mail address.
TCaptureParse ParseCaptureAddress(const QString& address);
// The request as such an address: how a later start hands it to the running copy.
QString CaptureAddress(const TCaptureRequest& request);

// What the command line asks for.
struct TCommandLine {
    enum class TKind { Run, Help, Capture, Error };
    TKind Kind = TKind::Run;
    TCaptureRequest Request;  // for Capture
    QString Error;            // for Error: what was wrong, for standard error
};

// "--help"; "--add URL [--title T] [--description D] [--category C]"; or one "linkarium:"
// address, as the desktop hands a link over. Anything else is an error, never an option
// of the toolkit's: the arguments are the program's own.
TCommandLine ParseCommandLine(const QStringList& arguments);
// Whether the arguments are the program's own (an option of ParseCommandLine's, or a
// "linkarium:" address) rather than the toolkit's ("-style", "-platform"...).
bool IsOwnCommandLine(const QStringList& arguments);
// The text "--help" prints.
QString CommandLineHelp();
