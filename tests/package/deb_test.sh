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

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_field() { # expect_field FIELD VALUE
    local value
    value=$(dpkg-deb --field "$deb" "$1")
    [ "$value" = "$2" ] || fail "$1 is '$value', not '$2'"
}

[ -f "$deb" ] || { echo "FAIL: no $deb (see $build/package.log)"; exit 1; }
dpkg-deb --info "$deb"
expect_field Package pathlux
expect_field Version "$version"
expect_field Section utils
[ -n "$(dpkg-deb --field "$deb" Maintainer)" ] || fail "no maintainer"
depends=", $(dpkg-deb --field "$deb" Depends),"
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-liberation2 \
    qt6-qpa-plugins; do
    [[ $depends == *", $needed "* || $depends == *", $needed,"* ]] || fail "Depends lacks $needed"
done
# Every dependency is a package apt knows, at a version it can install.
apt-get install --simulate -q "$deb" >"$out/apt.log" 2>&1 || fail "apt cannot install it: $(tail -3 "$out/apt.log")"

programs=(pathlux pathlux-sim pathlux-replay pathlux-ttff)
sizes=(16 24 32 48 64 128 256)
expected=(./usr/share/applications/pathlux.desktop)
for p in "${programs[@]}"; do
    expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz")
done
for s in "${sizes[@]}"; do
    expected+=("./usr/share/icons/hicolor/${s}x$s/apps/pathlux.png")
done
listed=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$listed" || fail "$path is not in the package"
done

root=$out/root
dpkg-deb -x "$deb" "$root"
for p in "${programs[@]}"; do
    [[ $(file -b "$root/usr/bin/$p") == ELF*", stripped" ]] || fail "$p is not a stripped program"
    if [ "$p" != pathlux ]; then
        "$root/usr/bin/$p" --help >/dev/null || fail "$p --help fails"
    fi
    warnings=$(zcat "$root/usr/share/man/man1/$p.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 2>&1)
    [ -z "$warnings" ] || fail "man page of $p: $warnings"
done
for s in "${sizes[@]}"; do
    kind=$(file -b "$root/usr/share/icons/hicolor/${s}x$s/apps/pathlux.png")
    [[ $kind == "PNG image data, $s x $s, "* ]] || fail "icon ${s}x$s is $kind"
done
desktop=$root/usr/share/applications/pathlux.desktop
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
grep -qx "Exec=pathlux" "$desktop" && grep -qx "Icon=pathlux" "$desktop" ||
    fail "the desktop entry does not start pathlux with its icon"

[ "$failures" -eq 0 ] || exit 1
echo "$deb: $(wc -l <<<"$listed") entries"
