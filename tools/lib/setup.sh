# Shared steps of the tools: packages, the two builds, the Wine session.
# Sourced by tools/test, tools/run and tools/screenshot.

# answer_help SCRIPT ARGS...: on -h or --help prints the script's opening
# comment (its usage) and exits 0; otherwise returns.
answer_help() {
  local script=$1
  shift
  case "${1:-}" in
    -h | --help)
      sed -n '2,/^[^#]/{/^#/!q;s/^# \{0,1\}//;p}' "$script"
      exit 0
      ;;
  esac
}

DORVANE_BUILD_PACKAGES=(cmake make g++ googletest)
DORVANE_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth)

# Installs the Debian packages that are missing (as root, or through sudo).
install_packages() {
  local missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build_native ROOT BUILD_TYPE SANITIZE
build_native() {
  echo "== native build"
  cmake -S "$1" -B "$1/build/native" -DCMAKE_BUILD_TYPE="$2" -DDORVANE_SANITIZE="$3" >/dev/null
  cmake --build "$1/build/native" -j"$(nproc)"
}

# The ThreadSanitizer tree builds only the threaded test and what it links.
build_thread_sanitizer() {
  echo "== ThreadSanitizer build (threaded test)"
  cmake -S "$1" -B "$1/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DDORVANE_SANITIZE=OFF \
    -DDORVANE_THREAD_SANITIZER=ON >/dev/null
  cmake --build "$1/build/tsan" -j"$(nproc)" --target dorvane_thread_tests
}

# Runs a command under ThreadSanitizer. Its runtime refuses to start when the
# kernel randomises the address space more than it expects ("unexpected memory
# mapping"); the command then runs with randomisation off for it alone.
run_thread_sanitized() { # ROOT COMMAND...
  local root=$1 probe
  shift
  probe=$("$root/build/tsan/tests/dorvane_thread_tests" --gtest_list_tests 2>&1 || true)
  case "$probe" in
    *"unexpected memory mapping"*) setarch "$(uname -m)" -R "$@" ;;
    *) "$@" ;;
  esac
}

build_windows() {
  echo "== Windows build (MinGW-w64)"
  cmake -S "$1" -B "$1/build/windows" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$1/build/windows" -j"$(nproc)"
}

# A throwaway Wine prefix in the build tree, an Xvfb display and a persistent
# wineserver, so each Wine process starts quickly. stop_wine_session ends what
# this started, by pid.
start_wine_session() {
  export WINEPREFIX="$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local display=90
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  DORVANE_XVFB_PID=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display}" ] && break
    sleep 0.1
  done
  # The prefix is made with the display already there: Wine's desktop process
  # starts with it and serves every window of the session.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== preparing the Wine prefix"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1 || true
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true
  # Start Wine's own services now, detached from any pipe: started by the first
  # test instead, they would inherit ctest's output pipe and keep it waiting.
  wineboot </dev/null >/dev/null 2>&1 || true
}

stop_wine_session() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${DORVANE_XVFB_PID:-}" ]; then
    kill "$DORVANE_XVFB_PID" 2>/dev/null || true
    wait "$DORVANE_XVFB_PID" 2>/dev/null || true
  fi
}
