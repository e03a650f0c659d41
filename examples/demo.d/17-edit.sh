# Keeping a document whole: kavrixml edit changes a value of a commented
# settings file and leaves every other byte alone (the diff is one line),
# and XPath reads mixed content in document order.
set -euo pipefail
source "$(dirname "$0")/common.bash"
copy=$(mktemp -d)/editor.xml
trap 'rm -rf "$(dirname "$copy")"' EXIT
cp xml/editor.xml "$copy"
echo "\$ kavrixml edit -L -u '//font/@size' -v 14 editor.xml"
"$tool" edit -L -u "//font/@size" -v 14 "$copy"
echo "\$ diff -u xml/editor.xml editor.xml"
diff -u --label before --label after xml/editor.xml "$copy" || true
echo
run edit -s //recent -t elem -n file -v /home/ana/new.txt -u //recent/@limit -v 4 xml/editor.xml
run xpath "string(//p[1])" xml/article.xml
run xpath "count(//comment())" xml/article.xml
run format xml/article.xml
