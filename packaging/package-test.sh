#!/usr/bin/env bash
# The installer and the archive as a person would use them, in a fresh wine prefix of their
# own: silent install, the program starts, shortcut and uninstall entry exist; while it runs
# the installer and the uninstaller refuse and change nothing; closed, the installer replaces
# every file; an uninstall that cannot remove a file keeps its entry; silent uninstall removes
# it all; the archive unpacked under a path with blanks and Korean starts (and setup refuses
# while it runs) and converts a real movie through its window.
#   package-test.sh SETUP.exe ARCHIVE.zip      (DISPLAY must name a running X server)
set -euo pipefail
setup=$1 archive=$2
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(cd "$(dirname "$setup")" && pwd)/package-test
setup=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup")
archive=$(cd "$(dirname "$archive")" && pwd)/$(basename "$archive")
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -n /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wine regedit /S "$(winepath -w "$root/scripts/wine-prefix.reg")" >/dev/null 2>&1

fail() { echo "FAILED: $*" >&2; exit 1; }
wait_for() { # seconds command...
    local n=$(($1 * 5)); shift
    for _ in $(seq "$n"); do "$@" && return 0; sleep 0.2; done
    return 1
}
window_shown() { xdotool search --onlyvisible --name '^Quelvox [0-9]' >/dev/null 2>&1; }
no_window() { ! window_shown; }
# Starts the program, waits for its main window, leaves it running; echoes its pid.
start_program() {
    wine "$1" >/dev/null 2>&1 &
    echo $!
}
stop_program() {
    kill "$1" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
    wait_for 10 no_window || true
    wineserver -p
}

# Installer.
wine "$setup" /S
installed="$WINEPREFIX/drive_c/Program Files/Quelvox"
for f in Quelvox.exe LANG_ENU.DLL LANG_KOR.DLL copying_ENU.txt copying_KOR.txt bin/mplayer.exe \
         bin/mencoder.exe bin/ffmpeg.exe Uninstall.exe; do
    [ -f "$installed/$f" ] || fail "not installed: $f"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quelvox"
[ -f "$menu/Quelvox.lnk" ] || fail "no Start-menu shortcut"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvox'
wine reg query "$key" /v UninstallString 2>/dev/null | grep -q Uninstall.exe || fail "no uninstall entry"
echo "installed: files, Start-menu shortcut and uninstall entry"

pid=$(start_program "C:\\Program Files\\Quelvox\\Quelvox.exe")
wait_for 60 window_shown || fail "the installed program showed no main window"
# The program adds the Send To entry of the user who runs it.
sendto_entry() { find "$WINEPREFIX/drive_c/users" -type f -path '*/SendTo/Quelvox.lnk' | grep -q .; }
wait_for 30 sendto_entry || fail "no Send To entry"
sendto=$(find "$WINEPREFIX/drive_c/users" -type f -path '*/SendTo/Quelvox.lnk' | head -1)
echo "installed program started and added its Send To entry"

# The uninstaller run in place (_?=), so that its exit code is its own: started plainly, it
# runs a copy of itself from the temporary folder and ends at once with 0. _?= takes the rest
# of the command line unquoted, and wine would quote a path with a blank: the short name.
short_folder=$(winepath -s 'C:\Program Files\Quelvox' | tr -d '\r')
uninstall_in_place() { wine "$short_folder\\Uninstall.exe" /S "_?=$short_folder"; }
# The installed files with their sizes and change times, and the uninstall entry.
snapshot() {
    (cd "$installed" 2>/dev/null && find . -type f -printf '%p %s %C@\n' | sort)
    wine reg query "$key" 2>/dev/null | tr -d '\r' | sort
}
# An uninstall entry exactly when the uninstaller it names is there.
consistent() {
    if wine reg query "$key" /v UninstallString >/dev/null 2>&1; then
        [ -f "$installed/Uninstall.exe" ]
    else
        [ ! -e "$installed/Uninstall.exe" ]
    fi
}
exit_code() { local code=0; "$@" >/dev/null 2>&1 || code=$?; echo "$code"; }

# While Quelvox runs, setup and uninstall end with an error and change nothing.
before=$(snapshot)
[ "$(exit_code wine "$setup" /S)" -ne 0 ] || fail "the installer ran over a running Quelvox"
[ "$(snapshot)" = "$before" ] || fail "the installer changed a running Quelvox's folder or entry"
[ "$(exit_code uninstall_in_place)" -ne 0 ] || fail "the uninstaller ran over a running Quelvox"
[ "$(snapshot)" = "$before" ] || fail "the uninstaller changed a running Quelvox's folder or entry"
consistent || fail "uninstall entry and uninstaller disagree while Quelvox runs"
echo "while Quelvox runs: setup and uninstall refused and changed nothing"
stop_program "$pid"

