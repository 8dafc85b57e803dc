# Shared by scripts/test, scripts/run and scripts/screenshot.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WINE_LOADER=/usr/lib/wine/wine64
WINE_SERVER=/usr/lib/wine/wineserver
PACKAGES=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          mingw-w64-x86-64-dev wine64 fonts-wine xvfb xdotool imagemagick
          clang libclang-rt-14-dev libfuzzer-14-dev
          libcli11-dev nlohmann-json3-dev libhidapi-dev
          libsqlite3-dev libsodium-dev zlib1g-dev libbrotli-dev sqlite3
          emscripten nodejs chromium)
# scripts/package and its tests: Debian package tools, the manual page's
# generator, the zip, and dpkg run as another user than root in the tests.
PACKAGES+=(dpkg-dev lintian help2man zip unzip fakeroot)
# The office server: HTTPS, hashing, and PostgreSQL (its client library and
# the server that the tests start a cluster of their own of).
PACKAGES+=(libcpp-httplib-dev libssl-dev libsodium-dev libpq-dev postgresql)

# Installs the Debian packages that are missing; quick and silent when all are there.
ensure_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds one preset (native, windows, asan or tsan). A failed
# configure step stops here: building on would use the build folder's older
# configuration and test or run something other than the sources.
build_preset() {
  local preset=$1; shift
  local log
  log=$(mktemp) || return 1
  if ! cmake --preset "$preset" -S "$ROOT" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "${0##*/}: configuring the $preset build failed (the messages above say why);" \
         "nothing was built" >&2
    return 1
  fi
  rm -f "$log"
  if ! cmake --build --preset "$preset" "$@"; then
    echo "${0##*/}: building the $preset build failed (the messages above say why)" >&2
    return 1
  fi
}

XVFB_PID=
# Starts Xvfb on a free display and exports DISPLAY; the screen is
# XVFB_SCREEN (width x height x depth), 1280x1024x24 unless set.
start_xvfb() {
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}

stop_xvfb() {
  if [ -n "${WINEPREFIX:-}" ] && [ -x "$WINE_SERVER" ]; then "$WINE_SERVER" -k >/dev/null 2>&1 || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  XVFB_PID=
}

# A Wine prefix inside the build folder, made once; a persistent wineserver
# makes every later Wine start quick. With "unmanaged" (a virtual display
# without a window manager) Wine places its windows itself instead of
# waiting, at every hide and destroy, for a window manager that never answers.
prepare_wine() {
  local windows=${1:-managed}
  export WINEPREFIX="$ROOT/build/windows/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE_LOADER" wineboot -i >/dev/null 2>&1 || true
    "$WINE_SERVER" -w
  fi
  # The symbol font of the caption buttons, which the prefix does not find
  # by itself.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
  # A persistent server, and Wine's own services started once here, with
  # their output away from the tests' (ctest waits for every holder of a
  # test's output to let go of it).
  "$WINE_SERVER" -p >/dev/null 2>&1 </dev/null || true
  "$WINE_LOADER" cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
  # A program that crashes ends with its error at once, instead of waiting
  # for Wine's debugger to be done with it (a test run would hang).
  if [ ! -f "$WINEPREFIX/.no-crash-debugger" ]; then
    "$WINE_LOADER" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /f >/dev/null 2>&1 </dev/null || true
    touch "$WINEPREFIX/.no-crash-debugger"
  fi
  local mark="$WINEPREFIX/.windows-$windows"
  if [ ! -f "$mark" ]; then
    local managed=Y
    [ "$windows" = unmanaged ] && managed=N
    "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f \
      >/dev/null 2>&1 </dev/null || true
    rm -f "$WINEPREFIX"/.windows-*
    touch "$mark"
  fi
}

# A throw-away PostgreSQL cluster for the tests and benchmarks: made by
# initdb in a temporary folder, listening on a socket in that folder alone
# (no TCP), stopped and removed by stop_postgresql (call it from an EXIT
# trap, so that a failure stops it too). Exports OSTREL_TEST_POSTGRESQL,
# the URL of its database "postgres". PostgreSQL refuses to run as root:
# as root, the cluster runs as the user postgres.
PG_DIR=
start_postgresql() {
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL's programs are not installed (Debian: postgresql)" >&2
    return 1
  fi
  PG_DIR=$(mktemp -d /tmp/ostrel-pg.XXXXXX) || return 1
  local as=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$PG_DIR"
    as=(runuser -u postgres --)
  fi
  if ! "${as[@]}" "$bin/initdb" -D "$PG_DIR/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 \
      >"$PG_DIR/initdb.log" 2>&1; then
    cat "$PG_DIR/initdb.log" >&2
    echo "initdb failed: no PostgreSQL cluster for the tests" >&2
    return 1
  fi
  local options="-c listen_addresses='' -c unix_socket_directories='$PG_DIR' -c max_connections=300"
  # The commands that stop and start the cluster again, for the test of a
  # database that goes away under load.
  export OSTREL_TEST_PG_START="${as[*]} $bin/pg_ctl -D $PG_DIR/data -l $PG_DIR/server.log -w -t 60 -o \"$options\" start >/dev/null"
  export OSTREL_TEST_PG_STOP="${as[*]} $bin/pg_ctl -D $PG_DIR/data -m fast -w stop >/dev/null"
  if ! eval "$OSTREL_TEST_PG_START"; then
    cat "$PG_DIR/server.log" >&2
    echo "the test cluster of PostgreSQL did not start" >&2
    return 1
  fi
  export OSTREL_TEST_POSTGRESQL="postgresql:///postgres?host=$PG_DIR&user=postgres"
}

stop_postgresql() {
  [ -n "$PG_DIR" ] || return 0
  local bin as=()
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ "$(id -u)" -eq 0 ] && as=(runuser -u postgres --)
  "${as[@]}" "$bin/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$PG_DIR"
  PG_DIR=
}
