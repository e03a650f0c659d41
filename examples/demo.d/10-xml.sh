# Reading and writing XML: check, format (tidy and compact), find and dump.
set -euo pipefail
source "$(dirname "$0")/common.bash"
run check -v xml/catalogue.xml xml/settings.xml
run format xml/settings.xml
run format --compact --no-declaration xml/settings.xml
echo   # the compact form ends without a line break
run find book xml/catalogue.xml
echo "\$ kavrixml dump xml/settings.xml   (the picture goes to standard error)"
"$tool" dump xml/settings.xml 2>&1
echo
echo "\$ printf '<a><b></a>' | kavrixml check -   (a malformed document: exit status 1)"
printf '<a><b></a>' | "$tool" check - 2>&1 || echo "exit status $?"
echo
