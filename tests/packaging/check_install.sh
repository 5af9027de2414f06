#!/usr/bin/env bash
# Installs a build into a throwaway DESTDIR and checks what a desktop needs of it: every
# file in place, the desktop entry and the AppStream metadata valid without a word.
set -euo pipefail
build="$1"
id=example.quorvel.Linkarium
for tool in desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
dest="$(mktemp -d)"
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
files=(usr/bin/linkarium
       usr/share/linkarium/help/linkarium.html
       usr/share/linkarium/help/linkarium.en.html
       usr/share/linkarium/translations/linkarium.ENU
       "usr/share/applications/$id.desktop"
       "usr/share/metainfo/$id.metainfo.xml"
       "usr/share/icons/hicolor/scalable/apps/$id.svg")
for size in 16 22 24 32 48 64 128 256; do
    files+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
status=0
for f in "${files[@]}"; do
    if [ ! -f "$dest/$f" ]; then
        echo "missing: /$f"
        status=1
    fi
done
# A hint is advice, not a fault: Office and Network are both main categories on purpose.
said="$(desktop-file-validate "$dest/usr/share/applications/$id.desktop" 2>&1 |
        grep -v ': hint: ')" || true
desktop-file-validate "$dest/usr/share/applications/$id.desktop" >/dev/null 2>&1 || status=1
if [ -n "$said" ]; then
    echo "desktop-file-validate: $said"
    status=1
fi
if ! appstreamcli validate --no-net "$dest/usr/share/metainfo/$id.metainfo.xml"; then
    status=1
fi
if [ "$status" -eq 0 ]; then
    echo "${#files[@]} installed files present; desktop entry and metadata valid"
fi
exit "$status"
