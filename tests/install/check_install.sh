#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR, prefix /usr) and checks the result:
# every file in its place and nothing else, the desktop's validators on the launcher entry,
# the metainfo and the MIME type, the manual page rendered without warnings, the completion,
# and the installed program's --version and headless --export of every installed example.
#   check_install.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build="$1" source="$2" version="$3"

for tool in desktop-file-validate appstreamcli man update-mime-database file; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

DESTDIR="$tmp/root" cmake --install "$build" --prefix /usr >"$tmp/install.log"
usr="$tmp/root/usr"

# Where bash-completion looks for completions loaded on demand.
completions="$(pkg-config --variable=completionsdir bash-completion 2>/dev/null ||
               echo /usr/share/bash-completion/completions)"
metainfo=share/metainfo/org.example.zarnix.zarnix4.metainfo.xml

# The expected tree: fixed files, an icon pair per size shipped in res/icons, every example.
expected=(bin/zarnix4 share/applications/zarnix4.desktop share/mime/packages/zarnix4.xml
          "$metainfo" share/man/man1/zarnix4.1 "${completions#/usr/}/zarnix4"
          share/icons/hicolor/scalable/apps/zarnix4.svg
          share/icons/hicolor/scalable/mimetypes/application-x-zarnix.svg)
sizes=()
for icon in "$source"/res/icons/zarnix4-*.png; do
  size="${icon##*-}"; size="${size%.png}"
  sizes+=("$size")
  expected+=("share/icons/hicolor/${size}x${size}/apps/zarnix4.png"
             "share/icons/hicolor/${size}x${size}/mimetypes/application-x-zarnix.png")
done
[ "${#sizes[@]}" -ge 3 ] || fail "only ${#sizes[@]} icon sizes found in res/icons"
for example in "$source"/examples/*.zarnix; do
  expected+=("share/zarnix4/examples/$(basename "$example")")
done
printf '%s\n' "${expected[@]}" | LC_ALL=C sort >"$tmp/expected"
(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$tmp/installed"
if ! diff -u "$tmp/expected" "$tmp/installed" >"$tmp/tree.diff"; then
  fail "the installed files differ from the expected ones (- missing, + unexpected):"
  cat "$tmp/tree.diff" >&2
fi

# Each icon is as large as the folder it is installed in says.
for size in "${sizes[@]}"; do
  for png in "$usr/share/icons/hicolor/${size}x${size}"/*/*.png; do
    file -b "$png" | grep -q "PNG image data, $size x $size," ||
      fail "${png#"$usr"/} is not a $size by $size PNG: $(file -b "$png")"
  done
done

# The desktop's own validators.
if ! out="$(desktop-file-validate "$usr/share/applications/zarnix4.desktop" 2>&1)" || [ -n "$out" ]; then
  fail "desktop-file-validate: $out"
fi
appstreamcli validate --no-net "$usr/$metainfo" >"$tmp/appstream.log" 2>&1 ||
  { fail "appstreamcli validate:"; cat "$tmp/appstream.log" >&2; }
grep -q "<release version=\"$version\"" "$usr/$metainfo" || fail "the metainfo does not name release $version"
mkdir -p "$tmp/mime/packages" && cp "$usr/share/mime/packages/zarnix4.xml" "$tmp/mime/packages/"
if ! out="$(XDG_DATA_DIRS="$tmp" update-mime-database "$tmp/mime" 2>&1)" || [ -n "$out" ]; then
  fail "update-mime-database: $out"
fi
grep -q ':application/x-zarnix:\*\.zarnix' "$tmp/mime/globs2" 2>/dev/null || fail "*.zarnix is not mapped to application/x-zarnix"

# The manual page renders without a single warning and has the usual sections.
page="$usr/share/man/man1/zarnix4.1"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$tmp/man.txt" 2>"$tmp/man.err" || fail "man -l failed"
[ ! -s "$tmp/man.err" ] || { fail "man -l warns:"; cat "$tmp/man.err" >&2; }
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES; do
  grep -qx "$section" "$tmp/man.txt" || fail "the manual page has no $section section"
done

# Every option the program lists in --help is documented and completed.
bin="$usr/bin/zarnix4"
options="$("$bin" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)"
[ -n "$options" ] || fail "--help lists no options"
for option in $options; do
  grep -qF -- "${option//-/\\-}" "$page" || fail "the manual page does not document $option"
  grep -qw -- "$option" "$usr/${completions#/usr/}/zarnix4" || fail "the completion does not offer $option"
done

# The completion offers options, export types, and file names by extension.
mkdir -p "$tmp/files/sub folder" && touch "$tmp/files/"{a.zarnix,B.ZARNIX,c.txt,d.png,e.ai}
completed() {
  (cd "$tmp/files" && bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
                               _zarnix4; printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd" "' \
                               - "$usr/${completions#/usr/}/zarnix4" "$@")
}
check_completion() {
  local want="$1"; shift
  local got; got="$(completed "$@")"
  [ "$got" = "$want" ] || fail "completing '$*' offers '$got', not '$want'"
}
check_completion "--export" zarnix4 --exp
check_completion "--no-pattern" zarnix4 a.zarnix --no
check_completion "png" zarnix4 a.zarnix --type p
check_completion "transparent" zarnix4 a.zarnix --background t
check_completion "B.ZARNIX a.zarnix sub folder" zarnix4 ""
check_completion "d.png e.ai sub folder" zarnix4 a.zarnix --export ""

# The installed program: its version is the project's, and it exports every installed example
# without a display.
got="$("$bin" --version)"
[ "$got" = "Zarnix $version" ] || fail "--version prints '$got', not 'Zarnix $version'"
for example in "$usr"/share/zarnix4/examples/*.zarnix; do
  out="$tmp/$(basename "$example" .zarnix).bmp"
  if env -u DISPLAY -u WAYLAND_DISPLAY "$bin" "$example" --export "$out" --width 64 --height 48 \
       >/dev/null 2>"$tmp/export.err"; then
    [ "$(head -c 2 "$out")" = "BM" ] && [ "$(stat -c %s "$out")" -gt $((64 * 48)) ] ||
      fail "the export of ${example##*/} is not a bitmap"
  else
    fail "exporting ${example##*/} failed: $(cat "$tmp/export.err")"
  fi
done

[ "$failed" = 0 ] && echo "The install tree is complete and valid."
exit "$failed"
