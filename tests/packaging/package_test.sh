#!/bin/sh
# The Debian package as a user gets it: its metadata passes desktop-file-validate, appstreamcli
# and lintian without errors; unpacked, qeltx-cli says its version and the editor opens its
# window under Xvfb (a screenshot of it is left beside the package).
#   tests/packaging/package_test.sh PACKAGE.deb
set -eu
DEB=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

dpkg-deb -x "$DEB" "$WORK/root"
ROOT=$WORK/root
for f in usr/bin/qeltx-editor usr/bin/qeltx-cli usr/bin/qeltx-pedal-sim usr/lib/udev/rules.d/99-qeltx.rules \
         usr/share/applications/qeltx-editor.desktop usr/share/metainfo/org.qeltx.Editor.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/qeltx-editor.svg usr/share/doc/qeltx-editor/copyright; do
    [ -f "$ROOT/$f" ] || fail "$f is not in the package"
done

desktop-file-validate "$ROOT/usr/share/applications/qeltx-editor.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.qeltx.Editor.metainfo.xml" || fail "appstreamcli validate"
# Lintian exits non-zero on an error; warnings are shown.
lintian --tag-display-limit 0 "$DEB" 2>&1 | grep -v "root privileges" || true
lintian --fail-on error "$DEB" >/dev/null 2>&1 || fail "lintian reports errors"

version=$(dpkg-deb -f "$DEB" Version)
[ "$("$ROOT/usr/bin/qeltx-cli" --version)" = "qeltx-cli $version" ] || fail "qeltx-cli --version does not say $version"
"$ROOT/usr/bin/qeltx-pedal-sim" --help >/dev/null 2>&1 || [ $? -eq 2 ] || fail "qeltx-pedal-sim does not start"

shot=${DEB%.deb}-screenshot.png
rm -f "$shot"
# Its own home folder: the editor writes its preferences into the documents folder below it.
mkdir -p "$WORK/home"
HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
  timeout 60 xvfb-run -a "$ROOT/usr/bin/qeltx-editor" --virtual-pedal --screenshot "$shot" || fail "the editor did not start"
[ -s "$shot" ] || fail "the editor left no screenshot"
size=$(identify -format '%w %h' "$shot")
set -- $size
[ "$1" -ge 300 ] && [ "$2" -ge 300 ] || fail "the screenshot is only $1 x $2"
echo "package test: $(basename "$DEB") passed; screenshot $shot"
