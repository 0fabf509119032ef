# Shared by the project's scripts: installs the Debian packages a step needs, once, and checks
# that every command the step calls is then there. Sourced, not run.

tethra_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# as_root CMD...: runs CMD as root (directly when we are root, else through sudo).
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "error: installing packages needs root, and sudo is not installed: run this as root" >&2
    return 1
  fi
}

# need_packages PKG...: installs the packages that are not installed yet (after apt-get update,
# so that a fresh machine's empty package lists never make the install fail).
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq ||
      { echo "error: apt-get update failed" >&2; return 1; }
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
      { echo "error: apt-get install failed for: ${missing[*]}" >&2; return 1; }
  fi
}

# need_commands CMD=PKG...: fails, naming each missing command and the package that provides
# it, unless every CMD is on PATH. Run after need_packages: a package can install without the
# command a script calls (wine64 alone brings no `wine`).
need_commands() {
  local entry missing=0
  for entry in "$@"; do
    command -v "${entry%%=*}" >/dev/null && continue
    echo "error: command ${entry%%=*} not found; it comes with the Debian package ${entry#*=}" >&2
    missing=1
  done
  return "$missing"
}

# need NAME...: the packages of each named step ("native", "windows"), then their commands.
need() {
  local step pkgs=() cmds=()
  for step in "$@"; do
    local -n step_pkgs="${step}_packages" step_cmds="${step}_commands"
    pkgs+=("${step_pkgs[@]}")
    cmds+=("${step_cmds[@]}")
    unset -n step_pkgs step_cmds
  done
  need_packages "${pkgs[@]}" && need_commands "${cmds[@]}"
}

# The Linux build and its tests (ctest runs bash scripts and the GoogleTest binaries).
native_packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev)
native_commands=(cmake=cmake ctest=cmake make=make g++=g++ c++=g++ timeout=coreutils
                 nproc=coreutils sed=sed grep=grep awk=mawk)

# The Windows cross-build (cmake/mingw-w64-x86_64.cmake), its checks, and the Wine runs
# (tests/wine/run-wine-tests; xvfb-run itself calls Xvfb, xauth, mcookie and getopt;
# scripts/run-wine holds the wall clock at the simulated notebook's start with faketime).
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                  wine wine64 xvfb xauth faketime)
windows_commands=(x86_64-w64-mingw32-g++-posix=g++-mingw-w64-x86-64-posix
                  x86_64-w64-mingw32-g++=g++-mingw-w64-x86-64-posix
                  x86_64-w64-mingw32-gcc-posix=gcc-mingw-w64-x86-64-posix
                  x86_64-w64-mingw32-windres=binutils-mingw-w64-x86-64
                  x86_64-w64-mingw32-objdump=binutils-mingw-w64-x86-64
                  x86_64-w64-mingw32-strip=binutils-mingw-w64-x86-64
                  wine=wine wineboot=wine wineserver=wine
                  xvfb-run=xvfb Xvfb=xvfb xauth=xauth mcookie=util-linux getopt=util-linux
                  mktemp=coreutils stat=coreutils faketime=faketime)

jobs() { nproc 2>/dev/null || echo 2; }
