#!/usr/bin/env bash
# Fetches Debian's qt6-base source package of the version of the Qt host tools installed here
# (the source the Windows Qt kit is built from, and which ships beside the Windows zip) into
# the cache of scripts/build-qt-windows.sh, once, and prints its folder:
#   <cache>/qt6-base-<version>-source/{qt6-base_<version>.dsc, .orig.tar.xz, .debian.tar.xz}
# It goes through a private sources list: /etc stays as it is.
set -euo pipefail
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
cache=${COMSETUP_CACHE:-/var/cache/comsetup}
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/comsetup
  mkdir -p "$cache"
fi
store=$cache/qt6-base-$version-source
if [ -f "$store/.complete" ]; then
  echo "$store"
  exit 0
fi
rm -rf "$store"
mkdir -p "$store/apt/lists/partial"
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src $mirror bookworm main" >"$store/apt/sources.list"
apt_private=(-o Dir::Etc::sourcelist="$store/apt/sources.list" -o Dir::Etc::sourceparts=/nonexistent
  -o Dir::State::Lists="$store/apt/lists" -o APT::Sandbox::User=root)
(
  cd "$store"
  apt-get "${apt_private[@]}" update
  apt-get "${apt_private[@]}" source --download-only "qt6-base=$version"
) >"$store/fetch.log" 2>&1 ||
  { tail -20 "$store/fetch.log" >&2; echo "Could not fetch Debian's qt6-base $version source" >&2; exit 1; }
rm -rf "$store/apt"
touch "$store/.complete"
echo "$store"
