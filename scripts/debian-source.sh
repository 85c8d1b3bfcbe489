#!/usr/bin/env bash
# Fetches a Debian source package of bookworm into the cache of the Windows build, once, and
# prints its folder:
#   scripts/debian-source.sh PACKAGE VERSION
#   -> <cache>/PACKAGE-VERSION-source/{PACKAGE_VERSION.dsc, .orig.tar.xz, .debian.tar.xz}
# It goes through a private sources list: /etc stays as it is.
set -euo pipefail
package=${1:?source package}
version=${2:?version}
cache=${COMSETUP_CACHE:-/var/cache/comsetup}
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/comsetup
  mkdir -p "$cache"
fi
store=$cache/$package-$version-source
if [ -f "$store/.complete" ]; then
  echo "$store"
  exit 0
fi
rm -rf "$store"
mkdir -p "$store/apt/lists/partial"
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
# Point releases and security updates carry versions such as 3.40.1-2+deb12u2.
{
  echo "deb-src $mirror bookworm main"
  echo "deb-src $mirror bookworm-updates main"
  echo "deb-src ${mirror%/debian}/debian-security bookworm-security main"
} >"$store/apt/sources.list"
apt_private=(-o Dir::Etc::sourcelist="$store/apt/sources.list" -o Dir::Etc::sourceparts=/nonexistent
  -o Dir::State::Lists="$store/apt/lists" -o APT::Sandbox::User=root)
(
  cd "$store"
  apt-get "${apt_private[@]}" update
  apt-get "${apt_private[@]}" source --download-only "$package=$version"
) >"$store/fetch.log" 2>&1 ||
  { tail -20 "$store/fetch.log" >&2; echo "Could not fetch Debian's $package $version source" >&2; exit 1; }
rm -rf "$store/apt"
touch "$store/.complete"
echo "$store"
