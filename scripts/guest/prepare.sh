# Runs once in the guest while its image is made: creates the 32-bit Wine prefix that the guest's init names, on the
# guest's own disk, with the same settings and fonts the 64-bit test prefix gets on the host.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
source "$here/display.sh"
trap stop_display EXIT
start_display
started=$(date +%s)
nimbrel_wine_prefix_ready
echo "guest: 32-bit Wine prefix made in $(($(date +%s) - started)) s"
