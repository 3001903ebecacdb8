#!/usr/bin/env bash
# Pictures of the window for the docs, each from one unattended update against the virtual device (as demo.sh
# makes its screenshot): the finished window at 100%, 150% and 200% display scale (docs/window-96dpi.png,
# -144dpi.png, -192dpi.png), and at 100% with a German lang.ini saved as Notepad saves it, in UTF-8 without a
# byte order mark: as it starts, no device attached (docs/window-german-utf8.png), and finished
# (docs/window-german-utf8-sent.png). Runs in a Wine prefix and on a display of its own; needs a built tree.
# Usage: scripts/scale-pictures.sh [BUILD_DIR]     (default build/win64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
bin=$build/bin
work=$build/scale-pictures
rm -rf "$work"
mkdir -p "$work/german"
python3 "$here/make-samples.py" "$work/images"
for file in Nimbrel.exe TandryUSB.dll OstrelSim.exe; do
    cp "$bin/$file" "$work/german/"
done
cat >"$work/german/lang.ini" <<'INI'
; Texte des Nimbrel-Aktualisierers, in Notepad als UTF-8 gespeichert.
[title]
100=Nimbrel – Ostrel-Aktualisierung

[control]
1001=Abbrechen
1002=Aktualisieren…

[message]
1021=Das Gerät ist nicht verbunden, oder sein Datenkanal lässt sich nicht öffnen.
1022=Die Abbilddatei ist ungültig: ihr Kopf beginnt nicht wie erwartet.
1023=Die Abbilddatei ist zu kurz für ein Abbild.
1024=Gerät verbunden.
1025=Gerät nicht verbunden – prüfen Sie das Kabel (é, ü, ß, €).
1026=Aktualisiere Datensatz 3 (sf_pcmimgcdb3.zpk)…
1027=Aktualisiere die Firmware (firm.zpk)…
1028=Aktualisiere Datensatz 1 (sf_pcmimgcdb1.zpk)…
1030=Abbild gesendet.
1031=Die Gerätebibliothek TandryUSB.dll lässt sich nicht laden.
1034=Aktualisiere Datensatz 2 (sf_pcmimgcdb2.zpk)…
1035=Das Ostrel-Gerät wird aktualisiert. Nicht ausschalten.
1036=Eine andere Aktualisierung des Geräts läuft. Warten Sie, bis sie beendet ist.
1037=Der Akku ist fast leer. Schließen Sie das Ladegerät an, bevor Sie aktualisieren.
INI

# One update at a scale: LogPixels is read when a program starts, so it is set before the device and the
# program are.
picture() { # DPI PROGRAM_DIR NAME [start]
    local dpi=$1 program=$2 name=$3 start=${4:-}
    NIMBREL_WINEPREFIX="$build/pictures-wineprefix" DRIVE_START_PICTURE=$start "$here/with-wine.sh" "$build" bash -c '
        wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
        bash "$2/drive-update.sh" "$3" "$4" "$5" "$6/NimbrelDemoDriver.exe"' \
        picture "$dpi" "$here" "$program" "$work/images" "$work/$name" "$bin"
    if [ -n "$start" ]; then
        python3 "$here/bmp-to-png.py" "$work/$name/window-start.bmp" "$root/docs/window-$name.png"
        python3 "$here/bmp-to-png.py" "$work/$name/window.bmp" "$root/docs/window-$name-sent.png"
        echo "docs/window-$name.png docs/window-$name-sent.png"
    else
        python3 "$here/bmp-to-png.py" "$work/$name/window.bmp" "$root/docs/window-$name.png"
        echo "docs/window-$name.png"
    fi
}
for dpi in 96 144 192; do
    picture "$dpi" "$bin" "${dpi}dpi"
done
picture 96 "$work/german" german-utf8 1
