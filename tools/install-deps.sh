#!/bin/bash
# Installs what building, running and testing TARN needs on Debian (as root).
# Does nothing when everything is present already. Wine's 32-bit part is
# installed only where the machine can execute 32-bit programs (or TARN_ARCH
# asks for them); both programs are built everywhere.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
need=()
have() { command -v "$1" >/dev/null 2>&1; }
# Both thread models of both cross compilers: the test programs use posix,
# tarn.exe win32.
for arch in i686 x86_64; do
  have $arch-w64-mingw32-g++-posix && have $arch-w64-mingw32-g++-win32 || need+=(g++-mingw-w64-${arch/_/-})
done
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
have lftp || need+=(lftp)   # the small-files benchmark's comparison (mirror)
# The command-line fetch test runs an FTP server on port 21 in a network
# namespace of its own (tests/servers/netns-fetch).
have unshare || need+=(util-linux)
have ip || [ -x /usr/sbin/ip ] || need+=(iproute2)
python3 -c 'import pyftpdlib' 2>/dev/null || [ -d /usr/lib/python3/dist-packages/pyftpdlib ] || need+=(python3-pyftpdlib)
# FTPS: the test servers make their certificates with openssl, and
# pyftpdlib's TLS handler needs pyOpenSSL; Wine's Schannel is GnuTLS, which
# libwine only recommends.
have openssl || need+=(openssl)
/usr/bin/python3 -c 'import OpenSSL' 2>/dev/null || need+=(python3-openssl)
dpkg -s libgnutls30 >/dev/null 2>&1 || need+=(libgnutls30)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have wine && have wineserver || need+=(wine)
i386=no
if "$root/tools/test-archs" 2>/dev/null | grep -qx i686; then
  i386=yes
  [ -x /usr/lib/wine/wine ] || dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
fi
fc-list 2>/dev/null | grep -qi ipa || need+=(fonts-ipafont-gothic)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  [ $i386 = no ] || dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi
# The Japanese user locale, for looking at the Japanese resources under Wine.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  command -v localedef >/dev/null || { apt-get update -q; DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends locales; }
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 || true
fi
