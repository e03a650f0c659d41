#!/usr/bin/env bash
# Installs the Debian packages that a build needs, when they are missing.
#   scripts/install-deps.sh [base|bench|fuzz|tsan|cldr]...
# Nothing missing: nothing to do, for any user. As root it installs what is
# missing with apt-get. Otherwise, and on a system without dpkg, it says which
# packages the build needs and goes on: CMake then looks for them itself and
# names what it cannot find.
set -euo pipefail

packages_for() {
    case "$1" in
        base) echo "g++ make cmake pkg-config libgtest-dev nlohmann-json3-dev clang-format gettext libxml2-utils" ;;
        bench) echo "libbenchmark-dev libpugixml-dev libtinyxml2-dev libxml2-dev libxml2-utils libexpat1-dev librapidxml-dev gnuplot-nox xkb-data iso-codes shared-mime-info python3 util-linux libicu-dev xmlstarlet" ;;
        fuzz) echo "clang-14 libclang-rt-14-dev libexpat1-dev libxml2-dev" ;;
        tsan) echo "" ;;
        cldr) echo "unicode-cldr-core" ;;
        *) echo "unknown package group: $1" >&2; exit 2 ;;
    esac
}

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base)
wanted=()
for group in "${groups[@]}"; do
    for pkg in $(packages_for "$group"); do
        wanted+=("$pkg")
    done
done
[ ${#wanted[@]} -gt 0 ] || exit 0

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "No dpkg on this system: cannot check packages. This build needs the" >&2
    echo "equivalents of the Debian packages: ${wanted[*]}" >&2
    echo "Going on; CMake looks for them and names what it cannot find." >&2
    exit 0
fi

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    echo "Going on; CMake looks for them and names what it cannot find." >&2
    exit 0
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
