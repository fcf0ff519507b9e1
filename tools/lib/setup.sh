# Shared steps of the tools: packages, the version, the builds, the Wine session.
# Sourced by tools/test, tools/run, tools/screenshot, tools/package and tools/check-package.

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
# The code checks of tools/lint (the Debian versions, so that every machine formats alike).
DORVANE_LINT_PACKAGES=(clang-format clang-tidy python3)
DORVANE_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth)
# The release: the 32-bit Windows compiler, zip, dpkg-shlibdeps for the .deb's dependencies.
DORVANE_PACKAGE_PACKAGES=(cmake make g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix zip
                          dpkg-dev)

# The browser that opens the HTML report in tools/check-report (137 MB to fetch,
# 475 MB installed, under two minutes here).
DORVANE_BROWSER_PACKAGES=(chromium)

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

# 32-bit Wine, for the i686 programs; Debian has it in its i386 package lists.
# Returns non-zero, leaving no i386 architecture behind, when they cannot be had.
install_wine32() {
  dpkg -s wine32:i386 >/dev/null 2>&1 && return 0
  local sudo="" added=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=yes
  fi
  install_packages wine32:i386 && return 0
  echo "== no 32-bit Wine from the package lists"
  [ -z "$added" ] || $sudo dpkg --remove-architecture i386 || true
  return 1
}

# The version of the checkout, from `git describe --tags --always --dirty`:
# tag v2.08 gives 2.08, three commits after it 2.08+3.g1a2b3c4; with no tag,
# the project's version in CMakeLists.txt and the commit, 2.08+g1a2b3c4;
# uncommitted changes add .dirty; without git, the project's version alone.
# Only digits, letters, '.', '+' and '~' (a tag's '-' becomes '~'), so that
# Debian takes it as a package version too.
dorvane_version() { # ROOT
  local base describe dirty="" tag since=""
  base=$(sed -n 's/^project(Dorvane VERSION \([0-9.]*\).*/\1/p' "$1/CMakeLists.txt")
  if ! describe=$(git -C "$1" describe --tags --always --dirty 2>/dev/null); then
    echo "$base"
    return
  fi
  if [[ $describe == *-dirty ]]; then
    describe=${describe%-dirty}
    dirty=.dirty
  fi
  if ! git -C "$1" describe --tags >/dev/null 2>&1; then
    tag=$base since="+g$describe"
  elif [[ $describe =~ ^(.*)-([0-9]+)-g([0-9a-f]+)$ ]]; then
    tag=${BASH_REMATCH[1]} since="+${BASH_REMATCH[2]}.g${BASH_REMATCH[3]}"
  else
    tag=$describe
  fi
  tag=${tag#v}
  tag=${tag//-/\~}
  [[ $tag =~ ^[0-9][A-Za-z0-9.+~]*$ ]] || tag=$base # a tag that is no version
  echo "$tag$since$dirty"
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

# build_windows ROOT [ARCH [TARGET...]]: the Release build for x86_64 in
# build/windows or for i686 in build/windows-i686, all of it or the targets named.
build_windows() {
  local root=$1 arch=${2:-x86_64}
  shift $(($# < 2 ? $# : 2))
  local tree=$root/build/windows toolchain=$root/cmake/mingw-w64.cmake
  if [ "$arch" = i686 ]; then
    tree=$root/build/windows-i686 toolchain=$root/cmake/mingw-w64-i686.cmake
  fi
  echo "== Windows build, $arch (MinGW-w64)"
  cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DDORVANE_VERSION="$(dorvane_version "$root")" >/dev/null
  cmake --build "$tree" -j"$(nproc)" ${1:+--target "$@"}
}

# The native Release build of dorvane-cli alone, without sanitizers, for the .deb.
build_release_native() { # ROOT
  echo "== native Release build (dorvane-cli)"
  cmake -S "$1" -B "$1/build/release" -DCMAKE_BUILD_TYPE=Release -DDORVANE_SANITIZE=OFF \
    -DDORVANE_TESTS=OFF -DDORVANE_VERSION="$(dorvane_version "$1")" >/dev/null
  cmake --build "$1/build/release" -j"$(nproc)" --target dorvane-cli
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
  # A prefix made before 32-bit Wine came has no 32-bit system files, and
  # updating it does not add them: it is made again.
  if [ -f "$WINEPREFIX/system.reg" ] && dpkg -s wine32:i386 >/dev/null 2>&1 &&
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    rm -rf "$WINEPREFIX"
  fi
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
