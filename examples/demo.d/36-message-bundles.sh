# A bundle of messages: texts.xml says format="messageformat", and each text
# is formatted with named arguments in the chosen language.
set -euo pipefail
source "$(dirname "$0")/common.bash"
run i18n --lang de --arg name=Ada --arg gender=female --arg count=1234 i18n/messages/texts.xml shared
run i18n --lang ru --arg free=1234.56 --arg total=2000 i18n/messages/texts.xml space
for n in 1 5 22; do
    run i18n --lang ru --arg count=$n i18n/messages/texts.xml photos
done
# The Russian translation of "photos" has no variant for few: 22 fell to *
# above ("22 фотографий"), and the check names the numbers that do.
echo "\$ kavrixml i18n-check i18n/messages/texts.xml"
"$tool" i18n-check i18n/messages/texts.xml || echo "exit status $?"
echo
