# Sourced by every step of the demo (not a step itself: demo.sh runs *.sh).
# `tool` is the step's first argument; `run` shows a command as a user would
# type it (words with blanks quoted), runs it and leaves a blank line.
tool=$1
run() {
    local shown=""
    for word in "$@"; do
        [[ $word == *" "* ]] && word="'$word'"
        shown+=" $word"
    done
    echo "\$ kavrixml$shown"
    "$tool" "$@"
    echo
}
