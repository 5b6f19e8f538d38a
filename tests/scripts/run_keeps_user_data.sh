#!/usr/bin/env bash
# scripts/run installs the program and its data folder into the user's data folder, outside the
# build tree, and a second run (as after deleting build/) adds only what is missing.
# Usage: run_keeps_user_data.sh <source root> <configured build tree>
set -euo pipefail
root="$1"
build="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A sanitized build reports what the system's font configuration keeps until exit.
printf 'leak:libfontconfig.so\n' >"$scratch/lsan.supp"
export LSAN_OPTIONS="suppressions=$scratch/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export XDG_DATA_HOME="$scratch/xdg"
export TESSELLARIUM_BUILD_DIR="$build"
home="$XDG_DATA_HOME/tessellarium"

output="$("$root/scripts/run" 2>&1)" || fail "scripts/run failed: $output"
[ -x "$home/tessellarium" ] || fail "the program is not installed in $home"
for folder in Data Default Interfacce Links Presets Report TableSamples Templates; do
  [ -d "$home/Shared/$folder" ] || fail "Shared/$folder is missing"
done
[ -z "$(find "$home/Shared" -name .gitkeep)" ] || fail "placeholder files were copied"
grep -qF "installed in $home" <<<"$output" || fail "scripts/run does not say where it installed: $output"

# The user's own files, and a default folder the user removed.
printf 'clienti del negozio' >"$home/Shared/Data/Clienti.DAT"
printf 'note' >"$home/Shared/Templates/Fattura.tsd"
rmdir "$home/Shared/Presets"
"$root/scripts/run" >/dev/null 2>&1 || fail "the second scripts/run failed"
[ "$(cat "$home/Shared/Data/Clienti.DAT")" = "clienti del negozio" ] || fail "the user's table was overwritten"
[ "$(cat "$home/Shared/Templates/Fattura.tsd")" = "note" ] || fail "the user's template was overwritten"
[ -d "$home/Shared/Presets" ] || fail "a missing default folder was not added again"

# Without its data folder the program says so and fails.
rm -rf "$home/Shared"
if "$home/tessellarium" 2>"$scratch/err"; then fail "the program started without its data folder"; fi
grep -q "Cartella dei dati mancante" "$scratch/err" || fail "no message about the missing data folder"
echo "ok"
