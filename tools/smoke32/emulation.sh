# The 32-bit Wine under user-mode emulation, for the smoke test of the
# shipped 32-bit programs (tools/smoke32/run). The kernel of the build
# machines runs no 32-bit code, but qemu-i386-static runs Debian's i386
# Wine, unpacked privately, and the system's 64-bit wineserver serves it.
#
# Made once per machine and kept outside the checkout, in
#   ${VT_SMOKE32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantorel-smoke32}/
#     tree/     the unpacked i386 packages (tree/.stamp: what is in it)
#     prefix/   a 32-bit Wine prefix, initialised (prefix/.stamp)
# Each is made in a temporary folder beside it and renamed into place only
# when complete, so that an interrupted set-up leaves nothing that a later
# run would use; one without its stamp, or with a stamp of another Wine or
# another layout, is made again.
#
# Source it from bash. s32_ready makes what is missing and returns 0, or
# returns 1 with the reason in S32_REASON.

: "${VT_ROOT:?}"
S32_CACHE=${VT_SMOKE32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantorel-smoke32}
S32_TREE=$S32_CACHE/tree
S32_PREFIX=$S32_CACHE/prefix
S32_SERVER=/usr/lib/wine/wineserver64
# Changes with the way the tree and the prefix are made.
S32_LAYOUT=1
# Time limits of the set-up steps, in seconds.
S32_DOWNLOAD_LIMIT=${S32_DOWNLOAD_LIMIT:-900}
S32_BOOT_LIMIT=${S32_BOOT_LIMIT:-2400}
S32_REASON=

s32_log() { printf 'smoke32: %s\n' "$*"; }

# The version of the system's 64-bit Wine: the i386 Wine must be the same
# build, or the server refuses its clients.
s32_wine_version() { dpkg-query -W -f='${Version}' wine64 2>/dev/null; }

# The first line of both stamps.
s32_stamp_header() {
  printf 'layout %s wine %s qemu %s\n' "$S32_LAYOUT" "$(s32_wine_version)" \
    "$(qemu-i386-static --version 2>/dev/null | head -n 1 | awk '{print $3}')"
}

s32_stamp_valid() {  # s32_stamp_valid FOLDER
  [ -f "$1/.stamp" ] && [ "$(head -n 1 "$1/.stamp")" = "$(s32_stamp_header)" ]
}

# The tree is used where it was made: its wine-preloader names its folder,
# so a cache that was moved is made again.
s32_tree_valid() {
  s32_stamp_valid "$S32_TREE" && grep -qF -- "-L $S32_TREE " "$S32_TREE/usr/lib/wine/wine-preloader"
}

# The i386 Wine loader under the emulator: the command that runs a program
# in the tree's Wine.
S32_WINE=(qemu-i386-static -L "$S32_TREE" "$S32_TREE/usr/lib/wine/wine")

# Writes zlib1.dll as Debian's libwine makes it when it is installed (a
# step that unpacking skips): the MinGW build of zlib with the mark of a
# Wine builtin DLL in its DOS stub, bytes 64 to 95.
s32_zlib_make() {  # s32_zlib_make TREE
  local in=$1/usr/i686-w64-mingw32/lib/zlib1.dll
  local out=$1/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
  [ -f "$in" ] && [ -d "${out%/*}" ] || return 1
  # The mark must fall between the DOS header (64 bytes) and the PE header.
  local mz pe_offset
  mz=$(head -c 2 "$in")
  pe_offset=$(od -An -t u4 -j 60 -N 4 "$in" | tr -d ' ')
  [ "$mz" = MZ ] && [ "$pe_offset" -ge 96 ] || return 1
  { head -c 64 "$in" && printf 'Wine builtin DLL' && head -c 16 /dev/zero && tail -c +97 "$in"; } \
    >"$out" || return 1
  [ "$(stat -c %s "$out")" = "$(stat -c %s "$in")" ]
}

