#!/usr/bin/env bash
# Installs the Debian packages Sorowa needs to build, run and test, skipping those present.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libboost-regex-dev libuchardet-dev libqpdf-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  mecab libmecab-dev mecab-ipadic-utf8
  qt6-base-dev qt6-webengine-dev qt6-translations-l10n fonts-noto-cjk
  xvfb xauth poppler-utils
  debian-reference-ja
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >&2
