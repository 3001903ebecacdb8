# Sourced by the scripts that run Windows programs: one quiet Wine environment per build tree.
# Expects NIMBREL_WINEPREFIX to name the prefix folder.

export WINEPREFIX="$NIMBREL_WINEPREFIX"
export WINEARCH=${NIMBREL_WINEARCH:-win64}
export WINEDEBUG=-all
# No Mono or Gecko installers when the prefix is made, and no menu entries written to the desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Creates the prefix once (a concurrent caller waits for the first one) and sets it up so that Wine never shows a
# dialog of its own: a crashing program ends at once with its exception code instead of opening the crash dialog.
nimbrel_wine_prefix_ready() {
    local ready="$WINEPREFIX/.nimbrel-ready"
    [ -e "$ready" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -e "$ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        wine wineboot --init >/dev/null 2>&1 || { echo "wine-env: could not create $WINEPREFIX" >&2; exit 1; }
        local reg="$WINEPREFIX/nimbrel-settings.reg"
        cat >"$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=-
"Auto"="1"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"
REG
        wine regedit /S "$reg" >/dev/null 2>&1 || { echo "wine-env: could not set up $WINEPREFIX" >&2; exit 1; }
        wineserver -w
        touch "$ready"
    ) 9>"$WINEPREFIX.lock"
}

# Starts Wine's own background processes (services, the desktop window's process) with their output going nowhere.
# Otherwise the first test program starts them, they inherit its output pipe, and CTest waits for that pipe to close
# until its time-out.
start_wine_services() {
    wine wineboot </dev/null >/dev/null 2>&1 || true
    wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 || true
}
