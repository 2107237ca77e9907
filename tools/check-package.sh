#!/usr/bin/env bash
# Checks the Debian package in the given build folder as Debian's own tools do,
# then installs it on this machine, checks what it put where, and removes it.
set -euo pipefail
build=${1:-build-deb}
deb=$(ls "$build"/corvalink_*_amd64.deb)
id=app.corvalink.Corvalink
version=$(dpkg-deb -f "$deb" Version)
fail() { echo "check-package: $*" >&2; exit 1; }

echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb -f "$deb" Depends Recommends

echo "== lintian"
# Errors fail the check; warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== AppStream and the desktop entry"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/$id.metainfo.xml"
desktop-file-validate "$tmp/root/usr/share/applications/$id.desktop"
grep -q "<release version=\"$version\"" "$tmp/root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo does not name release $version"

echo "== the manual page"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$tmp/root/usr/share/man/man1/corvalink.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man reports: $warnings"
for option in $(./"$build"/bin/corvalink --help | grep -oE '^  --[a-z]+'); do
  zcat "$tmp/root/usr/share/man/man1/corvalink.1.gz" | grep -q -- "${option//-/\\\\-}" || fail "the manual lacks $option"
done

echo "== install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --no-install-recommends "./$deb" >/dev/null
files=$(dpkg -L corvalink)
for path in /usr/bin/corvalink /usr/lib/corvalink/corvalink-web /usr/share/applications/$id.desktop \
            /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/icons/hicolor/symbolic/apps/$id-symbolic.svg \
            /usr/share/metainfo/$id.metainfo.xml /usr/share/man/man1/corvalink.1.gz; do
  [ -e "$path" ] || fail "$path is not installed"
done
[ "$(corvalink --version)" = "Corvalink $version" ] || fail "corvalink --version says $(corvalink --version)"

# The installed app finds its web window helper: with no browser, "--open" shows
# the account in a web window and lives as long as it is open (nothing listens on
# port 9: the page stays empty, the window stays open).
home="$tmp/home"
mkdir -p "$home/.local/share/Corvalink" "$home/runtime"
chmod 700 "$home/runtime"
printf '[{"id":"6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8","label":"work","siteName":"Example","url":"http://127.0.0.1:9/"}]' \
  > "$home/.local/share/Corvalink/accounts.json"
status=0
# As root the web engine runs without its sandbox; the package never sets this.
timeout 20 xvfb-run -a env HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_RUNTIME_DIR="$home/runtime" PATH=/nonexistent QTWEBENGINE_DISABLE_SANDBOX=1 \
  /usr/bin/corvalink --open work || status=$?
[ "$status" = 124 ] || fail "corvalink --open did not keep a web window open (status $status)"

echo "== remove"
apt-get remove -y -q corvalink >/dev/null
for path in $files; do
  [ -d "$path" ] && continue
  [ -e "$path" ] && fail "$path is left behind"
done
echo "package-check: all good"
