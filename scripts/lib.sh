# Shared by the scripts: build folder, the wine prefix of this build and a virtual display.
# Source it; it defines functions and exports the wine settings.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers, no menu entries: the prefix is only for running the program.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

configure_and_build() {
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
    cmake --build "$build" -j2
}

started_pids=()

# Starts Xvfb on a free display unless one is given, and exports DISPLAY.
start_display() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

# One persistent wine server for the whole run, and the prefix made once.
# The server comes first: wineboot would start one of its own, and "wineserver -p" refuses to
# start beside it.
start_wine() {
    mkdir -p "$WINEPREFIX"
    # Fails when one is already running for this prefix (another script's): that one serves.
    wineserver -p 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
    fi
    wineboot -e >/dev/null 2>&1 || true
}

# The prefix's settings for the virtual display and for Korean text (see the file).
configure_prefix() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/tahoma*.ttf "$fonts/" 2>/dev/null || true
    wine regedit /S "$(winepath -w "$root/scripts/wine-prefix.reg" 2>/dev/null)" >/dev/null 2>&1 || true
}

stop_all() {
    wineserver -k >/dev/null 2>&1 || true
    # wineserver -k can leave wine processes behind: end what we started, then any stragglers of
    # this prefix.
    local pid
    for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in $(pgrep -f '\.exe' 2>/dev/null); do
        if (tr '\0' '\n' <"/proc/$pid/environ") 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            kill -9 "$pid" 2>/dev/null || true
        fi
    done
}
