#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from this build tree, unpacked into a
# scratch root, and each installed file checked by the tool that reads it.
#   check-package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1" version="$2"
work="$(mktemp -d /tmp/tavo-package.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$work"/out/*.deb)"
[ "$(basename "$deb")" = "tavo-desktop_${version}_$(dpkg --print-architecture).deb" ] || fail "named $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "Depends lacks the libraries: $(dpkg-deb -f "$deb" Depends)"
root="$work/root"
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"

desktop-file-validate "$share/applications/app.tavo.Desktop.desktop"
appstreamcli validate --no-net "$share/metainfo/app.tavo.Desktop.metainfo.xml" >"$work/as.log" ||
  { cat "$work/as.log" >&2; fail "appstreamcli refuses the metainfo"; }
appstream-util validate-relax --nonet "$share/metainfo/app.tavo.Desktop.metainfo.xml" >/dev/null

for program in tavo tavoctl; do
  [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
  file -b "$root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
  [ -s "$share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
# The media module where the programs look for it: the private folder beside their own.
module="$(find "$root/usr/lib" -path "*/tavo-desktop/libtavomedia.so" | head -n 1)"
[ -n "$module" ] || fail "no media module"
file -b "$module" | grep -q ', stripped' || fail "the media module is not stripped"
[ -s "$share/icons/hicolor/scalable/apps/app.tavo.Desktop.svg" ] || fail "no scalable icon"
for size in 48 128 256; do
  file -b "$share/icons/hicolor/${size}x${size}/apps/app.tavo.Desktop.png" | grep -q "PNG image data, $size x $size," ||
    fail "no $size px icon"
done
bash -c 'source "$1" && complete -p tavoctl' - "$share/bash-completion/completions/tavoctl" >/dev/null ||
  fail "the completion does not register"
[ -s "$share/doc/tavo-desktop/copyright" ] || fail "no copyright file"
zcat "$share/doc/tavo-desktop/changelog.gz" | head -n 1 | grep -q "^tavo-desktop ($version) " ||
  fail "the changelog's latest entry is not $version"

# Every command of the usage is in the page's synopsis and has its entry under COMMANDS.
page="$(MANWIDTH=200 man -l "$share/man/man1/tavoctl.1.gz" 2>/dev/null)"
listed="$(sed -n '/^COMMANDS$/,/^[A-Z]/p' <<<"$page")"
for command in $("$root/usr/bin/tavoctl" --help | sed -n 's/^\(usage:\)\{0,1\} *tavoctl \([a-z][a-z-]*\).*/\2/p'); do
  grep -q "tavoctl $command\b" <<<"$page" || fail "tavoctl.1 has no synopsis of $command"
  grep -qE "^ {7}$command( |$)" <<<"$listed" || fail "tavoctl.1 does not describe $command under COMMANDS"
done
for section in ENVIRONMENT FILES 'EXIT STATUS'; do
  grep -qx "$section" <<<"$page" || fail "tavoctl.1 has no $section"
done
echo "package: $(basename "$deb") checked"
