# Sourced by every script that runs the Windows build under Wine or needs a
# virtual display: the project's Wine prefix by default, and the one way to
# start Xvfb and a Wine server.
export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/tarvel-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# on_virtual_display COMMAND [ARG...]: the command on a display of its own.
# Editor pixels are read back exactly, so 24 bits, not the 8-bit default.
on_virtual_display() {
  xvfb-run -a -s "-screen 0 1024x1024x24" "$@"
}

# with_wine_server COMMAND [ARG...]: the command on a virtual display with one
# persistent Wine server for all its Wine programs (each start then costs
# ~0.1 s instead of ~0.7 s), stopped afterwards; exits with the command's
# status. The server starts inside the display: one started without a display
# keeps its desktop without one, and editor windows would fail to open.
with_wine_server() {
  on_virtual_display bash -c '
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -p
    /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
    "$@"; status=$?
    /usr/lib/wine/wineserver -k || true
    exit $status' bash "$@"
}
