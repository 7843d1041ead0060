# Sourced by the scripts that run Windows programs under wine (scripts/wine-tests.sh,
# scripts/windows/test.sh): finds wine, and makes a private prefix without a display.
#   find_wine || skip "..."     sets $wine and $wineserver
#   use_prefix DIR              exports WINEPREFIX=DIR and the quiet settings
#   make_prefix [x11]           (re)creates the prefix; slow the first time, run it in the background;
#                               with x11 its windows go to $DISPLAY instead of nowhere

find_wine() {
    # Debian's wine64 package puts its loader outside PATH; the wine package adds the wrappers.
    wine=$(command -v wine64 || true)
    if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then
        wine=/usr/lib/wine/wine64
    fi
    [ -n "$wine" ] || return 1
    wineserver=
    for candidate in "$(dirname "$wine")/wineserver64" /usr/lib/wine/wineserver64 "$(command -v wineserver || true)"; do
        if [ -z "$wineserver" ] && [ -n "$candidate" ] && [ -x "$candidate" ]; then
            wineserver=$candidate
        fi
    done
}

# A private prefix, no display, no wine messages, no offer to install Mono or Gecko.
use_prefix() {
    unset DISPLAY WAYLAND_DISPLAY
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

make_prefix() {
    rm -rf "$WINEPREFIX"
    "$wine" wineboot -i || return 1
    # Windows without a display: wine's null graphics driver instead of X11.
    if [ "${1:-}" != x11 ]; then
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f || return 1
    fi
    # The desktop started during the boot keeps its driver until the prefix's server ends.
    if [ -n "$wineserver" ]; then "$wineserver" -w; fi
    touch "$WINEPREFIX/.nimbra-ready"
}

prefix_ready() {
    [ -f "$WINEPREFIX/.nimbra-ready" ]
}

# Waits until the prefix's server has ended, so that nothing outlives the caller.
end_prefix() {
    if [ -n "$wineserver" ]; then "$wineserver" -w || true; fi
}
