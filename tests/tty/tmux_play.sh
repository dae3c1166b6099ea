#!/usr/bin/env bash
# tmux_play.sh - plays games in a real terminal (a private tmux server): the demo's winning
# walkthrough in the terminal look and in plain lines, the status line read out on request in
# plain lines, accented letters both ways, and the terminal's modes as the game leaves them (at
# its end, and killed by SIGTERM and SIGHUP), and a game killed by SIGKILL resumed.
# Usage: tmux_play.sh UMB EXAMPLES_DIR. Exits 77 (skipped) when tmux is missing.
set -u

umb=$1
examples=$2
command -v tmux > /dev/null || { echo "tmux is not installed: skipped"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/umb-tmux.XXXXXX")
sock=umbtest-$$
failures=0
trap 'tmux -L "$sock" kill-server 2> /dev/null; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

t() { tmux -L "$sock" "$@"; }

# Starts a window running a shell command in the work folder, kept after the command ends.
start() {
    local name=$1 cmd=$2
    if t has-session 2> /dev/null; then
        t new-window -d -n "$name" -c "$work" "$cmd"
    else
        t -f /dev/null new-session -d -s umb -n "$name" -x 100 -y 40 -c "$work" "$cmd" \; \
            set-option -g remain-on-exit on \; set-option -g history-limit 20000
    fi
}

pane() { t capture-pane -p -t "umb:$1"; }
info() { t display-message -p -t "umb:$1" "$2"; }
dead() { [ "$(info "$1" '#{pane_dead}')" = 1 ]; }

# The line the cursor is on.
cursor_line() {
    local y
    y=$(info "$1" '#{cursor_y}')
    pane "$1" | sed -n "$((y + 1))p"
}

# Waits until the game waits for the player: the pane stops changing with the cursor after a
# prompt or a question. A timed pause (the cursor at the start of a line, nothing changing) is
# ended with a key that means nothing anywhere else; plain lines take Enter for it.
settle() {
    local win=$1 skip=$2 previous="" current stable=0 deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        dead "$win" && return 1
        current="$(pane "$win"; info "$win" '#{cursor_x},#{cursor_y}')"
        if [ "$current" = "$previous" ]; then
            stable=$((stable + 1))
            if [ $stable -ge 2 ] && [ "$(info "$win" '#{cursor_x}')" -gt 0 ]; then return 0; fi
            if [ $stable -ge 6 ]; then
                t send-keys -t "umb:$win" "$skip"
                stable=0
            fi
        else
            stable=0
        fi
        previous=$current
        sleep 0.05
    done
    fail "$win: the game did not ask for input within 60 seconds"
    pane "$win" | tail -5
    return 1
}

# Waits until the window's command has ended.
wait_dead() {
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
        dead "$1" && return 0
        sleep 0.05
    done
    fail "$1: still running after 30 seconds"
    return 1
}

# Turns a headless key script into units: a character (c:x), a named key (k:Name) or the end of
# a line (nl). {screen} asks for a screen dump, which a terminal has no use for.
units_of() {
    local line i ch token
    while IFS= read -r line || [ -n "$line" ]; do
        i=0
        while [ $i -lt ${#line} ]; do
            ch=${line:$i:1}
            if [ "$ch" = "{" ]; then
                token=${line:$i}
                token=${token%%\}*}
                token=${token#\{}
                i=$((i + ${#token} + 2))
                case $token in
                    screen) ;;
                    "{") echo "c:{" ;;
                    enter) echo "nl" ;;
                    esc) echo "k:Escape" ;;
                    bs) echo "k:BSpace" ;;
                    up) echo "k:Up" ;;
                    down) echo "k:Down" ;;
                    *) echo "skipped token {$token}" >&2 ;;
                esac
                continue
            fi
            echo "c:$ch"
            i=$((i + 1))
        done
        echo "nl"
    done < "$1"
}

