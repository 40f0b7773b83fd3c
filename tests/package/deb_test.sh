#!/usr/bin/env bash
# deb_test.sh CPACK BUILD_DIR VERSION: makes the .deb into BUILD_DIR/package and checks that it
# names itself and what it needs, that apt could install it here, and that it holds the programs
# (stripped, runnable), the desktop entry, the icon at each size and a man page per program.
set -euo pipefail
cpack=$1 build=$2 version=$3
out=$build/package
rm -rf "$out"
"$cpack" -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$build/package.log"
deb=$out/pathlux_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL: no $deb (see $build/package.log)"; exit 1; }
dpkg-deb --info "$deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for field in "Package pathlux" "Version $version" "Section utils"; do
    [ "$(dpkg-deb --field "$deb" "${field% *}")" = "${field#* }" ] || fail "not $field"
done
depends=", $(dpkg-deb --field "$deb" Depends),"
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation2 \
    qt6-qpa-plugins; do
    [[ $depends == *", $needed "* || $depends == *", $needed,"* ]] || fail "Depends lacks $needed"
done
# Every dependency is a package apt knows, at a version it can install.
apt-get install --simulate -q "$deb" >"$out/apt.log" 2>&1 || fail "apt cannot install it: see $out/apt.log"

programs=(pathlux pathlux-sim pathlux-replay pathlux-ttff)
sizes=(16 24 32 48 64 128 256)
listed=$(dpkg-deb --contents "$deb" | awk '{print $6}')
root=$out/root
dpkg-deb -x "$deb" "$root"
for p in "${programs[@]}"; do
    for path in usr/bin/$p usr/share/man/man1/$p.1.gz; do
        grep -qxF "./$path" <<<"$listed" || fail "no $path"
    done
    [[ $(file -b "$root/usr/bin/$p") == ELF*", stripped" ]] || fail "$p is not a stripped program"
    [ "$p" = pathlux ] || "$root/usr/bin/$p" --help >/dev/null || fail "$p --help fails"
    warnings=$(zcat "$root/usr/share/man/man1/$p.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)
    [ -z "$warnings" ] || fail "man page of $p: $warnings"
done
for s in "${sizes[@]}"; do
    icon=usr/share/icons/hicolor/${s}x$s/apps/pathlux.png
    grep -qxF "./$icon" <<<"$listed" && [[ $(file -b "$root/$icon") == "PNG image data, $s x $s,"* ]] ||
        fail "no ${s}x$s icon"
done
desktop=usr/share/applications/pathlux.desktop
grep -qxF "./$desktop" <<<"$listed" && desktop-file-validate "$root/$desktop" &&
    grep -qx "Exec=pathlux" "$root/$desktop" && grep -qx "Icon=pathlux" "$root/$desktop" ||
    fail "no valid desktop entry starting pathlux with its icon"
[ "$failures" -eq 0 ]
