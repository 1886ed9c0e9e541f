#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installation as a user gets it:
# the tree, the desktop entry, the metainfo and the udev rule as their tools read them, the
# installed program's --version, and that the installed program finds and shows an
# information page from share/tovel-editor (and says so when the page is not there).
# Usage: tst_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in \
  bin/tovel-editor \
  share/tovel-editor/"Moss Verb-info.html" \
  share/tovel-editor/tovel-pedal.png \
  share/applications/org.tovel.Editor.desktop \
  share/metainfo/org.tovel.Editor.metainfo.xml \
  share/icons/hicolor/scalable/apps/org.tovel.Editor.svg \
  share/icons/hicolor/256x256/apps/org.tovel.Editor.png \
  lib/udev/rules.d/70-tovel-editor.rules \
  share/doc/tovel-editor/copyright \
  share/doc/tovel-editor/changelog.Debian.gz \
  share/man/man1/tovel-editor.1.gz \
  bin/tovel \
  share/man/man1/tovel.1.gz \
  share/bash-completion/completions/tovel \
  share/zsh/vendor-completions/_tovel; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/tovel-editor" ] || fail "bin/tovel-editor is not executable"
# Every page of the catalogue, and nothing of the data left in bin/.
pages=$(ls "$prefix/share/tovel-editor" | grep -c -- '-info\.html$')
[ "$pages" -eq 58 ] || fail "$pages information pages installed, 58 expected"
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "tovel tovel-editor " ] || fail "bin/ holds more than the two programs: $(ls "$prefix/bin")"
[ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/256x256/apps/org.tovel.Editor.png")" = 256x256 ] \
  || fail "the PNG icon is not 256 px"

desktop-file-validate "$prefix/share/applications/org.tovel.Editor.desktop"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.tovel.Editor.metainfo.xml"
if udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$prefix/lib/udev/rules.d/70-tovel-editor.rules"
else
  echo "udevadm verify is not in this udev ($(udevadm --version)); the rule is checked by hand"
fi
grep -q 'ATTR{idVendor}=="0403".*TAG+="uaccess".*ENV{ID_MM_DEVICE_IGNORE}="1"' \
  "$prefix/lib/udev/rules.d/70-tovel-editor.rules" || fail "the udev rule lacks uaccess or the ModemManager mark"

version=$("$prefix/bin/tovel-editor" --version)
[[ "$version" =~ ^tovel-editor\ [0-9]+\.[0-9]+ ]] || fail "--version said: $version"

# The manual page as man shows it: its sections, the files the editor keeps, and in its footer
# the version --version shows.
page=$(MANWIDTH=100 man -l "$prefix/share/man/man1/tovel-editor.1.gz" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES "SEE ALSO"; do
  grep -qx "$section" <<<"$page" || fail "the manual page lacks $section"
done
for file in "~/Documents/ZANTH/Tovel/" "~/Documents/ZANTH/style.txt" "~/Documents/ZANTH/normalise_ir.txt"; do
  grep -qF "$file" <<<"$page" || fail "the manual page's FILES lack $file"
done
footer=$(grep -v '^[[:space:]]*$' <<<"$page" | tail -n1)
[[ "$footer" =~ ^"$version"[[:space:]] ]] || fail "the manual page's footer says \"$footer\", --version \"$version\""

# The command line: its version, a command that needs no pedal, and its manual page with the
# same footer.
cli_version=$("$prefix/bin/tovel" --version)
[ "$cli_version" = "tovel ${version#tovel-editor }" ] || fail "tovel --version said: $cli_version"
"$prefix/bin/tovel" list Gain | grep -qx "Amber Drive" || fail "the installed tovel lists no Amber Drive"
cli_page=$(MANWIDTH=100 man -l "$prefix/share/man/man1/tovel.1.gz" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" FILES "SEE ALSO"; do
  grep -qx "$section" <<<"$cli_page" || fail "the manual page of tovel lacks $section"
done
grep -q "tovel-editor(1)" <<<"$cli_page" || fail "the manual page of tovel does not point to tovel-editor(1)"
cli_footer=$(grep -v '^[[:space:]]*$' <<<"$cli_page" | tail -n1)
[[ "$cli_footer" =~ ^"$cli_version"[[:space:]] ]] || fail "tovel's manual page footer says \"$cli_footer\""
bash -n "$prefix/share/bash-completion/completions/tovel" || fail "the bash completion does not parse"

# The installed program with the information page of Moss Verb open; a screenshot of that
# window shows the page's text and picture, many colours against the empty view's few.
# shows PREFIX OUT: runs the installed program until its information window is up, writes
# the window's picture to OUT and the program's error output to OUT.err.
shows() {
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    export HOME=$(mktemp -d) QT_QPA_PLATFORM=xcb   # a real window on the virtual display
    "$1/bin/tovel-editor" --virtual-pedal --info "Moss Verb" 2>"$2.err" &
    pid=$!
    win=$(timeout 60 xdotool search --sync --onlyvisible --name "^Moss Verb$" | head -n1) || true
    if [ -z "$win" ]; then echo "no information window" >>"$2.err"; kill $pid; exit 1; fi
    sleep 1   # the page is laid out after the window maps
    import -window "$win" "$2"
    kill $pid; wait $pid || true
    rm -rf "$HOME"' _ "$1" "$2"
}
shot="$prefix/info.png"
shows "$prefix" "$shot" || fail "$(cat "$shot.err")"
! grep -q "no information page" "$shot.err" || fail "the installed program said: $(cat "$shot.err")"
colours=$(identify -format '%k' "$shot")
[ "$colours" -gt 50 ] || fail "the information window shows $colours colours: no page"

# The same installation without its pages: the program says which file it looked for.
rm -rf "$prefix/share/tovel-editor"/*
shows "$prefix" "$prefix/empty.png" || fail "$(cat "$prefix/empty.png.err")"
grep -q "no information page $prefix/share/tovel-editor/Moss Verb-info.html" "$prefix/empty.png.err" \
  || fail "a missing page went unreported: $(cat "$prefix/empty.png.err")"
colours=$(identify -format '%k' "$prefix/empty.png")
[ "$colours" -le 50 ] || fail "the window shows $colours colours without a page"
echo "PASS"
