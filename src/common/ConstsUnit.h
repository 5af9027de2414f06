#pragma once

#include <QString>

// Registry keys of the program, all below the one root.
inline const QString RegRootKey = QStringLiteral("Software\\Quorvel\\Linkarium");
inline const QString RegOptionsKey = QStringLiteral("Software\\Quorvel\\Linkarium\\Options");
inline const QString RegConnectionValue = QStringLiteral("Connection");

inline const QString ApplicationTitle = QStringLiteral("Linkarium");

// The publisher's address, opened by a click on the banner.
inline const QString PublisherURL = QStringLiteral("https://www.quorvel.example/linkarium/");

// Menu merging: a window whose property MergeMenus is true lends the menus of its menu bar
// to the main window's bar while it is active; each menu's GroupIndex places it there.
inline const char* const MergeMenusProperty = "MergeMenus";
inline const char* const GroupIndexProperty = "GroupIndex";
