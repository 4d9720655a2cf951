#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package as a user meets it: built with CPack, checked by lintian,
# its menu entry and AppStream data validated, unpacked into a temporary root
# and the program started from there on its simulated phone, headless.
#
# Usage: deb_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/cpack/funkor_*.deb)
echo "package: $(basename "$deb")"

# Dependencies come from dpkg-shlibdeps: the Qt libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6serialport6 libqt6svg6 libc6 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

# The layout of the installed tree.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
for f in ./usr/bin/funkor ./usr/bin/funkor-tool ./usr/bin/funkor-phonesim \
  ./usr/share/funkor/GSMcodes.txt ./usr/share/funkor/O2.txt \
  ./usr/share/funkor/demo/Funkor.clf ./usr/share/funkor/phonesim/berlin.json \
  ./usr/share/applications/org.funkor.Funkor.desktop \
  ./usr/share/metainfo/org.funkor.Funkor.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/org.funkor.Funkor.svg \
  ./usr/share/doc/funkor/copyright \
  ./usr/share/man/man1/funkor.1.gz ./usr/share/man/man1/funkor-tool.1.gz \
  ./usr/share/man/man1/funkor-phonesim.1.gz; do
  grep -qx "$f" "$work/files" || fail "package lacks $f"
done

# The speech control and its engine, when the build has them.
if [ -f "$build/speechctl/libSprelo4Cntrl.so" ]; then
  grep -qx ./usr/lib/funkor/libSprelo4Cntrl.so "$work/files" || fail "package lacks the speech control"
  grep -qx ./usr/bin/sprelo-regsvr "$work/files" || fail "package lacks sprelo-regsvr"
  grep -qx ./usr/share/man/man1/sprelo-regsvr.1.gz "$work/files" ||
    fail "package lacks the manual page of sprelo-regsvr"
fi
if [ -f "$build/engines/espeak/libsprelo-espeak.so" ]; then
  grep -qx ./usr/lib/sprelo/libsprelo-espeak.so "$work/files" || fail "package lacks the engine"
fi

# What the package asks for beside the libraries.
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Recommends: $recommends"
for p in gpsd gpsd-clients; do
  grep -qw "$p" <<<"$recommends" || fail "Recommends lacks $p"
done

# Validators.
dpkg -x "$deb" "$work/root"
# Every manual page renders as man -l shows it, without a single warning.
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  warnings=$(zcat "$page" | groff -ww -z -man 2>&1) || fail "groff failed on $(basename "$page")"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
desktop-file-validate "$work/root/usr/share/applications/org.funkor.Funkor.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net \
  "$work/root/usr/share/metainfo/org.funkor.Funkor.metainfo.xml" || fail "appstreamcli validate"
# lintian: no errors and no warnings; of its notes and hints (-I), none on
# hardening: every program and library is built with Debian's hardening
# flags.
lintian -I --fail-on error,warning "$deb" 2>&1 | tee "$work/lintian.log" ||
  fail "lintian reports errors or warnings"
if grep -E '^[EWIP]: .*hardening' "$work/lintian.log"; then
  fail "lintian reports missing hardening"
fi

# The unpacked tree runs where it lies: the demo on its simulated phone,
# settings and names under the user's data folder, nothing written beside
# the program.
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/home/config" SPRELO_REGISTRY="$work/registry"
mkdir -p "$HOME"
unset FUNKOR_HOME
# Started from the unpacked tree, the demo must find the simulated phone; it
# is then ended the way a desktop session ends it.
"$work/root/usr/bin/funkor" --demo --quit-after 60 >"$work/demo.log" 2>&1 &
demo=$!
for _ in $(seq 120); do
  grep -q "SIEMENS" "$work/demo.log" && break
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.5
done
kill -TERM "$demo" 2>/dev/null || true
status=0
wait "$demo" || status=$?
cat "$work/demo.log"
grep -q "SIEMENS" "$work/demo.log" || fail "the demo did not find the simulated phone"
[ "$status" -eq 0 ] || fail "funkor --demo from the unpacked tree ended with $status"
[ -z "$(find "$work/root/usr/bin" -newer "$deb" -type f)" ] ||
  fail "files written beside the program"
[ -d "$XDG_DATA_HOME/funkor" ] || fail "no program folder under XDG_DATA_HOME"
echo "package test passed"
