# Asking questions of a document: XPath 1.0 with kavrixml xpath.
set -euo pipefail
source "$(dirname "$0")/common.bash"
run xpath "//book[@id='b002']/title/text()" xml/catalogue.xml
run xpath "//*[copies/@available = 0]/@id" xml/catalogue.xml
run xpath "count(//book[published/@year < 1900])" xml/catalogue.xml
run xpath "sum(//copies/@total) - sum(//copies/@available)" xml/catalogue.xml
run xpath "//window[@width > 800]" xml/settings.xml
run xpath 'concat(name(/*), ": ", string-length(//shortcuts))' xml/settings.xml
echo "\$ kavrixml xpath '//book[@id=]' xml/catalogue.xml   (does not compile: exit status 2)"
"$tool" xpath "//book[@id=]" xml/catalogue.xml 2>&1 || echo "exit status $?"
echo
