# Shell helpers shared by scripts/setup, scripts/wine-exec, scripts/test and scripts/run.
# Source it from bash; it defines functions and a few variables and runs nothing by itself.
#
# Wine here is always the 64-bit loader with the 64-bit wineserver: /usr/bin/wine picks the 32-bit
# loader whenever wine32 is installed, and the plain wineserver wrapper forces -p0. A machine whose
# kernel can run 32-bit code also gets the 32-bit loader for i686 programs (see quovar_can_run_32bit).

QUOVAR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUOVAR_BUILD="$QUOVAR_ROOT/build"
QUOVAR_WINE64=/usr/lib/wine/wine64
QUOVAR_WINE32=/usr/lib/wine/wine
QUOVAR_WINESERVER=/usr/lib/wine/wineserver64
QUOVAR_LOCK="$QUOVAR_BUILD/.wine.lock"

# Everything a fresh Debian 12 machine needs to build, run and test the program.
QUOVAR_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb xauth x11-apps x11-utils imagemagick
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-wine
  nginx-light python3-pyftpdlib googletest zip chromium
  # The proxy of the transfer tests (with its Basic login helper).
  squid
  procps util-linux locales wget curl
  # The platform TLS provider under Wine loads GnuTLS at run time; the TLS tests make their
  # certificates with openssl.
  libgnutls30 libgnutls30:i386 openssl
  # The browser extension's test runs it in Firefox too; web-ext (from npm) checks it against
  # Firefox's rules.
  firefox-esr nodejs
)

# web-ext, pinned to a release that runs on Debian 12's Node.js 18 and knows the manifest's
# data_collection_permissions (8.9 refused it as reserved), installed into build/tools.
QUOVAR_WEB_EXT_VERSION=8.10.0
QUOVAR_WEB_EXT="$QUOVAR_BUILD/tools/web-ext/node_modules/.bin/web-ext"

quovar_say() { printf '%s\n' "$*" >&2; }

# Runs a command as root: directly when we are root, through sudo otherwise.
quovar_as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    quovar_say "setup: needs root for: $*; run it as root or install sudo"
    return 1
  fi
}

quovar_missing_packages() {
  local -A installed=()
  local name status p native
  native=$(dpkg --print-architecture)
  # One query for all of them keeps a second run of setup at well under a second.
  while read -r name status; do
    [ "$status" = "install ok installed" ] && installed[$name]=1
  done < <(dpkg-query -W -f='${binary:Package} ${Status}\n' "${QUOVAR_PACKAGES[@]}" 2>/dev/null || true)
  for p in "${QUOVAR_PACKAGES[@]}"; do
    [ -n "${installed[$p]:-}" ] || [ -n "${installed[$p:$native]:-}" ] || printf '%s\n' "$p"
  done
  # Debian's npm comes apart from its nodejs; a Node.js from elsewhere brings its own npm and
  # conflicts with Debian's.
  command -v npm >/dev/null || printf 'npm\n'
}

quovar_install_packages() {
  local missing added_policy=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    quovar_say "setup: adding the i386 architecture (for wine32)"
    quovar_as_root dpkg --add-architecture i386
  fi
  mapfile -t missing < <(quovar_missing_packages)
  [ "${#missing[@]}" -eq 0 ] && return 0

  quovar_say "setup: installing ${missing[*]}"
  # Packages such as nginx start their service on installation; the tests start their own servers
  # on free ports, so keep the system's copies stopped for the length of the install.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | quovar_as_root tee /usr/sbin/policy-rc.d >/dev/null
    quovar_as_root chmod 755 /usr/sbin/policy-rc.d
    added_policy=1
  fi
  local rc=0
  {
    quovar_as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
      quovar_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "${missing[@]}"
  } || rc=$?
  if [ "$added_policy" -eq 1 ]; then
    quovar_as_root rm -f /usr/sbin/policy-rc.d
  fi
  if [ "$rc" -ne 0 ]; then
    quovar_say "setup: package installation failed (exit $rc)"
    return "$rc"
  fi
  mapfile -t missing < <(quovar_missing_packages)
  if [ "${#missing[@]}" -ne 0 ]; then
    quovar_say "setup: still missing after installation: ${missing[*]}"
    return 1
  fi
}

