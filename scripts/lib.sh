# Shared by the project's scripts: installs the Debian packages a step needs, once.
# Sourced, not run.

tethra_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# as_root CMD...: runs CMD as root (directly when we are root, else through sudo).
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# need_packages PKG...: installs the packages that are not installed yet.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

native_packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev)
windows_packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 xvfb xauth)

jobs() { nproc 2>/dev/null || echo 2; }
