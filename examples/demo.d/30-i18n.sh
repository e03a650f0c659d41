# Localisation: the sample photo library's texts in three languages, from
# XML and from JSON files, and the translators' check.
set -euo pipefail
source "$(dirname "$0")/common.bash"

run i18n i18n/xml/texts.xml
for lang in en de fr; do
    run i18n --lang "$lang" i18n/xml/texts.xml
    run i18n --lang "$lang" i18n/xml/texts.xml app_title
    run i18n --lang "$lang" i18n/xml/texts.xml welcome Ada
    run i18n --lang "$lang" i18n/xml/texts.xml confirm_delete "Summer 2024"
    run i18n --lang "$lang" i18n/json/texts.json photo_taken 2024-07-14 "Leica Q2"
done
# Not available: the manager falls back to "en".
run i18n --lang it i18n/json/texts.json menu_quit

run i18n-check i18n/xml/texts.xml
run i18n-check i18n/json/texts.json

# A sample with one planted fault of each kind: the check lists them and
# exits with 1.
echo "\$ kavrixml i18n-check i18n/broken/texts.xml"
status=0
"$tool" i18n-check i18n/broken/texts.xml || status=$?
echo "(exit status $status)"
echo

# Plural forms by each language's own rules (CLDR): English has two forms,
# Russian three for whole numbers, Arabic six. The count picks the form.
for lang in en ru ar; do
    for count in 0 1 2 5 22; do
        run i18n --lang "$lang" --count "$count" i18n/plural/texts.xml photos
    done
    run i18n --lang "$lang" --count 1.5 i18n/plural/texts.xml free
done
run i18n --lang en --count 22 --ordinal i18n/plural/texts.xml rank
run plural ru 1 2 5 21 1.5 1.0
run plural --rules ar
run i18n-check i18n/plural/texts.xml