# Downloads wine32 and libwine of the system's Wine version with every i386
# package they need, with a private apt state (nothing of the system's apt
# state or package database changes), and unpacks them into the tree.
s32_tree_make() {
  local version work apt qemu
  version=$(s32_wine_version)
  qemu=$(command -v qemu-i386-static)
  [ -n "$version" ] || { S32_REASON="the system's Wine (package wine64) is not installed"; return 1; }
  mkdir -p "$S32_CACHE" || { S32_REASON="cannot create $S32_CACHE"; return 1; }
  rm -rf "$S32_CACHE"/tree.new.* "$S32_CACHE"/apt.*
  work=$S32_CACHE/tree.new.$$
  apt=$S32_CACHE/apt.$$
  mkdir -p "$work" "$apt/lists/partial" "$apt/archives/partial" "$apt/log"
  : >"$apt/status"
  cat >"$apt/apt.conf" <<EOF
APT::Architecture "i386";
APT::Architectures { "i386"; };
APT::Install-Recommends "false";
Dir::State "$apt";
Dir::State::Lists "$apt/lists";
Dir::State::status "$apt/status";
Dir::Cache "$apt";
Dir::Cache::archives "$apt/archives";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
Dir::Log "$apt/log";
EOF
  s32_log "downloading the i386 packages of Wine $version (about 140 MB)"
  if ! APT_CONFIG=$apt/apt.conf timeout "$S32_DOWNLOAD_LIMIT" apt-get update -qq \
      </dev/null >"$apt/update.log" 2>&1; then
    S32_REASON="the i386 package lists cannot be fetched ($(tail -n 1 "$apt/update.log"))"
    rm -rf "$apt" "$work"
    return 1
  fi
  if ! APT_CONFIG=$apt/apt.conf timeout "$S32_DOWNLOAD_LIMIT" apt-get install -y -qq -d \
      "wine32=$version" "libwine=$version" </dev/null >"$apt/download.log" 2>&1; then
    S32_REASON="the i386 packages of Wine $version cannot be fetched ($(tail -n 1 "$apt/download.log"))"
    rm -rf "$apt" "$work"
    return 1
  fi
  s32_log "unpacking $(ls "$apt/archives"/*.deb | wc -l) packages"
  local deb listing=$apt/packages
  : >"$listing"
  for deb in "$apt/archives"/*.deb; do
    dpkg-deb -x "$deb" "$work" &&
      dpkg-deb -f "$deb" Package Version | paste -sd' ' >>"$listing" ||
      { S32_REASON="cannot unpack $deb"; rm -rf "$apt" "$work"; return 1; }
  done
  rm -rf "$apt/archives"
  if ! s32_zlib_make "$work"; then
    S32_REASON="cannot make zlib1.dll from the i686 MinGW zlib"
    rm -rf "$apt" "$work"
    return 1
  fi
  # Wine starts itself again through wine-preloader beside its loader; the
  # kernel cannot run the i386 one, so it is the emulator that runs it.
  printf '#!/bin/sh\nexec %s -L %s "$@"\n' "$qemu" "$S32_TREE" >"$work/usr/lib/wine/wine-preloader"
  chmod 755 "$work/usr/lib/wine/wine-preloader"
  # The library cache of the i386 tree; without it the emulated loader
  # reads the system's cache of 64-bit libraries.
  echo 'include /etc/ld.so.conf.d/*.conf' >"$work/etc/ld.so.conf"
  ldconfig -r "$work" 2>/dev/null
  { s32_stamp_header; sort "$listing"; } >"$work/.stamp"
  rm -rf "$apt" "$S32_TREE" "$S32_PREFIX"
  mv "$work" "$S32_TREE"
}

# Creates a prefix for 32-bit programs: a prefix takes the bitness of the
# server that creates it, and the server is the 64-bit one, so the registry
# files say win32 before the first start.
s32_prefix_seed() {  # s32_prefix_seed FOLDER
  local file
  mkdir -p "$1"
  for file in system user userdef; do
    printf 'WINE REGISTRY Version 2\n\n#arch=win32\n' >"$1/$file.reg"
  done
}

# Makes the prefix: wineboot --init under emulation, then checks that the
# prefix holds the system folder and the registry of an initialised one.
s32_prefix_make() {
  rm -rf "$S32_CACHE"/prefix.new.*
  local work=$S32_CACHE/prefix.new.$$ log=$S32_CACHE/prefix-boot.log
  s32_prefix_seed "$work"
  s32_log "creating the 32-bit Wine prefix (about 15 minutes)"
  local started=$SECONDS deadline=$((SECONDS + S32_BOOT_LIMIT)) rc=124
  # wineboot's first process gives up waiting after five minutes, long
  # before the helpers it started have installed the prefix; wineboot says
  # when the prefix is complete, so the log is watched for its line and
  # every program of the prefix ended then. The service manager is not
  # started: under the emulation it either crashes or spins, and the
  # installation then waits for it until it gives up or for ever (the
  # programs under test need no service).
  WINEPREFIX=$work "$S32_SERVER" -p </dev/null >/dev/null 2>&1
  WINEPREFIX=$work WINESERVER=$S32_SERVER WINEDLLOVERRIDES="services.exe=d" \
    "${S32_WINE[@]}" wineboot.exe --init </dev/null >"$log" 2>&1 &
  local boot=$!
  while [ $SECONDS -lt $deadline ]; do
    if grep -q '^wine: configuration in .* has been updated' "$log"; then
      rc=0
      sleep 10
      break
    fi
    sleep 10
  done
  WINEPREFIX=$work "$S32_SERVER" -k </dev/null >/dev/null 2>&1
  WINEPREFIX=$work timeout 60 "$S32_SERVER" -w </dev/null >/dev/null 2>&1
  wait "$boot"
  s32_log "prefix boot ended with $rc after $((SECONDS - started)) s"
  if [ $rc -eq 124 ]; then
    S32_REASON="creating the 32-bit prefix took more than $S32_BOOT_LIMIT s (log: $log)"
    rm -rf "$work"
    return 1
  fi
  if [ ! -f "$work/drive_c/windows/system32/kernel32.dll" ] ||
      ! grep -q '^#arch=win32' "$work/system.reg" ||
      ! grep -q '^\[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\]' "$work/system.reg"; then
    S32_REASON="the 32-bit prefix was not initialised (log: $log)"
    rm -rf "$work"
    return 1
  fi
  head -n 1 "$S32_TREE/.stamp" >"$work/.stamp"
  rm -rf "$S32_PREFIX"
  mv "$work" "$S32_PREFIX"
}

# Makes whatever is missing. One set-up at a time per cache.
s32_ready() {
  command -v qemu-i386-static >/dev/null ||
    { S32_REASON="the emulator qemu-i386-static is missing (package qemu-user-static)"; return 1; }
  [ -x "$S32_SERVER" ] || { S32_REASON="the system's wineserver $S32_SERVER is missing"; return 1; }
  mkdir -p "$S32_CACHE" || { S32_REASON="cannot create $S32_CACHE"; return 1; }
  exec 8>"$S32_CACHE/.lock"
  flock 8
  local ok=0
  if ! s32_tree_valid; then s32_tree_make || ok=1; fi
  if [ $ok -eq 0 ] && ! s32_stamp_valid "$S32_PREFIX"; then s32_prefix_make || ok=1; fi
  flock -u 8
  exec 8>&-
  return $ok
}
