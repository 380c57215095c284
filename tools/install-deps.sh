#!/bin/bash
# Installs what building, running and testing TARN needs on Debian (as root).
# Does nothing when everything is present already.
set -e
need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686)
have cmake || need+=(cmake)
have make || need+=(make)
have Xvfb || need+=(xvfb)
have xauth || need+=(xauth)
have xvfb-run || need+=(xvfb)
have import || need+=(imagemagick)
have xdpyinfo || need+=(x11-utils)
have vsftpd || [ -x /usr/sbin/vsftpd ] || need+=(vsftpd)
# The test servers' user account (tests/servers/servers).
[ -x /usr/sbin/useradd ] && [ -x /usr/sbin/chpasswd ] || need+=(passwd)
have python3 || need+=(python3)
have curl || need+=(curl)   # the transfer benchmark's comparison
# The command-line fetch test runs an FTP server on port 21 in a network
# namespace of its own (tests/servers/netns-fetch).
have unshare || need+=(util-linux)
have ip || [ -x /usr/sbin/ip ] || need+=(iproute2)
python3 -c 'import pyftpdlib' 2>/dev/null || [ -d /usr/lib/python3/dist-packages/pyftpdlib ] || need+=(python3-pyftpdlib)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/bin/wine ] || dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine wine32:i386)
have wine || need+=(wine)
fc-list 2>/dev/null | grep -qi ipa || need+=(fonts-ipafont-gothic)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi
# The Japanese user locale, for looking at the Japanese resources under Wine.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  command -v localedef >/dev/null || { apt-get update -q; DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends locales; }
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || true
fi
