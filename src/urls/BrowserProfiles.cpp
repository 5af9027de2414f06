#include "urls/BrowserProfiles.h"

#include "urls/TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// Where Firefox keeps its profiles, below the home folder.
const char* const kFirefoxHomes[] = {
    ".mozilla/firefox",
    ".config/mozilla/firefox",
    ".var/app/org.mozilla.firefox/.mozilla/firefox",
    ".var/app/org.mozilla.firefox/config/mozilla/firefox",
    "snap/firefox/common/.mozilla/firefox",
};

// Where each Chromium-family browser keeps its profiles, below ~/.config (or below the
// Flatpak's own config folder), and its Flatpak's name.
struct TChromiumHome {
    const char* config;
    const char* flatpak;
};
const TChromiumHome kChromiumHomes[] = {
    {"chromium", "org.chromium.Chromium"},
    {"google-chrome", "com.google.Chrome"},
    {"BraveSoftware/Brave-Browser", "com.brave.Browser"},
    {"vivaldi", "com.vivaldi.Vivaldi"},
    {"microsoft-edge", "com.microsoft.Edge"},
};

// The Snap of Chromium keeps its profiles apart from both.
const char kChromiumSnap[] = "snap/chromium/common/chromium";

constexpr qint64 kMaxProfilesIni = 1024 * 1024;

class TFoundFiles final {
public:
    void Add(const QString& file) {
        const QFileInfo info(file);
        if (!info.isFile()) {
            return;
        }
        // The same profile reached twice (a link, a path in profiles.ini) is listed once.
        const QString key = info.canonicalFilePath();
        if (!m_seen.contains(key)) {
            m_seen.insert(key);
            m_files << info.absoluteFilePath();
        }
    }
    QStringList Files() const { return m_files; }

private:
    QStringList m_files;
    QSet<QString> m_seen;
};

QStringList subfolders(const QString& folder) {
    QStringList out;
    const QDir dir(folder);
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        out << sub.filePath();
    }
    return out;
}

// The profiles profiles.ini names, in its order: "Path" of every "Profile..." section,
// relative to the folder unless "IsRelative=0".
QStringList listedProfiles(const QString& folder) {
    QByteArray bytes;
    if (!ReadRegularFile(folder + QStringLiteral("/profiles.ini"), kMaxProfilesIni, bytes)) {
        return QStringList();
    }
    const QString text = DecodeText(bytes);
    QStringList out;
    for (int i = 0; i < 1000; ++i) {
        const QString section = QStringLiteral("Profile%1").arg(i);
        const QString path = IniValue(text, section, QStringLiteral("Path")).trimmed();
        if (path.isEmpty()) {
            if (IniValue(text, section, QStringLiteral("Name")).isEmpty()) {
                break;
            }
            continue;
        }
        const bool relative =
            IniValue(text, section, QStringLiteral("IsRelative")).trimmed() != QLatin1String("0");
        out << (relative ? folder + QLatin1Char('/') + path : path);
    }
    return out;
}

}  // namespace

QStringList BrowserBookmarkFiles(const QString& home) {
    TFoundFiles found;
    for (const char* firefox : kFirefoxHomes) {
        const QString folder = home + QLatin1Char('/') + QLatin1String(firefox);
        for (const QString& profile : listedProfiles(folder)) {
            found.Add(profile + QStringLiteral("/places.sqlite"));
        }
        for (const QString& profile : subfolders(folder)) {
            found.Add(profile + QStringLiteral("/places.sqlite"));
        }
    }
    for (const TChromiumHome& browser : kChromiumHomes) {
        const QString config = QLatin1String(browser.config);
        for (const QString& folder :
             {QString(home + QStringLiteral("/.config/") + config),
              QString(home + QStringLiteral("/.var/app/") + QLatin1String(browser.flatpak) +
                      QStringLiteral("/config/") + config)}) {
            for (const QString& profile : subfolders(folder)) {
                found.Add(profile + QStringLiteral("/Bookmarks"));
            }
        }
    }
    for (const QString& profile :
         subfolders(home + QLatin1Char('/') + QLatin1String(kChromiumSnap))) {
        found.Add(profile + QStringLiteral("/Bookmarks"));
    }
    return found.Files();
}
