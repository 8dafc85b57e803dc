#!/usr/bin/env bash
# Tests the Windows zip that scripts/package made: its files, the licences
# and read-mes, that the programs need no DLL beyond Windows' own, and,
# unpacked, ostrel-cli.exe and ostrel.exe started under Wine.
# Usage: tests/package/zip.sh RESULTS.xml (inside scripts/test, which has
# started the virtual display and the Wine prefix; alone, it starts them).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
begin_checks PackageZip "${1:-build/package-tests/zip.xml}"

version=$(head -n1 VERSION)
zip=dist/ostrel-$version-windows.zip
folder=ostrel-$version
scratch=$(mktemp -d)
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$XVFB_PID" ] && stop_xvfb
  rm -rf "$scratch"
}
trap cleanup EXIT
if [ -z "${WINEPREFIX:-}" ]; then
  start_xvfb || exit 1
  prepare_wine unmanaged
fi

check NamedWithTheVersion test -f "$zip"
expected_files() {
  printf '%s\n' "$folder/" "$folder/LICENSE.txt" "$folder/README.en.txt" "$folder/README.ru.txt" "$folder/licenses/" \
    "$folder/licenses/CLI11.txt" "$folder/licenses/gcc-runtime.txt" \
    "$folder/licenses/mingw-w64-runtime.txt" "$folder/licenses/nlohmann-json.txt" \
    "$folder/ostrel-cli.exe" "$folder/ostrel-demo.exe" "$folder/ostrel.exe"
}
check HoldsExactlyItsFiles diff <(expected_files) <(unzip -Z1 "$zip" | sort)
check Unpacks unzip -q "$zip" -d "$scratch"
dir=$scratch/$folder

read_mes() {
  local f
  for f in README.ru.txt README.en.txt; do
    grep -q "$version" "$dir/$f" || { echo "$f does not name version $version"; return 1; }
    [ "$(grep -c $'\r$' "$dir/$f")" -eq "$(wc -l <"$dir/$f")" ] || { echo "$f: not every line ends in CR LF"; return 1; }
  done
  [ "$(head -c3 "$dir/README.ru.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    { echo "README.ru.txt has no UTF-8 byte order mark"; return 1; }
  grep -q 'Устройство' "$dir/README.ru.txt" || { echo "README.ru.txt is not in Russian"; return 1; }
}
check ReadMesForWindows read_mes

# Each licence file, and a phrase of the licence it must hold.
licences() {
  local file phrase bad=0
  while IFS='|' read -r file phrase; do
    grep -qi -- "$phrase" "$dir/licenses/$file" || { echo "$file lacks \"$phrase\""; bad=1; }
  done <<'ROWS'
gcc-runtime.txt|GCC RUNTIME LIBRARY EXCEPTION
mingw-w64-runtime.txt|winpthreads
CLI11.txt|Redistribution and use in source and binary forms
nlohmann-json.txt|Permission is hereby granted
ROWS
  return $bad
}
check LicencesOfTheLinkedLibraries licences
programs_licence() {
  grep -q 'MIT License' "$dir/LICENSE.txt" && grep -q 'Ostrel configurator developers' "$dir/LICENSE.txt" ||
    { echo "LICENSE.txt is not the programs' MIT licence"; return 1; }
  (cd "$dir" && "$WINE_LOADER" ostrel-cli.exe --version) | grep -q 'MIT License' ||
    { echo "ostrel-cli.exe --version does not name the licence"; return 1; }
}
check TheProgramsOwnLicence programs_licence

# A Windows PC has none of the MinGW runtime DLLs (libstdc++, libgcc,
# libwinpthread): they must be linked in.
only_windows_dlls() {
  local exe dlls bad=0
  for exe in ostrel.exe ostrel-demo.exe ostrel-cli.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$dir/$exe" | sed -n 's/^\s*DLL Name: //p')
    [ -n "$dlls" ] || { echo "$exe: no imports found"; bad=1; }
    if grep -i -E '^(lib|mingw)' <<<"$dlls"; then echo "$exe needs the DLLs above"; bad=1; fi
  done
  return $bad
}
check NeedsOnlyWindowsDlls only_windows_dlls

check CliPrintsTheVersion same_text "ostrel-cli $version" \
  bash -c 'cd "$1" && "$2" ostrel-cli.exe --version | head -n1 | tr -d "\r"' _ "$dir" "$WINE_LOADER"
# The read-mes list every command that ostrel-cli.exe --help lists.
read_mes_list_every_command() {
  local commands c f bad=0
  commands=$(cd "$dir" && "$WINE_LOADER" ostrel-cli.exe --help | tr -d '\r' |
    sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
  [ -n "$commands" ] || { echo "ostrel-cli.exe --help names no commands"; return 1; }
  for f in README.en.txt README.ru.txt; do
    for c in $commands; do
      grep -qE "(^| )$c[,;]" "$dir/$f" || { echo "$f does not list $c"; bad=1; }
    done
  done
  return $bad
}
check ReadMesListEveryCommand read_mes_list_every_command
cli_read() {
  (cd "$dir" && "$WINE_LOADER" ostrel-cli.exe read --emulated -o demo.osr &&
     "$WINE_LOADER" ostrel-cli.exe show demo.osr --page phone1 >/dev/null)
}
check CliReadsTheEmulatedAlarm cli_read

# The configurator: started from the unpacked folder, its main window
# appears, and Файл > Выход (Ctrl+Q) ends it.
configurator() {
  local window= i
  (cd "$dir" && exec "$WINE_LOADER" ostrel.exe) &
  app=$!
  for i in $(seq 150); do
    window=$(xdotool search --name "Острел Сорна-Т" 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || { echo "ostrel.exe ended without a window"; app=; return 1; }
    sleep 0.2
  done
  [ -n "$window" ] || { echo "the main window did not appear"; return 1; }
  kill -0 "$app" 2>/dev/null || { echo "the window is another copy's: this one ended"; app=; return 1; }
  sleep 1
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key --window "$window" ctrl+q
  for i in $(seq 100); do
    kill -0 "$app" 2>/dev/null || { wait "$app"; local status=$?; app=; return $status; }
    sleep 0.2
  done
  echo "ostrel.exe did not end on Ctrl+Q"
  return 1
}
check ConfiguratorStartsAndEnds configurator

end_checks