# Closed, setup replaces every file: an install is all of one version.
[ "$(exit_code wine "$setup" /S)" -eq 0 ] || fail "the installer failed over a closed Quelvox"
while read -r line; do
    ! grep -qxF "$line" <<<"$before" || fail "the installer left ${line%% *} as it was"
done < <(cd "$installed" && find . -type f -printf '%p %s %C@\n')
consistent || fail "uninstall entry and uninstaller disagree after installing again"
echo "installed again over a closed Quelvox: every file replaced"

# A file another program holds open without letting it be deleted (a scanner, an editor; here
# a copy of ffmpeg reading a licence text a byte a second): the uninstaller says so and keeps
# its entry, so it can be run again.
cp "$installed/bin/ffmpeg.exe" "$work/holder.exe"
wine "$work/holder.exe" -nostdin -loglevel error -re -f rawvideo -pix_fmt gray -s 1x1 -r 1 \
    -i 'C:\Program Files\Quelvox\copying_KOR.txt' -f null - >/dev/null 2>&1 &
holder=$!
# Open in a wine process or the wine server (processes come and go while this looks).
held() { { ls -l /proc/[0-9]*/fd 2>/dev/null || true; } | grep 'Quelvox/copying_KOR.txt' >/dev/null; }
wait_for 30 held || fail "the holder did not open the file"
code=$(exit_code uninstall_in_place)
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
[ "$code" -ne 0 ] || fail "the uninstaller did not say it left a file"
[ -f "$installed/copying_KOR.txt" ] || fail "the test could not keep a file from the uninstaller"
wine reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "the uninstaller dropped its entry while files stayed"
consistent || fail "uninstall entry and uninstaller disagree after a partial uninstall"
echo "partial uninstall: said so and kept its entry"

wine "C:\\Program Files\\Quelvox\\Uninstall.exe" /S
wait_for 60 test ! -e "$installed/Quelvox.exe" || fail "uninstaller left the program"
wait_for 30 test ! -e "$installed" || fail "uninstaller left files: $(ls -R "$installed")"
wait_for 30 test ! -e "$menu" || fail "uninstaller left the shortcuts"
wait_for 30 test ! -e "$sendto" || fail "uninstaller left the Send To entry"
! wine reg query "$key" >/dev/null 2>&1 || fail "uninstaller left the uninstall entry"
echo "uninstalled: nothing left"

# Archive, unpacked where the path has blanks and Korean.
place="$WINEPREFIX/drive_c/My Programs 프로그램"
mkdir -p "$place"
(cd "$place" && cmake -E tar xf "$archive")
[ -f "$place/Quelvox/bin/ffmpeg.exe" ] || fail "archive incomplete"
movie_dir="$WINEPREFIX/drive_c/movies"
mkdir -p "$movie_dir"
wine "$place/Quelvox/bin/ffmpeg.exe" -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=frequency=440:duration=2 -shortest "C:\\movies\\clip.avi" >/dev/null 2>&1 \
    || fail "could not make a movie"
# Not a first run this time, so no about box stands in front of the window.
version=$(sed -n 's/^project(Quelvox VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
wine reg add 'HKCU\Software\Tavrenix\Quelvox\Ver' /v Val /t REG_SZ /d "$version " /f >/dev/null 2>&1
pid=$(start_program "$place/Quelvox/Quelvox.exe")
wait_for 60 window_shown || fail "the unpacked program showed no main window"
# No installed file is in use now: only the program's mutex says that Quelvox runs.
[ "$(exit_code wine "$setup" /S)" -ne 0 ] || fail "the installer ran while a copy of Quelvox runs"
[ ! -e "$installed" ] || fail "the installer installed while a copy of Quelvox runs"
echo "while an unpacked copy runs: setup refused"
sleep 2
window=$(xdotool search --onlyvisible --name '^Quelvox [0-9]' | head -1)
read -r x y w h < <(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/^X=/{x=$2}/^Y=/{y=$2}/^WIDTH=/{w=$2}/^HEIGHT=/{h=$2} END{print x, y, w, h}')
xdotool mousemove $((x + w * 279 / 427)) $((y + h * 235 / 294)) click 1
sleep 3
xdotool type --delay 30 'C:\movies\clip.avi'
xdotool key Return
sleep 2
xdotool mousemove $((x + w * 382 / 427)) $((y + h * 275 / 294)) click 1
wait_for 90 test -s "$movie_dir/QV_clip.avi.avi" || fail "the unpacked program converted nothing"
wait_for 60 xdotool search --onlyvisible --name '^Quelvox$' >/dev/null 2>&1 || true
stop_program "$pid"
echo "unpacked program started and converted a movie"
