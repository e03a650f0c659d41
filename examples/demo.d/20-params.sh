# Application settings read as parameters: one line per parameter, members
# indented below their complex or list parameter.
set -euo pipefail
tool=$1
echo "\$ kavrixml params params.xml"
"$tool" params params.xml
echo
