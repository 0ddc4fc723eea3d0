#!/usr/bin/env bash
# Installs what building, running and testing tarn needs on Debian 12.
# Idempotent: installs only the packages that are missing, and runs
# apt-get update only when something must be installed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git ca-certificates
  libgtest-dev googletest
  libpcre2-dev libglib2.0-dev libcurl4-openssl-dev libsoup-3.0-dev libssl-dev
  libjavascriptcoregtk-4.1-dev libwebkit2gtk-4.1-dev libgtk-3-dev
  libkeybinder-3.0-dev libayatana-appindicator3-dev libnotify-dev
  # post front matter
  libyaml-cpp-dev libtomlplusplus-dev
  nodejs npm
  # tests: a display server, input, screenshots, a feed check, fonts
  xvfb xauth xdotool imagemagick libxml2-utils python3 fonts-noto-cjk dbus-x11
  # fuzzing replays the corpus with clang's sanitizers
  clang libclang-rt-14-dev
  # benchmarks
  nlohmann-json3-dev hugo time
  # the pages' browser tests
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# A machine that brings its own node (not Debian's) needs no nodejs/npm package.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=()
  for p in "${missing[@]}"; do
    [[ "$p" == nodejs || "$p" == npm ]] || filtered+=("$p")
  done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [[ -f web/package-lock.json ]]; then
  stamp=web/node_modules/.tarn-stamp
  if [[ ! -f $stamp || web/package-lock.json -nt $stamp ]]; then
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
    touch "$stamp"
  fi
fi
