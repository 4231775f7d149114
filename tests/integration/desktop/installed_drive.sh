#!/usr/bin/env bash
# Drives the installed desktop program as its user would, with the mouse (xdotool), on the X
# server and sound server that scripts/with-test-services.sh started:
#   installed_drive.sh ROOT MOVIE SCREENS
# ROOT holds the unpacked package. The program starts from the Exec line of its menu entry with
# MOVIE; Play and Record, four seconds, Stop Recording; the message at the end of the
# conversion is confirmed and the window closed. Pictures of the screen at each step go to
# SCREENS, for when something goes wrong.
set -euo pipefail

root=$1
movie=$2
screens=$3
mkdir -p "$screens"

say() { echo "installed-drive: $*"; }
shot() { import -window root "$screens/$1.png" 2>/dev/null || true; }
fail() {
    say "$*"
    shot failure
    say "the screen is in $screens/failure.png; the program said:"
    cat "$screens/program.log" 2>/dev/null || true
    exit 1
}

# The menu entry's command, with the movie for its file field code.
entry=$(find "$root/usr/share/applications" -name '*.desktop' | head -n 1)
[ -n "$entry" ] || fail "the package has no menu entry"
exec_line=$(sed -n 's/^Exec=//p' "$entry" | head -n 1)
read -r -a command <<<"$exec_line"
for i in "${!command[@]}"; do
    case ${command[$i]} in
    %f | %F | %u | %U) command[i]=$movie ;;
    esac
done
say "running: ${command[*]}"
"${command[@]}" >"$screens/program.log" 2>&1 &
program=$!

# Windows with this title that can be seen (the message boxes are titled "Kinovex").
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
wait_for() { # title, seconds
    for _ in $(seq 1 $(($2 * 10))); do
        [ -n "$(visible "$1")" ] && return 0
        kill -0 "$program" 2>/dev/null || fail "the program ended early"
        sleep 0.1
    done
    return 1
}

wait_for "Kinovex Converter" 30 || fail "the main window did not show"
sleep 1 # the start-up warnings come queued after the window
[ -z "$(visible Kinovex)" ] || fail "a message came up at start-up"
window=$(visible "Kinovex Converter" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"
shot started

# The command bar sits centred at the bottom: 360 x 93 from (width / 2 - 180, height - 101).
bar_x=$((WIDTH / 2 - 180))
bar_y=$((HEIGHT - 101))
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
click $((bar_x + 240)) $((bar_y + 46)) # Play and Record
sleep 4
shot recording
click $((bar_x + 179)) $((bar_y + 45)) # Stop Recording

wait_for Kinovex 120 || fail "no message after the conversion"
shot converted
# The message box has the keyboard: Return presses its OK.
xdotool windowfocus --sync "$(visible Kinovex | tail -n 1)" key Return
for _ in $(seq 1 100); do
    [ -z "$(visible Kinovex)" ] && break
    sleep 0.1
done
[ -z "$(visible Kinovex)" ] || fail "the message did not close on Return"
click $((WIDTH - 70 + 47)) $((10 + 8)) # Close, in the title bar
for _ in $(seq 1 300); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program" 2>/dev/null && fail "the program did not end after Close"
wait "$program" || fail "the program ended with status $?"
say "done"
