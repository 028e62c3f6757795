#!/bin/sh
# The programs installed into a temporary prefix and run from there: they
# find their shipped files under share/korvel, write nothing beside
# themselves, and the window keeps its own files in the user's data folder.
#
#   install_test.sh BUILD_DIR SOURCE_DIR WITH_WINDOW(0|1)
set -eu
build=$1 source=$2 window=$3
tmp=$(mktemp -d)
pid=
cleanup() {
  status=$?
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
shared=$prefix/share/korvel
files="bin/korvel-cli share/korvel/korvel.dat share/korvel/korvel2.dat
  share/korvel/help_korvel.html share/korvel/configurations/Default.krv
  share/man/man1/korvel-cli.1.gz share/doc/korvel/changelog.gz share/doc/korvel/copyright"
programs="korvel-cli"
if [ "$window" = 1 ]; then
  files="$files bin/korvel share/applications/com.example.tessivo.korvel.desktop
    share/metainfo/com.example.tessivo.korvel.metainfo.xml
    share/icons/hicolor/scalable/apps/korvel.svg share/man/man1/korvel.1.gz"
  programs="korvel korvel-cli"
fi
for f in $files; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "$programs " ] || fail "bin/ holds $(ls "$prefix/bin")"
for krv in "$source"/data/configurations/*.krv; do
  cmp -s "$krv" "$shared/configurations/$(basename "$krv")" || fail "$(basename "$krv") differs"
done
touch "$tmp/installed"

# korvel-cli as installed: the same version and the same bytes as the build's.
cli=$prefix/bin/korvel-cli
[ "$("$cli" --version)" = "$("$build/korvel-cli" --version)" ] || fail "version differs"
mkdir "$tmp/work"
cd "$tmp/work"
"$cli" -q -o installed "$source/examples/SiteSurvey.dxf"
"$build/korvel-cli" -q -o built "$source/examples/SiteSurvey.dxf"
cmp -s installed/SiteSurvey.txt built/SiteSurvey.txt || fail "installed korvel-cli writes other data"
# The GIS module, where a build has it, is found under the prefix's lib/.
if [ -f "$build/korvel-gis.so" ]; then
  "$cli" -q -o installed --format geojson --source-crs EPSG:25832 --target-crs EPSG:25833 \
    "$source/examples/SiteSurvey.dxf" || fail "installed korvel-cli finds no GIS module"
  "$build/korvel-cli" -q -o built --format geojson --source-crs EPSG:25832 \
    --target-crs EPSG:25833 "$source/examples/SiteSurvey.dxf"
  cmp -s installed/SiteSurvey.geojson built/SiteSurvey.geojson ||
    fail "installed korvel-cli writes another GeoJSON file"
fi
# Its name tables are the ones under share/korvel.
printf 'Nr\r\nEast\r\nNorth\r\nZ\r\nCode\r\n' >"$shared/korvel2.dat"
[ "$("$cli" -q --stdout --fields North,Nr "$source/examples/SiteSurvey.dxf" | head -n 1)" = \
  "$(printf '6123456.789,1\r')" ] || fail "the name tables of share/korvel are not read"

# The manual page names every long option of the help.
for option in $("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  gzip -dc "$prefix/share/man/man1/korvel-cli.1.gz" | grep -qF -- "$(printf '%s' "$option" | sed 's/-/\\-/g')" ||
    fail "the manual page lacks $option"
done

if [ "$window" = 1 ]; then
  # The window, offscreen, with a home of its own: it has started once it has
  # stored its window state; its configurations folder is seeded by then.
  mkdir "$tmp/home"
  HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/korvel" >"$tmp/korvel.log" 2>&1 &
  pid=$!
  tries=0
  until [ -s "$tmp/config/Tessivo/korvel.conf" ]; do
    kill -0 "$pid" 2>/dev/null || fail "korvel ended at start: $(cat "$tmp/korvel.log")"
    tries=$((tries + 1))
    [ "$tries" -le 600 ] || fail "korvel did not start"
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null || fail "korvel ended after its start: $(cat "$tmp/korvel.log")"
  for krv in "$source"/data/configurations/*.krv; do
    cmp -s "$krv" "$tmp/data/Korvel/configurations/$(basename "$krv")" ||
      fail "$(basename "$krv") was not copied to the user's configurations"
  done
fi

changed=$(find "$prefix" -newer "$tmp/installed" ! -path "$shared/korvel2.dat")
[ -z "$changed" ] || fail "written into the installation: $changed"
echo "install test: passed"
