#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary folder and checks it: its name,
# version (the project's) and architecture, the files it holds, and the dependencies
# dpkg-shlibdeps computed, which must name Qt's runtime libraries.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1" version="$2"

for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack could not build the package" >&2
  exit 1
fi
debs=("$tmp"/out/*.deb)
[ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made ${debs[*]}" >&2; exit 1; }
deb="${debs[0]}"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "zarnix4_${version}_${arch}.deb" ] || fail "the package is named $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zarnix4 ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"

# Dependencies from dpkg-shlibdeps: Qt's widget, GUI and core libraries and the C++ runtime.
depends="$(field Depends)"
for library in libqt6widgets6 libqt6gui6 libqt6core6 libqt6network6 libstdc++6 libc6; do
  grep -qF ", $library " <<<", $depends" || fail "Depends lacks $library: $depends"
done

# The files, under /usr, owned by root; no caches built on the packaging machine.
dpkg-deb -c "$deb" >"$tmp/contents"
for path in usr/bin/zarnix4 usr/share/applications/zarnix4.desktop usr/share/mime/packages/zarnix4.xml \
            usr/share/metainfo/org.example.zarnix.zarnix4.metainfo.xml usr/share/man/man1/zarnix4.1 \
            usr/share/bash-completion/completions/zarnix4 usr/share/zarnix4/examples/koch.zarnix \
            usr/share/icons/hicolor/48x48/apps/zarnix4.png \
            usr/share/icons/hicolor/scalable/mimetypes/application-x-zarnix.svg; do
  grep -qE " \./$path$" "$tmp/contents" || fail "the package lacks /$path"
done
if grep -vE ' \./usr/' "$tmp/contents" | grep -vE ' \./$' >"$tmp/outside"; then
  fail "files outside /usr:"; cat "$tmp/outside" >&2
fi
if grep -E 'mime\.cache|/mime/(globs|magic|aliases|types)|mimeinfo\.cache|icon-theme\.cache' "$tmp/contents" >"$tmp/caches"; then
  fail "the package carries desktop caches:"; cat "$tmp/caches" >&2
fi
if grep -vE '^[-dl]r[-w][-x]r-[-x]r-[-x] root/root ' "$tmp/contents" >"$tmp/owners"; then
  fail "entries not owned by root or with odd permissions:"; cat "$tmp/owners" >&2
fi

# The program in the package is stripped and is the one that prints the version.
mkdir "$tmp/root" && dpkg-deb -x "$deb" "$tmp/root"
file -b "$tmp/root/usr/bin/zarnix4" | grep -q ", stripped" || fail "the packaged program is not stripped"
got="$("$tmp/root/usr/bin/zarnix4" --version)"
[ "$got" = "Zarnix $version" ] || fail "the packaged program prints '$got'"

[ "$failed" = 0 ] && echo "The package $(basename "$deb") is complete; Depends: $depends"
exit "$failed"
