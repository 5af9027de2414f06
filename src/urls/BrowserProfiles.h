#pragma once

#include <QString>
#include <QStringList>

// The bookmark files of the user whose home folder is given, each once: the places.sqlite
// of every Firefox profile (listed in profiles.ini, or any folder holding one) in
// ~/.mozilla/firefox, ~/.config/mozilla/firefox, the Flatpak's
// ~/.var/app/org.mozilla.firefox/.mozilla/firefox and the Snap's
// ~/snap/firefox/common/.mozilla/firefox; and the "Bookmarks" file of every profile
// (Default, Profile 1...) of Chromium, Google Chrome, Brave, Vivaldi and Microsoft Edge in
// ~/.config and in their Flatpaks' ~/.var/app/<id>/config (and Chromium's Snap).
QStringList BrowserBookmarkFiles(const QString& home);
