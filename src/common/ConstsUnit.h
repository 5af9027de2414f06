#pragma once

#include <QString>

// Registry keys of the program, all below the one root.
inline const QString RegRootKey = QStringLiteral("Software\\Quorvel\\Linkarium");
inline const QString RegOptionsKey = QStringLiteral("Software\\Quorvel\\Linkarium\\Options");
inline const QString RegConnectionValue = QStringLiteral("Connection");

inline const QString ApplicationTitle = QStringLiteral("Linkarium");
