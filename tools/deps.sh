#!/usr/bin/env bash
# Installs the Debian packages Sorowa needs to build, run and test, skipping those present,
# and generates the Japanese locale (ja_JP.UTF-8) that both programs install at start-up.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  locales
  libboost-regex-dev libicu-dev libuchardet-dev libqpdf-dev nlohmann-json3-dev
  libpoppler-cpp-dev libzip-dev libpugixml-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  mecab libmecab-dev mecab-ipadic-utf8
  qt6-base-dev qt6-webengine-dev qt6-translations-l10n fonts-noto-cjk
  xvfb xauth poppler-utils
  debian-reference-ja developers-reference-ja maint-guide-ja debian-policy-ja
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >&2
fi

# A fresh Debian system has only C and POSIX. The line is enabled in /etc/locale.gen rather
# than made with localedef alone, so that a later locale-gen keeps it.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  echo "Generating the locale ja_JP.UTF-8" >&2
  if grep -qE '^# *ja_JP\.UTF-8 UTF-8' /etc/locale.gen; then
    "${sudo[@]}" sed -i -E 's/^# *(ja_JP\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  elif ! grep -qE '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >&2
fi
