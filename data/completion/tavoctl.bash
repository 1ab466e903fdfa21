# bash completion for tavoctl.
# Commands, their words and options are read from the program's own usage (`tavoctl --help`,
# `tavoctl help COMMAND`), so they follow the tavoctl that is run; BOX is completed with the
# signed-in account's box ids and names (`tavoctl devices --json`).

# The first word of each alternative of each usage line: the commands, --help and --version.
_tavoctl_commands() {
    "$1" --help 2>/dev/null | awk '
        /^(usage:)? +tavoctl / {
            sub(/^(usage:)? +tavoctl /, "")
            n = split($0, alt, / \| /)
            for (i = 1; i <= n; i++) { split(alt[i], w, " "); print w[1] }
        }'
}

# Box ids and names, one a line. The listing is indented four spaces a level, so the records'
# own fields are the ones at eight (a relay's name is deeper). A cloud that does not answer
# soon gives no names rather than a stuck prompt.
_tavoctl_boxes() {
    timeout 5 "$1" devices --json 2>/dev/null |
        sed -n -e 's/^        "id": *\([0-9][0-9]*\),\{0,1\}$/\1/p' \
            -e 's/^        "name": *"\(.*\)",\{0,1\}$/\1/p' |
        sed -e 's/\\"/"/g' -e 's/\\\\/\\/g'
}

# What may come at positional argument N+1 of a command, given its usage and the N words typed
# (separated by \034): the literal words of the alternatives that still fit, or @BOX.
_tavoctl_next() {
    awk -v typed="$2" '
        function fits(token, word,   piece, n, j) {
            if (token ~ /^[A-Z]/) return 1
            n = split(token, piece, "|")
            for (j = 1; j <= n; j++) if (piece[j] == word) return 1
            return 0
        }
        BEGIN { typedCount = typed == "" ? 0 : split(typed, word, "\034") }
        {
            alts = split($0, alt, / \| /)
            for (a = 1; a <= alts; a++) {
                line = alt[a]
                gsub(/\[[^[]*\]/, "", line)
                split(line, token, " ") # token[1] is the command
                ok = 1
                for (i = 1; i <= typedCount && ok; i++) {
                    if (token[i + 1] ~ /\.\.\.$/) ok = 0  # free text from here on
                    else if (token[i + 1] == "" || !fits(token[i + 1], word[i])) ok = 0
                }
                if (!ok) continue
                next_token = token[typedCount + 2]
                if (next_token == "BOX") print "@BOX"
                else if (next_token ~ /^[a-z]/) {
                    n = split(next_token, piece, "|")
                    for (j = 1; j <= n; j++) print piece[j]
                }
            }
        }' <<<"$1"
}

_tavoctl() {
    local prog=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$(_tavoctl_commands "$prog")" -- "$cur")
        return
    fi
    local usage
    usage=$("$prog" help "${COMP_WORDS[1]}" 2>/dev/null | sed -n 's/^usage: tavoctl //p')
    [ -n "$usage" ] || return

    # An option's value: a file for WAV, nothing to guess otherwise.
    local value
    value=$(grep -o -- "$prev [A-Z][A-Z0-9,]*" <<<"$usage" | head -n 1)
    if [[ $prev == --* && -n $value ]]; then
        [[ ${value#* } == WAV ]] && mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    local options
    options=$(grep -o -- '--[a-z][a-z-]*' <<<"$usage" | sort -u)
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    # The positional words typed so far, without the options and their values.
    local typed="" i word
    for ((i = 2; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == --* ]]; then
            grep -q -- "$word [A-Z]" <<<"$usage" && ((i++))
            continue
        fi
        typed+="${typed:+$'\034'}${word//\\/}"
    done

    local candidates=() line
    while IFS= read -r line; do
        if [[ $line == @BOX ]]; then
            mapfile -t -O "${#candidates[@]}" candidates < <(_tavoctl_boxes "$prog")
        elif [ -n "$line" ]; then
            candidates+=("$line")
        fi
    done < <(_tavoctl_next "$usage" "$typed")
    ((${#candidates[@]})) || candidates=($options)

    # Names may hold spaces: match what was typed without its quoting, offer them quoted.
    local bare=${cur//\\/} quoted
    bare=${bare#[\"\']}
    for line in "${candidates[@]}"; do
        [[ $line == "$bare"* ]] || continue
        printf -v quoted '%q' "$line"
        COMPREPLY+=("$quoted")
    done
}
complete -F _tavoctl tavoctl