quovar_install_web_ext() {
  local dir="$QUOVAR_BUILD/tools/web-ext"
  [ -x "$QUOVAR_WEB_EXT" ] && [ -f "$dir/.version-$QUOVAR_WEB_EXT_VERSION" ] && return 0
  quovar_say "setup: installing web-ext $QUOVAR_WEB_EXT_VERSION into $dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  if ! npm install --prefix "$dir" --no-audit --no-fund --loglevel=error \
    "web-ext@$QUOVAR_WEB_EXT_VERSION" >"$dir/install.log" 2>&1; then
    quovar_say "setup: installing web-ext failed; see $dir/install.log"
    return 1
  fi
  touch "$dir/.version-$QUOVAR_WEB_EXT_VERSION"
}

# Wine names files on the Unix side in the encoding of the Unix locale; without a generated
# ja_JP.UTF-8 locale a file name with Japanese characters cannot be created at all.
quovar_ensure_locale() {
  if locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
    return 0
  fi
  quovar_say "setup: generating the ja_JP.UTF-8 locale"
  if grep -qE '^# *ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    quovar_as_root sed -i 's/^# *ja_JP\.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -qE '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | quovar_as_root tee -a /etc/locale.gen >/dev/null
  fi
  quovar_as_root locale-gen >/dev/null
}

# The host names of the IPv6 tests (tests/servers/serve.py): one for ::1 alone, one for ::1 and
# then 127.0.0.1, under .test, which no real name uses.
quovar_ensure_test_names() {
  grep -q 'quovar\.test' /etc/hosts 2>/dev/null && return 0
  quovar_say "setup: adding the test names v6.quovar.test and dual.quovar.test to /etc/hosts"
  local lead=""
  [ -n "$(tail -c 1 /etc/hosts 2>/dev/null)" ] && lead='\n'
  printf "$lead"'::1 v6.quovar.test\n::1 dual.quovar.test\n127.0.0.1 dual.quovar.test\n' |
    quovar_as_root tee -a /etc/hosts >/dev/null
}

# True when the kernel runs 32-bit x86 programs (some virtual machines cannot), so that the i686
# build can be tested under the 32-bit Wine loader.
quovar_can_run_32bit() {
  [ -x "$QUOVAR_WINE32" ] || return 1
  timeout 30 "$QUOVAR_WINE32" --version >/dev/null 2>&1
}

# The Wine environment every script uses. LC_ALL is not exported here: bash complains about a
# locale that is not generated, so it is given to the Wine processes alone (see quovar_wine).
quovar_wine_env() {
  export WINEPREFIX="${QUOVAR_WINEPREFIX:-$QUOVAR_BUILD/wineprefix}"
  export WINESERVER="$QUOVAR_WINESERVER"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
}

# Runs a Wine program with the 64-bit loader. With ja_JP.UTF-8, GetACP() answers 932.
quovar_wine() {
  env LC_ALL=ja_JP.UTF-8 "$QUOVAR_WINE64" "$@"
}

# Takes the build folder's Wine lock on file descriptor 9. Every background process started while
# it is held must get 9>&- so that it does not keep the lock after we let go.
quovar_lock() {
  mkdir -p "$QUOVAR_BUILD"
  exec 9>"$QUOVAR_LOCK"
  flock 9
}

quovar_unlock() {
  exec 9>&-
}

