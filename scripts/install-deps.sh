#!/usr/bin/env bash
# Installs the Debian packages that a build needs, when they are missing.
#   scripts/install-deps.sh [base|bench|fuzz]...
# As root it runs apt-get; otherwise it prints the one line to run and fails.
set -euo pipefail

packages_for() {
    case "$1" in
        base) echo "g++ make cmake pkg-config libgtest-dev nlohmann-json3-dev" ;;
        bench) echo "libbenchmark-dev libpugixml-dev libtinyxml2-dev libxml2-dev libexpat1-dev librapidxml-dev gnuplot-nox xkb-data iso-codes shared-mime-info python3 util-linux" ;;
        fuzz) echo "clang-14 libclang-rt-14-dev" ;;
        tsan) echo "" ;;
        *) echo "unknown package group: $1" >&2; exit 2 ;;
    esac
}

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base)
missing=()
for group in "${groups[@]}"; do
    for pkg in $(packages_for "$group"); do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
        [ "$status" = "install ok installed" ] || missing+=("$pkg")
    done
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