# Plays the units in a window: at the prompt a whole line goes, at a question one key. plain
# answers questions with a line, and Escape with 0.
play() {
    local win=$1 keys=$2 plain=$3 skip=$4 prompt=$5
    local -a units
    mapfile -t units < <(units_of "$keys")
    local n=0 total=${#units[@]} u text
    while [ $n -lt $total ]; do
        settle "$win" "$skip" || return 1
        if [ "$(cursor_line "$win")" = "$prompt" ]; then
            text=""
            while [ $n -lt $total ] && [ "${units[$n]}" != nl ]; do
                u=${units[$n]}
                n=$((n + 1))
                if [ "${u%%:*}" = c ]; then
                    text+=${u#c:}
                else
                    [ -n "$text" ] && t send-keys -t "umb:$win" -l "$text"
                    text=""
                    t send-keys -t "umb:$win" "${u#k:}"
                fi
            done
            [ -n "$text" ] && t send-keys -t "umb:$win" -l "$text"
            t send-keys -t "umb:$win" Enter
            n=$((n + 1))
        else
            u=${units[$n]}
            n=$((n + 1))
            case $u in
                nl) t send-keys -t "umb:$win" Enter ;;
                c:*) t send-keys -t "umb:$win" -l "${u#c:}" ;;
                k:Escape) if [ "$plain" = 1 ]; then t send-keys -t "umb:$win" -l 0; else
                    t send-keys -t "umb:$win" Escape; sleep 0.1; fi ;;
                k:*) t send-keys -t "umb:$win" "${u#k:}" ;;
            esac
            [ "$plain" = 1 ] && [ "$u" != nl ] && t send-keys -t "umb:$win" Enter
        fi
        # Let the game take the keys before looking for its next question.
        sleep 0.05
    done
}

history_of() { t capture-pane -p -J -S - -t "umb:$1"; }

expect_in() {
    local what=$1 text=$2 needle
    shift 2
    for needle in "$@"; do
        grep -qF -- "$needle" <<< "$text" || fail "$what: no \"$needle\""
    done
}

cp -r "$examples/beacon" "$work/beacon"
keys=$work/beacon/beacon-win.keys
export -n DISPLAY WAYLAND_DISPLAY 2> /dev/null
unset DISPLAY WAYLAND_DISPLAY

# --- The winning walkthrough in the terminal look, with pictures -----------------------------------
start tty "cd beacon && stty -g > ../tty.before; COLORTERM=truecolor '$umb' --tty beacon; echo \$? > ../tty.rc; stty -g > ../tty.after"
play tty "$keys" 0 C-u ">"
wait_dead tty
shown=$(history_of tty)
expect_in "--tty" "$shown" "Skerry Point, an autumn evening" "Restore a saved game? n" \
    "Gallery" "A narrow iron balcony around the top of the tower." "Score: 50/50" \
    "*** You have saved the ship! ***" "Play again? n" ">light lamp" "(1:3): 2"
grep -q "▀" <<< "$shown" || fail "--tty: no picture drawn in half blocks"
[ "$(cat "$work/tty.rc" 2> /dev/null)" = 0 ] || fail "--tty: exit status $(cat "$work/tty.rc" 2> /dev/null)"
cmp -s "$work/tty.before" "$work/tty.after" || fail "--tty: the terminal's modes changed"

# --- The same in plain lines, piped through tee: no escape sequence anywhere ---------------------
start plain "cd beacon && stty -g > ../plain.before; COLORTERM=truecolor '$umb' --plain beacon | tee ../plain.out; stty -g > ../plain.after"
play plain "$keys" 1 Enter ">"
wait_dead plain
shown=$(history_of plain)
expect_in "--plain" "$shown" "Gallery" "Score: 50/50" "*** You have saved the ship! ***" \
    "Play again? [y/n]" "(1-3, 0 for none) 2"
! grep -qF "(1:3)" <<< "$shown" || fail "--plain: a choice names its keys twice"
expect_in "--plain output" "$(cat "$work/plain.out")" "Gallery" "*** You have saved the ship! ***"
escapes=$(t capture-pane -p -e -S - -t umb:plain | grep -c $'\x1b')
[ "$escapes" = 0 ] || fail "--plain: $escapes lines of the pane hold escape sequences"
! grep -q $'\x1b' "$work/plain.out" || fail "--plain: the output holds an escape byte"
cmp -s "$work/plain.before" "$work/plain.after" || fail "--plain: the terminal's modes changed"