# Starts a wineserver for $WINEPREFIX that stays 30 s after its last client, detached from our
# output so that nobody reading it waits for the server. The server daemonizes itself once its
# socket is ready, and answers 2 when one already runs for the prefix. Returns 0 when it started
# a new one, 1 when one was running, 2 when it failed. Call with the lock held.
quovar_spawn_wineserver() {
  local rc=0
  setsid "$QUOVAR_WINESERVER" -p30 </dev/null >/dev/null 2>&1 9>&- || rc=$?
  case "$rc" in
    0) return 0 ;;
    2) return 1 ;;
    *) return 2 ;;
  esac
}

# Makes sure a wineserver runs for $WINEPREFIX. The first Wine process of a new server also starts
# Wine's own background processes (services, the desktop), which keep that process's output open
# until the server ends; CTest would wait on them for half a minute. So a throwaway process with
# its output sent nowhere starts them first. Uses $DISPLAY, as the desktop process keeps it.
quovar_start_wineserver() {
  quovar_lock
  local rc=0
  quovar_spawn_wineserver || rc=$?
  if [ "$rc" -eq 0 ]; then
    quovar_wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
  fi
  quovar_unlock
  [ "$rc" -ne 2 ]
}

quovar_stop_wineserver() {
  local prefix="${QUOVAR_WINEPREFIX:-$QUOVAR_BUILD/wineprefix}"
  [ -d "$prefix" ] || return 0
  WINEPREFIX="$prefix" "$QUOVAR_WINESERVER" -k >/dev/null 2>&1 9>&- || true
}

# Font names that the Japanese Windows dialogs and controls ask for, mapped to the IPA fonts.
quovar_font_reg() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"%s"="%s"\r\n' \
    'ＭＳ Ｐゴシック' IPAPGothic 'ＭＳ ゴシック' IPAGothic 'ＭＳ Ｐ明朝' IPAPMincho 'ＭＳ 明朝' IPAMincho \
    'MS PGothic' IPAPGothic 'MS Gothic' IPAGothic 'MS UI Gothic' IPAPGothic \
    'MS PMincho' IPAPMincho 'MS Mincho' IPAMincho
  # Without a window manager, every hidden window would wait for one to answer (about 2 s a dialog).
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
  # A program that crashes prints its backtrace and ends, instead of waiting on a crash dialog
  # that nobody on the virtual display can close.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
}

# Window captions draw their buttons with Marlett. This Wine build looks for it only in the
# prefix's Fonts folder, which wineboot leaves empty, so the buttons would show as letters.
quovar_link_caption_font() {
  local font=/usr/share/wine/fonts/marlett.ttf dir="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$font" ] && [ -d "$dir" ] || return 0
  [ -e "$dir/marlett.ttf" ] || ln -sf "$font" "$dir/marlett.ttf"
}

# Creates the project's Wine prefix once. Call with the lock held and quovar_wine_env applied.
quovar_make_prefix() {
  # The marker names the prefix's version: a prefix made by an older version of this function
  # (without the unmanaged windows, say) is made again.
  local marker="$WINEPREFIX/.quovar-ready-3" log="$QUOVAR_BUILD/wineprefix-setup.log"
  if [ -f "$marker" ]; then
    quovar_link_caption_font
    return 0
  fi
  if [ -d "$WINEPREFIX" ]; then
    quovar_say "setup: Wine prefix $WINEPREFIX is incomplete; making it again"
    "$QUOVAR_WINESERVER" -k >/dev/null 2>&1 9>&- || true
    rm -rf "$WINEPREFIX"
  fi
  quovar_say "setup: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  : >"$log"
  quovar_spawn_wineserver || true
  if ! quovar_wine wineboot -i >>"$log" 2>&1 </dev/null 9>&-; then
    quovar_say "setup: wineboot failed; see $log"
    return 1
  fi
  quovar_font_reg | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } \
    >"$WINEPREFIX/drive_c/quovar-fonts.reg"
  if ! quovar_wine regedit /S 'C:\quovar-fonts.reg' >>"$log" 2>&1 </dev/null 9>&-; then
    quovar_say "setup: adding the font replacements failed; see $log"
    return 1
  fi
  rm -f "$WINEPREFIX/drive_c/quovar-fonts.reg"
  quovar_link_caption_font
  # Stopping the server writes the registry out to user.reg, where we check the replacements.
  "$QUOVAR_WINESERVER" -k >/dev/null 2>&1 9>&- || true
  for _ in $(seq 50); do
    grep -qF '"MS UI Gothic"="IPAPGothic"' "$WINEPREFIX/user.reg" 2>/dev/null && break
    sleep 0.1
  done
  # "ＭＳ Ｐゴシック" as Wine writes it in user.reg.
  if ! grep -qF '"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"="IPAPGothic"' "$WINEPREFIX/user.reg" ||
    ! grep -qF '"MS UI Gothic"="IPAPGothic"' "$WINEPREFIX/user.reg" ||
    ! grep -qF '"Managed"="N"' "$WINEPREFIX/user.reg" ||
    ! grep -qF '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
    quovar_say "setup: the font replacements, the unmanaged windows or the crash setting are not in $WINEPREFIX/user.reg"
    return 1
  fi
  touch "$marker"
}

