# Shared set-up for every entry point (test, demo, bench). Source it from bash:
#   . "$(dirname "$0")/env.sh"
# It installs what a fresh Debian machine lacks, configures and builds the project
# out of tree, prepares a private Wine prefix inside the build folder, and starts a
# private Xvfb display when none is set. Idempotent: on a prepared machine it costs seconds.

VORLIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$VORLIX_ROOT/build}
BUILD_TYPE=${BUILD_TYPE:-Debug}

vorlix_log() { printf '[vorlix] %s\n' "$*" >&2; }

# Installs the Debian packages whose commands are missing (apt-get update once).
vorlix_install_missing() {
  local need=() pkg cmd
  local pairs=(
    "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
    "x86_64-w64-mingw32-gcc-posix:gcc-mingw-w64-x86-64-posix"
    "i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix"
    "wine:wine"
    "wine64:wine64"
    "Xvfb:xvfb"
    "xauth:xauth"
    "xdotool:xdotool"
    "import:imagemagick"
    "openbox:openbox"
    "xlogo:x11-apps"
    "xprop:x11-utils"
    "cmake:cmake"
    "python3:python3"
    "clang++:clang"
    "cppcheck:cppcheck"
    "clang-tidy:clang-tidy"
  )
  for pair in "${pairs[@]}"; do
    cmd=${pair%%:*}; pkg=${pair#*:}
    command -v "$cmd" >/dev/null 2>&1 || [ -x "/usr/lib/wine/$cmd" ] || need+=("$pkg")
  done
  [ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
  # A locale whose ANSI code page is UTF-8, built by tests/e2e/utf8_code_page.sh.
  [ -f /usr/share/i18n/locales/hi_IN ] || need+=(locales)
  # libFuzzer's runtime, for the fuzz targets.
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
  if [ ${#need[@]} -gt 0 ]; then
    vorlix_log "installing: ${need[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
  vorlix_find_wine
}

# The one place that finds Wine: VORLIX_WINE is the 64-bit loader, for every
# script and, through the build's cache, for CTest.
vorlix_find_wine() {
  # Debian installs the 64-bit loader outside PATH.
  if ! command -v wine64 >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
    export PATH="$PATH:/usr/lib/wine"
  fi
  VORLIX_WINE=$(command -v wine64) || { vorlix_log "wine64 not found"; return 1; }
  export VORLIX_WINE
}

# Configures (the first time, and again when BUILD_TYPE changes) and builds
# everything, or only the targets that VORLIX_BUILD_TARGETS names.
vorlix_build() {
  local cached=
  [ -f "$BUILD_DIR/CMakeCache.txt" ] && cached=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD_DIR/CMakeCache.txt")
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ] || [ "$cached" != "$BUILD_TYPE" ]; then
    cmake -S "$VORLIX_ROOT" -B "$BUILD_DIR" \
      -DCMAKE_TOOLCHAIN_FILE="$VORLIX_ROOT/cmake/mingw-w64-posix.cmake" \
      -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DVORLIX_WINE="$VORLIX_WINE" >/dev/null
  fi
  local targets=()
  for target in ${VORLIX_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
  cmake --build "$BUILD_DIR" -j "$(nproc)" "${targets[@]}"
}

# Starts Xvfb on a free display when DISPLAY is unset; stopped by vorlix_cleanup.
vorlix_start_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  VORLIX_XVFB_PID=$!
  local num=
  read -r num <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$num" ] || ! kill -0 "$VORLIX_XVFB_PID" 2>/dev/null; then
    vorlix_log "Xvfb did not start (is /tmp/.X11-unix writable, is a display free?)"
    exit 1
  fi
  export DISPLAY=":$num"
  vorlix_log "started Xvfb on $DISPLAY"
}

# Creates the private Wine prefix inside the build folder and keeps a wineserver running.
vorlix_prepare_wine() {
  export WINEDEBUG=-all
  export WINEPREFIX="$BUILD_DIR/wineprefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    vorlix_log "creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # No Mono or Gecko download: the machine has no internet.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # A persistent server, and the prefix's services started here with their output
  # detached, so that CTest never waits on a pipe that a service inherited.
  wineserver -p >/dev/null 2>&1 || true
  wineboot >/dev/null 2>&1 || true
  # Our Xvfb has no window manager, and Wine waits two seconds for one at every
  # hide or destroy of a managed window: leave windows unmanaged there.
  local managed=Y
  [ -z "${VORLIX_XVFB_PID:-}" ] || managed=N
  "$VORLIX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1 || true
}

vorlix_cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "${VORLIX_XVFB_PID:-}" ]; then
    kill "$VORLIX_XVFB_PID" 2>/dev/null || true
    wait "$VORLIX_XVFB_PID" 2>/dev/null || true
    unset VORLIX_XVFB_PID
  fi
}

# The whole set-up: packages, build, display, Wine prefix. Cleanup runs on exit.
vorlix_setup() {
  vorlix_install_missing
  vorlix_build
  trap vorlix_cleanup EXIT
  vorlix_start_display
  vorlix_prepare_wine
}
