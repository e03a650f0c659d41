# The tool and what it can do.
set -euo pipefail
tool=$1
echo "\$ kavrixml --version"
"$tool" --version
echo
echo "\$ kavrixml --help"
"$tool" --help
echo
