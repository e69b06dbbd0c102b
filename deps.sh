#!/usr/bin/env bash
# Installs the Debian packages the editor, its tests and its look checks need,
# only when one is missing. Sourced by run.sh, test.sh and bench.sh.
set -euo pipefail
# desktop-file-utils and appstream check the menu entry and metadata, dpkg-dev
# gives the .deb its library dependencies (tests install_tree, deb_package);
# libtidy-dev checks pages; libhunspell-dev checks spelling, with the
# hunspell-en-us dictionary; libuchardet-dev guesses undeclared charsets;
# qt6-webengine-dev shows the preview, in the helper process that
# libqt6webenginecore6-bin holds; default-jre-headless runs the conformance
# checker, whose jar npm fetches (tagloom_install_checker).
TAGLOOM_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libgl-dev libtidy-dev zlib1g-dev libhunspell-dev hunspell-en-us libuchardet-dev pkg-config qt6-webengine-dev libqt6webenginecore6-bin fonts-liberation2 fontconfig desktop-file-utils appstream dpkg-dev
  default-jre-headless)
# The checker's jar: this version of the npm package, kept in .deps/ of the
# source tree, where CMake looks for it (TAGLOOM_VNU_JAR).
TAGLOOM_VNU_VERSION=26.10.12
TAGLOOM_VNU_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/.deps/vnu-jar-$TAGLOOM_VNU_VERSION"
TAGLOOM_VNU_JAR="$TAGLOOM_VNU_DIR/node_modules/vnu-jar/build/dist/vnu.jar"
# The test path's own checks: clang-format holds changed lines to the style
# (.ci/check-format.sh).
TAGLOOM_TEST_PACKAGES=(clang-format)
tagloom_install_missing() {
  local missing=()
  for p in "${TAGLOOM_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # npm only fetches the checker's jar; a Node.js from elsewhere brings its
  # own, which Debian's would clash with.
  [ -f "$TAGLOOM_VNU_JAR" ] || command -v npm >/dev/null || missing+=(npm)
  tagloom_apt_install "${missing[@]}"
  tagloom_install_checker
}
tagloom_apt_install() {
  local missing=("$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Missing packages: ${missing[*]}; run as root or install sudo" >&2; exit 1; }
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
tagloom_install_checker() {
  [ -f "$TAGLOOM_VNU_JAR" ] && return 0
  echo "Installing: vnu-jar $TAGLOOM_VNU_VERSION (npm)"
  # No install scripts: the package's own one would fetch a Java runtime.
  npm install --prefix "$TAGLOOM_VNU_DIR" --no-save --no-audit --no-fund --ignore-scripts \
    "vnu-jar@$TAGLOOM_VNU_VERSION"
}
