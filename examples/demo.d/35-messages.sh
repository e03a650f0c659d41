# Messages that choose their own words: MessageFormat 2 with kavrixml message.
set -euo pipefail
source "$(dirname "$0")/common.bash"
shared='.input {$gender :string} .input {$count :integer}
.match $gender $count
female one {{{$name} shared {$count} photo with you: hers.}}
female *   {{{$name} shared {$count} photos with you: hers.}}
*      one {{{$name} shared {$count} photo with you.}}
*      *   {{{$name} shared {$count} photos with you.}}'
run message --bidi-isolation none --arg name=Ada --arg gender=female --arg count=1 "$shared"
run message --bidi-isolation none --arg name=Bo --arg gender=male --arg count=1234 "$shared"
run message --locale de --bidi-isolation none --arg n=1234567.5 'Summe: {$n :number} ({0.256 :percent maximumFractionDigits=1})'
files='.input {$n :integer} .match $n one {{{$n} файл}} few {{{$n} файла}} * {{{$n} файлов}}'
for n in 1 3 22 25; do
    run message --locale ru --bidi-isolation none --arg n=$n "$files"
done
run message --locale ar-EG --arg n=1234567.5 'المجموع {$n :number}'
run message --locale hi --bidi-isolation none --arg n=1234567.5 '{$n :number} = {$n :currency currency=INR}'
run message --json --parts --bidi-isolation none --arg who=Ada --arg count=3 'Hello {#b}{$who}{/b}, you have {$count :integer} messages'
echo "\$ kavrixml message 'Hello {\$who}'   (no argument who: the fallback, exit status 1)"
"$tool" message --bidi-isolation none 'Hello {$who}' 2>&1 || echo "exit status $?"
echo
echo "\$ kavrixml message '.match \$x * {{}}'   (a data model error: exit status 2)"
"$tool" message '.match $x * {{}}' 2>&1 || echo "exit status $?"
echo
