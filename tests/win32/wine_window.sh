# The window's world under Wine, for the tests and benchmarks that drive kestiva.exe: a
# virtual display, a Wine folder whose COM1 leads to the simulator, a portable copy of the
# program, the driver, and the steps every flow begins with. Sourced, after setting
#   linux_bin    folder holding kestiva-sim, kestiva-cli and System/
#   windows_bin  folder holding kestiva.exe, window-driver.exe and System/
#   bitrate      the simulator's bit rate
#   shots        where screenshots go
#   prefix       the Wine folder to keep between runs (optional: a new one in a temporary
#                folder without it)
# Everything it starts ends when the sourcing script exits.

work=$(mktemp -d /tmp/kestiva-wine-window.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(realpath -m "${prefix:-$work/prefix}")
com1_link="$WINEPREFIX/kestiva-sim-com1"
sim_pid="" server_pid="" xvfb_pid="" program_pid=""

stop_pid() {
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    stop_pid "$program_pid"
    stop_pid "$sim_pid"
    rm -f "$com1_link"
    if [ -n "$server_pid" ]; then
        wineserver -k 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    stop_pid "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# A step the rest of its flow needs: the test ends here.
die() {
    echo "FAIL: $*; screenshots in $shots; the windows shown:" >&2
    shot failed
    drive windows >&2 || true
    exit 1
}

# The virtual display: Xvfb picks a free one and names it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 200); do
    # The shell makes the file in the background: it may not be there yet.
    display=$(cat "$work/display" 2>/dev/null) || true
    [ -n "$display" ] && break
    sleep 0.05
done
[ -n "$display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"

# The Wine folder: made the first time; no window manager, so Wine manages its windows itself
# (Managed=N saves two seconds per closed window); COM1 leads to the simulator's link.
mkdir -p "$WINEPREFIX"
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null || true
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$com1_link" /f >/dev/null 2>&1
# A server that ends on its own writes the registry to disk for the next one.
wineserver -w
wineserver -f -p >"$work/wineserver.log" 2>&1 &
server_pid=$!
target=$(wine reg query 'HKLM\Software\Wine\Ports' /v COM1 2>/dev/null | tr -d '\r' |
    awk '$1 == "COM1" { print $3 }')
if [ "$target" != "$com1_link" ]; then
    echo "REFUSED: Wine's COM1 is '$target', not the simulator's $com1_link" >&2
    exit 1
fi

# Options after the defaults (station 1 at $bitrate) win over them.
start_sim() {
    : >"$work/sim.out"
    "$linux_bin/kestiva-sim" --mode deterministic --bitrate "$bitrate" "$@" --link "$com1_link" \
        >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -n "$(head -n 1 "$work/sim.out")" ] && [ -L "$com1_link" ] && return 0
        sleep 0.05
    done
    echo "the simulator did not start" >&2
    exit 1
}

# The program folder: a portable copy, so its settings and files stay inside this test.
program="$work/windows"
mkdir -p "$program"
cp -r "$windows_bin/kestiva.exe" "$windows_bin/System" "$program/"
cp "$windows_bin/window-driver.exe" "$work/"
drive() { (cd "$work" && wine ./window-driver.exe "$@"); }
shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }
start_program() {
    (cd "$program" && exec wine ./kestiva.exe) >"$work/program.log" 2>&1 &
    program_pid=$!
}
# Waits for the program to end (20 s at most); its exit code.
program_ended() {
    for _ in $(seq 400); do
        if ! kill -0 "$program_pid" 2>/dev/null; then
            local code=0
            wait "$program_pid" || code=$?
            program_pid=""
            return "$code"
        fi
        sleep 0.05
    done
    fail "the program did not end"
    return 1
}
main='#KestivaMainWindow'
box='#32770|Kestiva Data Monitor'
# Accepts the terms and confirms the link by hand at station 1 (the lists are controls 210
# and 212), up to the main window.
confirm_link() {
    drive click "Terms of Use" "I Agree" || die "could not accept"
    drive wait "Communication Settings" || die "no communication settings"
    drive click "Communication Settings" "Manual" || die "no manual method"
    drive select "Communication Settings" 210 1 || die "no station 1"
    drive select "Communication Settings" 212 "$bitrate" || die "no bit rate $bitrate"
    drive click "Communication Settings" "Check Communication" || die "could not check"
    local answer
    answer=$(drive message "#32770|Communication Check") || die "no check result"
    grep -q "Communication is established" <<<"$answer" || fail "check: $answer"
    drive click "#32770|Communication Check" "OK" || die "could not close the check's result"
    drive click "Communication Settings" "OK" || die "OK stayed disabled after the check"
    drive wait "$main" || die "no main window"
}

