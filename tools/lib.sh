# Shared steps of the project's scripts: installing what the build needs,
# building the three configurations, and the Wine session of the tests and
# the main job (a private prefix, a persistent wineserver and an Xvfb
# display).
#
# Source it from bash; the scripts set VT_ROOT and VT_BUILD before.

: "${VT_ROOT:?}"
: "${VT_BUILD:=$VT_ROOT/build}"
VT_JOBS=${VT_JOBS:-$(nproc 2>/dev/null || echo 2)}
# The Wine loader and prefix of every Windows program the scripts and the
# tests start; the build takes both from here (vt_build_config).
VT_WINEPREFIX=$VT_BUILD/wineprefix
VT_WINE=/usr/lib/wine/wine64
export WINEDEBUG=-all

vt_log() { printf '== %s\n' "$*"; }

# Debian packages of the build and the Wine session.
VT_PACKAGES=(
  cmake make clang libclang-rt-14-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 xvfb xauth x11-apps imagemagick fonts-ipafont-gothic
  osslsigncode openssl locales qemu-user-static python3 unzip
)

# Programs the build runs, each with the package that brings it. A package
# can be recorded as installed with one of its files gone; such a package
# is installed again.
VT_PROGRAMS=(
  i686-w64-mingw32-g++-posix:g++-mingw-w64-i686-posix
  i686-w64-mingw32-gcc-posix:gcc-mingw-w64-i686-posix
  i686-w64-mingw32-ar:binutils-mingw-w64-i686
  i686-w64-mingw32-windres:binutils-mingw-w64-i686
  i686-w64-mingw32-dlltool:binutils-mingw-w64-i686
  x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-gcc-posix:gcc-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-ar:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-dlltool:binutils-mingw-w64-x86-64
  qemu-i386-static:qemu-user-static
)

