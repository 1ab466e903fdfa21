#!/usr/bin/env bash
# The bash completion against the built tavoctl: every command of its usage, the words and
# options of a command, and BOX from the boxes of an account on a development cloud.
#   check-completion.sh COMPLETION TAVOCTL DEVCLOUD
set -euo pipefail
completion="$1" tavoctl="$2" devcloud="$3"
work="$(mktemp -d /tmp/tavo-completion.XXXXXX)"
mkdir -m 700 "$work/run"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
unset DBUS_SESSION_BUS_ADDRESS
cloud=""
trap '[ -n "$cloud" ] && kill "$cloud"; rm -rf "$work"' EXIT
fail() { echo "completion: $*" >&2; exit 1; }

source "$completion"
# What TAB offers after the words given, the last one being the word under the cursor, in an
# interactive shell's settings (always called in a subshell).
offers() {
  set +e +u +o pipefail
  COMP_WORDS=("$tavoctl" "$@")
  COMP_CWORD=$#
  _tavoctl
  if [ ${#COMPREPLY[@]} -gt 0 ]; then printf '%s\n' "${COMPREPLY[@]}" | sort; fi
}
expect() { # WANTED WORDS...
  local wanted="$1" got
  shift
  got="$(offers "$@" | paste -sd ' ')"
  [ "$got" = "$wanted" ] || fail "after '$*' offered '$got', not '$wanted'"
}

commands="$(offers '')"
for command in $("$tavoctl" --help | sed -n 's/^\(usage:\)\{0,1\} *tavoctl \([a-z-][a-z-]*\).*/\2/p') --version; do
  grep -qx -- "$command" <<<"$commands" || fail "no $command among the commands: $commands"
done
expect 'rename rename-relay' ren
expect 'off on toggle' relay 1 2 ''
expect 'delete new open' thread ''
expect 'claim scan setup' box ''
expect '--seconds' box scan --se
expect '--json --limit' logs 1 --
touch "$work/fan.wav"
expect "$work/fan.wav" voice --file "$work/fan"

"$devcloud" --port 0 --seed demo --otp-code 123456 >"$work/cloud.out" 2>"$work/cloud.log" &
cloud=$!
for _ in $(seq 100); do
  grep -q "listening on" "$work/cloud.out" 2>/dev/null && break
  sleep 0.1
done
port="$(grep -o 'listening on [0-9.]*:[0-9]*' "$work/cloud.out" | sed 's/.*://')"
[ -n "$port" ] || { cat "$work/cloud.log" >&2; fail "the development cloud did not start"; }
export TAVO_CLOUD_HOST="127.0.0.1:$port" TAVO_CLOUD_TLS=0
"$tavoctl" login +919876543210 --code 123456 >/dev/null

# BOX: each id and name that the plain listing shows, names quoted for the shell.
boxes="$("$tavoctl" devices | awk -F '  ' '{ print $1; print $2 }' | while IFS= read -r b; do printf '%q\n' "$b"; done | sort)"
[ -n "$boxes" ] || fail "the demo account lists no boxes"
for words in 'relay' 'logs --limit 5' 'invite'; do
  # shellcheck disable=SC2086
  [ "$(offers $words '')" = "$boxes" ] || fail "after '$words' offered $(offers $words '' | tr '\n' ' ')"
done
first="$(head -n 1 <<<"$boxes")"
[ "$(offers rename "${first:0:2}")" = "$(grep "^${first:0:2}" <<<"$boxes")" ] || fail "a typed prefix of $first"
expect '' relay 1 ''
echo "completion: checked"