# Makes the prefix if needed, under the lock so that parallel callers do not race.
quovar_prepare_prefix() {
  quovar_wine_env
  quovar_lock
  local rc=0
  quovar_make_prefix || rc=$?
  quovar_unlock
  return "$rc"
}

quovar_xvfb_alive() { # DISPLAY_NUMBER PID
  local n="$1" pid="$2"
  [ -n "$n" ] && [ -n "$pid" ] || return 1
  [ -S "/tmp/.X11-unix/X$n" ] || return 1
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]
}

# Starts an Xvfb on the first free display from :90 on, detached from our output and not our
# child, and prints "NUMBER PID" once it accepts connections. Call with the lock held, so that
# two of our own callers never try the same number.
quovar_start_xvfb() { # SCREEN_GEOMETRY
  local geometry="$1" n pid started
  for n in $(seq 90 189); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # Without job control the child is no group leader, so setsid runs Xvfb in place and $! is
    # the server itself.
    started=$(setsid Xvfb ":$n" -screen 0 "$geometry" -nolisten tcp -noreset \
      </dev/null >/dev/null 2>&1 9>&- & echo $!)
    for _ in $(seq 100); do
      if [ -S "/tmp/.X11-unix/X$n" ] && [ -s "/tmp/.X$n-lock" ]; then
        pid=$(tr -d ' \n' <"/tmp/.X$n-lock")
        # The display is ours only when the server holding it is the one we started.
        if [ "$pid" = "$started" ] && quovar_xvfb_alive "$n" "$pid"; then
          printf '%s %s\n' "$n" "$pid"
          return 0
        fi
      fi
      [ -d "/proc/$started" ] || break
      sleep 0.1
    done
    # Another X server took the number first, or ours failed: try the next.
    [ -d "/proc/$started" ] && quovar_stop_xvfb_pid "$started"
  done
  quovar_say "could not start Xvfb"
  return 1
}

quovar_stop_xvfb_pid() { # PID
  local pid="$1"
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 30); do
    [ -d "/proc/$pid" ] || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

# Exports DISPLAY: the one set already, else the shared Xvfb recorded in build/, else a new one
# that is recorded there for later callers. Takes the lock itself.
quovar_ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  quovar_lock
  local n="" pid="" started rc=0
  n=$(cat "$QUOVAR_BUILD/xvfb.display" 2>/dev/null || true)
  pid=$(cat "$QUOVAR_BUILD/xvfb.pid" 2>/dev/null || true)
  if ! quovar_xvfb_alive "$n" "$pid"; then
    if started=$(quovar_start_xvfb 1280x1024x24); then
      read -r n pid <<<"$started"
      printf '%s\n' "$n" >"$QUOVAR_BUILD/xvfb.display"
      printf '%s\n' "$pid" >"$QUOVAR_BUILD/xvfb.pid"
    else
      rc=1
    fi
  fi
  quovar_unlock
  [ "$rc" -eq 0 ] || return 1
  export DISPLAY=":$n"
}

