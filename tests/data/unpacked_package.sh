#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a temporary root with
# dpkg -x and starts the unpacked game there for a few frames, from a working folder that holds
# nothing of the game: it must find its data beside its own executable's path, draw its window
# and end with status 0.
#   unpacked_package.sh CPACK BUILD_DIR
set -u
cpack="$1"
build="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.txt" 2>&1 ||
    { cat "$work/cpack.txt"; fail "cpack failed"; }
debs=("$work"/out/*.deb)
[[ -f "${debs[0]}" ]] || { cat "$work/cpack.txt"; fail "no package written"; }
deb="${debs[0]}"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# dpkg-shlibdeps filled in what the executable links.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libsdl2 libopenal1 libpng16 libcurl; do
    grep -q "$library" <<<"$depends" || fail "no dependency on $library"
done
[[ "$(dpkg-deb -f "$deb" Package)" == bramble-way ]] || fail "package name"

root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x failed"
id=com.orvalle.BrambleWay
expected=(usr/bin/bramble-way usr/share/bramble-way/data.pak
    usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg)
for size in 16 22 24 32 48 64 128 256 512; do
    expected+=(usr/share/icons/hicolor/${size}x$size/apps/$id.png)
done
for file in "${expected[@]}"; do
    [[ -s "$root/$file" ]] || fail "$file is not in the package"
done
[[ -e "$root/usr/bin/data.pak" ]] && fail "data.pak lies beside the executable"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/as.txt" 2>&1 ||
    { cat "$work/as.txt"; fail "metainfo"; }

# The game, started as the desktop would: from an unrelated folder, by its full path. The leak
# check is other tests' business; here it would only slow the end.
state="$work/state"
log="$state/Orvalle/TheBrambleWay/log.txt"
mkdir -p "$work/elsewhere"
(
    cd "$work/elsewhere" &&
        XDG_DATA_HOME="$state" BRAMBLE_QUIT_AFTER_FRAMES=30 \
            ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
            timeout -k 5 90 setsid -w "$root/usr/bin/bramble-way" >"$work/out.txt" 2>&1 </dev/null
)
status=$?
[[ $status -eq 0 ]] || { cat "$work/out.txt" "$log" 2>/dev/null; fail "exit status $status"; }
grep -qF "Resource: added archive '$root/usr/share/bramble-way/data.pak'" "$log" ||
    { cat "$log"; fail "the game did not mount the installed data.pak"; }
grep -q 'OpenGL: game window successfully created' "$log" || { cat "$log"; fail "no window"; }
grep -q ': End log$' "$log" || { cat "$log"; fail "log not closed"; }
[[ -z "$(ls -A "$work/elsewhere")" ]] || fail "the game wrote into its working folder"
echo "the unpacked game ran from $root/usr/bin and found its data"
