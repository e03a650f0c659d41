# The translators' round trip: a language's texts out as PO or XLIFF for a
# translation tool, and the translations back in. It works on a copy of the
# XML sample, so that the sample itself stays as it is.
set -euo pipefail
source "$(dirname "$0")/common.bash"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp i18n/xml/texts*.xml "$work"
cd "$work"

# Italian is new: every unit goes out untranslated.
run i18n-export --lang it -o texts_it.po texts.xml
echo "\$ sed -n '/msgctxt \"welcome\"/,+2p;/msgctxt \"album_count\"/,+2p' texts_it.po"
sed -n '/msgctxt "welcome"/,+2p;/msgctxt "album_count"/,+2p' texts_it.po
echo

# The translator fills in two texts; one of them reads its arguments wrongly.
sed -i -e '/msgctxt "welcome"/,+2s/^msgstr ""/msgstr "Bentornato, %s!"/' \
    -e '/msgctxt "album_count"/,+2s/^msgstr ""/msgstr "%s album, %d foto"/' texts_it.po
echo "(translated: welcome, album_count)"
echo
status=0
echo "\$ kavrixml i18n-import --dry-run texts.xml texts_it.po"
"$tool" i18n-import --dry-run texts.xml texts_it.po || status=$?
echo "(exit status $status)"
echo
status=0
echo "\$ kavrixml i18n-import texts.xml texts_it.po"
"$tool" i18n-import texts.xml texts_it.po || status=$?
echo "(exit status $status)"
echo
run i18n --lang it texts.xml welcome Ada

# German as XLIFF: exported and imported unchanged, the file stays as it was.
run i18n-export --lang de -o texts_de.xlf texts.xml
echo "\$ head -4 texts_de.xlf"
head -4 texts_de.xlf
echo
run i18n-import texts.xml texts_de.xlf