# Stops the shared Xvfb recorded in build/, if it still runs.
quovar_stop_shared_xvfb() {
  local pid
  pid=$(cat "$QUOVAR_BUILD/xvfb.pid" 2>/dev/null || true)
  [ -n "$pid" ] && quovar_stop_xvfb_pid "$pid"
  rm -f "$QUOVAR_BUILD/xvfb.pid" "$QUOVAR_BUILD/xvfb.display"
}

# The compiler pair for the native sanitizer build: clang when it can turn string literals into
# code page 932 like the Windows build does, g++ otherwise (clang 14 only knows UTF-8 there).
quovar_native_compilers() {
  local probe
  probe=$(mktemp -d)
  printf 'const char* s = "\xe5\xa0\xb1";\n' >"$probe/p.cpp"
  if clang++ -finput-charset=UTF-8 -fexec-charset=CP932 -c "$probe/p.cpp" -o "$probe/p.o" \
    >/dev/null 2>&1; then
    echo "clang clang++"
  else
    echo "gcc g++"
  fi
  rm -rf "$probe"
}

# Configures one of the four builds when it has not been configured yet:
#   win64   the x86_64 programs and tests, run here under the 64-bit Wine;
#   win32   the i686 programs that users get (build/win32/dist) and every test program, built on
#           every machine so that a fault of the shipped architecture shows everywhere; only
#           running them depends on the kernel (quovar_can_run_32bit);
#   native  the platform-free rules with the host compiler under ASan and UBSan;
#   fuzz    libFuzzer targets for the same rules, a project of its own in fuzz/ built by clang.
quovar_configure() { # NAME
  local name="$1" dir="$QUOVAR_BUILD/$1" cc cxx src="$QUOVAR_ROOT"
  local -a args=(-G Ninja -B "$dir")
  case "$name" in
    win64) args+=(-DCMAKE_TOOLCHAIN_FILE="$QUOVAR_ROOT/cmake/mingw.cmake" -DQUOVAR_ARCH=x86_64) ;;
    win32)
      args+=(-DCMAKE_TOOLCHAIN_FILE="$QUOVAR_ROOT/cmake/mingw.cmake" -DQUOVAR_ARCH=i686
        -DQUOVAR_TESTS=ON)
      ;;
    native)
      read -r cc cxx <<<"$(quovar_native_compilers)"
      args+=(-DQUOVAR_NATIVE=ON -DCMAKE_BUILD_TYPE=Debug
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx"
        "-DCMAKE_C_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all"
        "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all"
        "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined")
      ;;
    fuzz)
      # Without the main project's code page 932 flags, which clang refuses (see fuzz/CMakeLists.txt).
      src="$QUOVAR_ROOT/fuzz"
      args+=(-DCMAKE_CXX_COMPILER=clang++)
      ;;
    *)
      quovar_say "unknown build $name"
      return 2
      ;;
  esac
  if [ -f "$dir/build.ninja" ]; then
    # Earlier versions of this script built the 32-bit tests only where they could run.
    if [ "$name" = win32 ] &&
      ! grep -qx "QUOVAR_TESTS:BOOL=ON" "$dir/CMakeCache.txt" 2>/dev/null; then
      cmake "$dir" -DQUOVAR_TESTS=ON
    fi
    return 0
  fi
  cmake -S "$src" "${args[@]}"
}

quovar_build() { # NAME [TARGET...]
  local name="$1"
  shift
  local -a targets=()
  [ "$#" -gt 0 ] && targets=(--target "$@")
  cmake --build "$QUOVAR_BUILD/$name" -j2 "${targets[@]}"
}
