#!/usr/bin/env bash
# Installs what tarn needs on Debian 12.
#
#   scripts/setup.sh run    what building and running tarn needs (make run)
#   scripts/setup.sh test   that, plus what the tests and benchmarks need
#                           (make test; the default)
#
# Idempotent: installs only the packages that are missing, and runs
# apt-get update only when something must be installed. Then brings the
# pages' front-end libraries (web/node_modules) up to date with the lock file.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-test}
case "$what" in
  run|test) ;;
  *) echo "usage: scripts/setup.sh [run|test]" >&2; exit 2 ;;
esac

# Building and running tarn.
run_packages=(
  build-essential cmake pkg-config git ca-certificates
  libpcre2-dev libglib2.0-dev libcurl4-openssl-dev libsoup-3.0-dev libssl-dev
  # the pages' render memo: xxHash, its header only
  libxxhash-dev
  libjavascriptcoregtk-4.1-dev libwebkit2gtk-4.1-dev libgtk-3-dev
  libkeybinder-3.0-dev libayatana-appindicator3-dev libnotify-dev
  # post front matter
  libyaml-cpp-dev libtomlplusplus-dev
  # tarn check reads the generated pages with libxml2's HTML parser
  libxml2-dev
  # the image pipeline: libvips, whose libheif writes AVIF
  libvips-dev libheif1
  # static/ images published without their metadata, pixels untouched
  libexiv2-dev
  # the message catalogues: msgfmt compiles po/*.po, xgettext takes tarn.pot
  gettext
  # the pages' libraries come from npm
  nodejs npm
  # make package: dpkg-shlibdeps finds the .deb's library dependencies
  dpkg-dev
)

# What the tests and benchmarks add.
test_packages=(
  libgtest-dev googletest
  # a display server, input, screenshots, a feed check, fonts, the drag source
  xvfb xauth xdotool imagemagick libxml2-utils python3 python3-gi gir1.2-gtk-3.0
  fonts-noto-cjk dbus-x11
  # a window manager, which grants the editor's focus mode its full screen,
  # and the tools that tell when it has taken a window in
  openbox x11-utils
  # the editor's spell checking in English (enchant's Hunspell dictionaries)
  hunspell-en-us
  # the program in English and Chinese: gettext translates only in a
  # generated locale (see test_locales below)
  locales
  # the installed copy's checks: the desktop's validators, the man page
  # reader, the completion framework
  desktop-file-utils appstream man-db bash-completion
  # fuzzing replays the corpus with clang's sanitizers (fuzz/build.sh)
  clang libclang-rt-14-dev
  # benchmarks
  nlohmann-json3-dev hugo time
  # the pages' browser tests, and the Nu HTML checker's Java runtime
  chromium default-jre-headless
  # the feeds test reads every feed the build writes as readers do
  python3-feedparser
  # the image tests read back the metadata of every published photo
  libimage-exiftool-perl
  # the publish targets' test: rsync over an sshd of its own, rclone into
  # SFTP and WebDAV folders
  rsync rclone openssh-server openssh-client
)

packages=("${run_packages[@]}")
[[ $what == test ]] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# A machine that brings its own node (not Debian's) needs no nodejs/npm package.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=()
  for p in "${missing[@]+"${missing[@]}"}"; do
    [[ "$p" == nodejs || "$p" == npm ]] || filtered+=("$p")
  done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi

SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO=sudo
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The locales the tests switch the program's language with.
test_locales=(en_US.UTF-8 zh_CN.UTF-8)
if [[ $what == test ]]; then
  ungenerated=()
  for l in "${test_locales[@]}"; do
    # locale -a spells en_US.UTF-8 as en_US.utf8
    locale -a 2>/dev/null | grep -qix "${l%.UTF-8}.utf8" || ungenerated+=("$l")
  done
  if ((${#ungenerated[@]})); then
    echo "setup: generating the locales ${ungenerated[*]}"
    for l in "${ungenerated[@]}"; do
      grep -qx "$l UTF-8" /etc/locale.gen ||
        echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    done
    $SUDO locale-gen >/dev/null
  fi
fi

# The pages' libraries; for the tests also the S3 server the publish
# targets' test sends to (tests/s3).
npm_folders=(web)
[[ $what == test ]] && npm_folders+=(tests/s3)
for folder in "${npm_folders[@]}"; do
  [[ -f $folder/package-lock.json ]] || continue
  stamp=$folder/node_modules/.tarn-stamp
  if [[ ! -f $stamp || $folder/package-lock.json -nt $stamp ]]; then
    (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error)
    touch "$stamp"
  fi
done
