#!/usr/bin/env bash
# Builds the Debian package and checks it: lintian finds no error; then, on a disposable
# machine only (CI=true, as root), installs it, starts /usr/bin/linkarium under Xvfb with a
# fresh home set to English until its window shows (the language file read from the
# installed folder), removes it again and checks nothing of it is left.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
deb="$(./scripts/package.sh | tail -1)"
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
echo "depends: $(dpkg-deb -f "$deb" Depends)"
said="$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)"
[ -z "$said" ] || echo "$said"
if grep -q '^E: ' <<<"$said"; then
    echo "FAILED: lintian reports errors"
    exit 1
fi
if [ "${CI:-}" != "true" ] || [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing the package needs a disposable machine (CI=true, as root)"
    exit 0
fi
if dpkg-query -W -f='${Status}' linkarium 2>/dev/null | grep -q 'install ok installed'; then
    echo "SKIPPED: a linkarium package is installed here already; it is left alone"
    exit 0
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$here/$deb" >/dev/null
home="$(mktemp -d)"
cleanup() {
    rm -rf "$home"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq linkarium >/dev/null 2>&1 || true
}
trap cleanup EXIT
[ -f /usr/share/linkarium/translations/linkarium.ENU ] || { echo "FAILED: no language file"; exit 1; }
# English chosen in the options, as the options dialog stores it (value CurrentLanguage 1033
# under the options key of the settings store).
store="$home/.config/Quorvel/Linkarium"
mkdir -p "$store"
sqlite3 "$store/settings.db" "PRAGMA application_id=1280004679;
    CREATE TABLE reg_keys(fold TEXT PRIMARY KEY, path TEXT NOT NULL) WITHOUT ROWID;
    CREATE TABLE reg_values(id INTEGER PRIMARY KEY AUTOINCREMENT, key_fold TEXT NOT NULL,
        fold TEXT NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL, data,
        UNIQUE(key_fold, fold));
    INSERT INTO reg_keys VALUES('software', 'Software'), ('software\quorvel', 'Software\Quorvel'),
        ('software\quorvel\linkarium', 'Software\Quorvel\Linkarium'),
        ('software\quorvel\linkarium\options', 'Software\Quorvel\Linkarium\Options');
    INSERT INTO reg_values(key_fold, fold, name, type, data)
        VALUES('software\quorvel\linkarium\options', 'currentlanguage', 'CurrentLanguage', 4, 1033);"
chmod 600 "$store/settings.db"
shown="$(HOME="$home" XDG_RUNTIME_DIR="$home" timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c 'strace -f -qq -e trace=openat -o "$HOME/opened" /usr/bin/linkarium >/dev/null 2>&1 &
             pid=$!
             for i in $(seq 1 100); do
                 if xwininfo -root -tree 2>/dev/null | grep -q "\"Linkarium\""; then
                     echo shown; break
                 fi
                 sleep 0.2
             done
             pkill -x linkarium; wait $pid 2>/dev/null || true')"
if [ "$shown" != "shown" ]; then
    echo "FAILED: the installed program showed no window"
    exit 1
fi
if ! grep -q '/usr/share/linkarium/translations/linkarium.ENU' "$home/opened"; then
    echo "FAILED: the English interface did not read its language file from /usr/share/linkarium"
    exit 1
fi
trap - EXIT
cleanup
if [ -e /usr/bin/linkarium ] || [ -e /usr/share/linkarium ] ||
   [ -e /usr/share/applications/example.quorvel.Linkarium.desktop ]; then
    echo "FAILED: files of the package are left in /usr"
    exit 1
fi
echo "PASSED: the package installs, starts its window from /usr/bin and leaves nothing behind"
