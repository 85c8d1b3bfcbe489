#!/usr/bin/env bash
# Debian's qt6-base source package of the version of the Qt host tools installed here (the
# source the Windows Qt kit is built from, and which ships beside the Windows zip): fetched
# once into the cache, its folder printed.
set -euo pipefail
cd "$(dirname "$0")/.."
exec bash scripts/debian-source.sh qt6-base "$(dpkg-query -W -f='${Version}' qt6-base-dev)"
