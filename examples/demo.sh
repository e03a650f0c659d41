#!/usr/bin/env bash
# `make run`: shows the kavrixml tool at work on the sample data of this folder.
# Every script in examples/demo.d runs in name order with the tool's path.
set -euo pipefail
tool=${1:?usage: examples/demo.sh PATH_TO_KAVRIXML}
# The steps run inside this folder: make the tool's path absolute first.
case "$tool" in /*) ;; *) tool="$(pwd)/$tool" ;; esac
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
for step in demo.d/*.sh; do
    [ -e "$step" ] || continue
    bash "$step" "$tool"
done
