# XML as it is found in files: other encodings, DOCTYPEs with SYSTEM
# identifiers and internal subsets, processing instructions. check reads as
# the library does by default (strictly) and says when --lenient would help;
# format, find and dump read leniently.
set -euo pipefail
source "$(dirname "$0")/common.bash"
echo "\$ kavrixml check xml/latin1.xml xml/utf16.xml xml/system-doctype.svg xml/entities.xml xml/instructions.xml"
"$tool" check xml/latin1.xml xml/utf16.xml xml/system-doctype.svg xml/entities.xml \
    xml/instructions.xml 2>&1 || echo "exit status $?"
echo
run check -v --lenient xml/latin1.xml xml/utf16.xml xml/system-doctype.svg xml/entities.xml \
    xml/instructions.xml
run format xml/latin1.xml
run format --compact --no-declaration xml/utf16.xml
echo
run find path xml/system-doctype.svg
run format xml/entities.xml
run format xml/instructions.xml
