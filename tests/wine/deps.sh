#!/usr/bin/env bash
# Installs what run.sh needs on Debian 12, as root: Wine (64-bit only), a
# Japanese font for the dialog, and the ja_JP.UTF-8 locale, without which
# code page 932 is not the active code page under Wine. Does nothing that is
# already in place.
set -euo pipefail

pkgs=()
command -v wine >/dev/null || pkgs+=(wine wine64)
dpkg -s fonts-ipafont-gothic >/dev/null 2>&1 || pkgs+=(fonts-ipafont-gothic)
command -v locale-gen >/dev/null || pkgs+=(locales)
if [ ${#pkgs[@]} -gt 0 ]; then
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${pkgs[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
fi