# --- Plain lines: the word "status" reads the status line out ----------------------------------
printf 'n\nstatus\nquit\nynn\n' > "$work/status.keys"
start status "cd beacon && '$umb' --plain beacon"
play status "$work/status.keys" 1 Enter ">"
wait_dead status
[ "$(history_of status | grep -c "^Score: 0/50  Turns: 0")" -ge 2 ] ||
    fail "--plain: \"status\" did not read the status line out"

# --- Killed by SIGKILL, the game goes on where it was at the next start --------------------------
printf 'n\nhello\nn\n' > "$work/killed.keys"
start killed "cd beacon && sh -c 'echo \$\$ > ../killed.pid; exec env -u UMB_DRIVER \"$umb\" --tty beacon'"
play killed "$work/killed.keys" 0 C-u ">"
settle killed C-u
kill -KILL "$(cat "$work/killed.pid")"
wait_dead killed
[ -f "$work/beacon/beacon.sv0" ] || fail "SIGKILL: no autosave kept"
printf 'y\nquit\nynn\n' > "$work/resumed.keys"
start resumed "cd beacon && env -u UMB_DRIVER '$umb' --tty beacon; echo \$? > ../resumed.rc"
play resumed "$work/resumed.keys" 0 C-u ">"
wait_dead resumed
shown=$(history_of resumed)
expect_in "resumed" "$shown" "Continue where you left off? y" "Shingle beach" "Turns: 2"
! grep -qF "Restore a saved game?" <<< "$shown" || fail "resumed: the restore question was asked"
[ ! -f "$work/beacon/beacon.sv0" ] || fail "resumed: the quit game left its autosave"
[ "$(cat "$work/resumed.rc" 2> /dev/null)" = 0 ] || fail "resumed: exit status $(cat "$work/resumed.rc" 2> /dev/null)"

# --- Accented letters: typed è reaches the game as 0x8A, 0x82 shows as é --------------------------
{
    printf '[System]\nStartLocation=1\n'
    printf '[Sysmsg]\n#1,What?\n#10,OK.\n#23,Restore a saved game? \n#24,Really quit? \n'
    printf '#25,Save first? \n#26,Play again? \n'
    printf '[Locations]\n#1,Le caf\x82,,0\nA small caf\x82 by the harbour.\n'
    printf '[Messages]\n#1,Voil\x85 le caf\x82 cr\x8Ame.\n'
    printf '[Verbs]\n#20,cr\x8Ame\n#23,quit\n'
    printf '[Actions]\nif verb 20\nthen message 1\n'
} > "$work/accent.adv"
printf 'n\ncr\xc3\xa8me\nquit\nynn\n' > "$work/accent.keys"
start accent "'$umb' --tty accent; echo \$? > accent.rc"
play accent "$work/accent.keys" 0 C-u ">"
wait_dead accent
expect_in "accents" "$(history_of accent)" "Le café" "Voilà le café crème." ">crème"

# --- The modes after SIGTERM and SIGHUP ---------------------------------------------------------
for sig in TERM HUP; do
    start "sig$sig" "stty -g > sig$sig.before; sh -c 'echo \$\$ > sig$sig.pid; exec \"$umb\" --tty accent'; echo \$? > sig$sig.rc; stty -g > sig$sig.after"
    settle "sig$sig" C-u
    kill -"$sig" "$(cat "$work/sig$sig.pid")"
    wait_dead "sig$sig"
    expected=$((128 + $(kill -l "$sig")))
    [ "$(cat "$work/sig$sig.rc" 2> /dev/null)" = "$expected" ] ||
        fail "SIG$sig: exit status $(cat "$work/sig$sig.rc" 2> /dev/null), not $expected"
    cmp -s "$work/sig$sig.before" "$work/sig$sig.after" || fail "SIG$sig: the terminal's modes changed"
done

# --- Without a display, the game plays in the terminal it was started from -----------------------
start nodisplay "env -u DISPLAY -u WAYLAND_DISPLAY '$umb' accent; echo \$? > nodisplay.rc"
play nodisplay "$work/accent.keys" 0 C-u ">"
wait_dead nodisplay
expect_in "no display" "$(history_of nodisplay)" "Voilà le café crème."
[ "$(cat "$work/nodisplay.rc" 2> /dev/null)" = 0 ] || fail "no display: exit status $(cat "$work/nodisplay.rc" 2> /dev/null)"

[ $failures = 0 ] && echo "tmux play: all passed"
[ $failures = 0 ]