# Installs the packages that are missing (as root, or through sudo).
vt_install_packages() {
  local missing=() broken=() p entry
  for p in "${VT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    for entry in "${VT_PROGRAMS[@]}"; do
      command -v "${entry%%:*}" >/dev/null || broken+=("${entry#*:}")
    done
  fi
  if [ ${#missing[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ]; then
    vt_japanese_locale
    return
  fi
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    vt_log "installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null || return 1
  else
    mapfile -t broken < <(printf '%s\n' "${broken[@]}" | sort -u)
    vt_log "installing again, a program of theirs is missing: ${broken[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      --reinstall "${broken[@]}" >/dev/null || return 1
  fi
  vt_japanese_locale
}

# Generates the ja_JP.UTF-8 locale when it is missing. Wine takes the
# encoding of Unix file names from the locale's character set: without the
# locale it falls back to ASCII, and no file or folder with a Japanese name
# can be created or opened under Wine.
vt_japanese_locale() {
  locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$' && return 0
  vt_log "generating the ja_JP.UTF-8 locale"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

# Configures and builds one configuration: native, x86_64 or i686; with
# targets after it, only those.
vt_build_config() {
  local config=$1 dir=$VT_BUILD/$1 args=() targets=()
  shift
  [ $# -gt 0 ] && targets=(--target "$@")
  case $config in
    native) args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
    x86_64) args=(-DCMAKE_TOOLCHAIN_FILE="$VT_ROOT/cmake/mingw-x86_64.cmake"
                  -DVT_WINE_LOADER="$VT_WINE" -DVT_WINEPREFIX="$VT_WINEPREFIX") ;;
    i686) args=(-DCMAKE_TOOLCHAIN_FILE="$VT_ROOT/cmake/mingw-i686.cmake" -DVT_TESTS=OFF) ;;
  esac
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$VT_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "${args[@]}" >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log"; return 1; }
  fi
  vt_log "building $config"
  cmake --build "$dir" -j "$VT_JOBS" "${targets[@]}" >"$dir.build.log" 2>&1 ||
    { tail -n 60 "$dir.build.log"; return 1; }
}

vt_build_all() {
  mkdir -p "$VT_BUILD"
  vt_build_config native && vt_build_config x86_64 && vt_build_config i686
}

# Starts Xvfb on the first free display and a persistent wineserver for the
# private prefix, creating the prefix the first time. vt_wine_session_stop
# ends both.
vt_wine_session_start() {
  export WINEPREFIX=$VT_WINEPREFIX
  # Xvfb picks a free display itself and writes its number to fd 3.
  local numfile=$VT_BUILD/xvfb.display
  rm -f "$numfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    </dev/null >"$VT_BUILD/xvfb.log" 2>&1 3>"$numfile" &
  VT_XVFB_PID=$!
  local i
  for i in $(seq 100); do [ -s "$numfile" ] && break; sleep 0.1; done
  export DISPLAY=:$(tr -d '[:space:]' <"$numfile")

  wineserver -p </dev/null >/dev/null 2>&1
  VT_WINESERVER_STARTED=1
  if [ ! -f "$WINEPREFIX/.vantorel-ready" ]; then
    vt_log "creating the Wine prefix $WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=ja_JP.UTF-8 wineboot -i </dev/null >"$VT_BUILD/wineboot.log" 2>&1
    vt_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ /d IPAGothic /f >/dev/null
    vt_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    # No window manager runs on the display: Wine draws every window's
    # frame and caption itself.
    vt_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
    touch "$WINEPREFIX/.vantorel-ready"
  fi
}

vt_wine_session_stop() {
  if [ -n "${VT_WINESERVER_STARTED:-}" ]; then
    WINEPREFIX=$VT_WINEPREFIX wineserver -k </dev/null >/dev/null 2>&1 || true
    VT_WINESERVER_STARTED=
  fi
  if [ -n "${VT_XVFB_PID:-}" ]; then
    kill "$VT_XVFB_PID" 2>/dev/null || true
    wait "$VT_XVFB_PID" 2>/dev/null || true
    VT_XVFB_PID=
  fi
}

# Runs a Windows program under wine64 in the private prefix; its output
# goes to a file first (see tools/wine-run.in).
vt_wine() {
  local log
  log=$(mktemp)
  LC_ALL=ja_JP.UTF-8 "$VT_WINE" "$@" </dev/null >"$log" 2>&1
  local rc=$?
  cat "$log"
  rm -f "$log"
  return $rc
}

# Writes a project file as the editor saves it: the 2696-byte record,
# zero-filled, each text in code page 932 at its field's offset. The
# project is version 1.0.1 for Windows 2003 to 2008 R2, requires
# administrator rights and installs and uninstalls silently.
#   vt_project_write FILE NAME FOLDER GUID MODULE PRODUCT SETUP OUTPUT_FOLDER
# (paths as Windows paths).
vt_project_write() {
  local file=$1
  head -c 2696 /dev/zero >"$file" || return 1
  _vt_field() { printf '%s' "$2" | iconv -f UTF-8 -t CP932 | dd of="$file" bs=1 seek="$1" conv=notrunc status=none; }
  _vt_byte() { printf "\\x$(printf %02x "$2")" | dd of="$file" bs=1 seek="$1" conv=notrunc status=none; }
  _vt_field 0 "$2"            # project name
  _vt_field 128 "$3"          # folder of the project file
  _vt_field 400 "$4"          # GUID
  _vt_field 448 "$5"          # the module to install
  _vt_field 720 "$6"          # product name
  _vt_field 848 1; _vt_field 856 0; _vt_field 864 1
  _vt_field 872 0000001111    # Windows 2003, Vista, 7, 2008
  _vt_field 888 "$7"          # setup program name
  _vt_field 1016 "$8"         # folder of the package
  _vt_byte 1288 1             # administrator rights
  _vt_byte 1289 1             # silent installer
  _vt_byte 1296 1             # silent uninstaller
}
