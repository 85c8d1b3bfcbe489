# The Windows Installer package as an IT department uses it, under Wine: a silent install
# (msiexec /i /qn) into Program Files\comsetup with its Start-menu entries; the installed
# comsetup-cli.exe downloads to the stand-in on COM9 and the installed wizard starts; the
# next version installed over it leaves one copy and one entry in the installed programs;
# a silent uninstall (msiexec /x) removes every installed file and keeps the user's journal.
# The next version is the same programs packed under the next product version (the upgrade
# compares product versions only).
# Sourced by scripts/test-windows.sh after tests/windows/wizard_download.sh (window_named), with
# $msi (the package of this build), $harness, $sim, the stand-in helpers and a warm prefix.

msi_fail() {
  echo "FAILED: $*"
  for f in "$harness"/msiexec-*.log "$harness/installed-cli.out" "$harness/installed-cli.err"; do
    [ -f "$f" ] && { echo "--- $f"; tail -30 "$f"; }
  done
  exit 1
}
windows_path() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }
msiexec() { # log name, msiexec options...: prints its exit code and how long it took
  local name=$1 rc=0 start
  shift
  start=$(date +%s%N)
  wine msiexec "$@" /qn /l*v "$(windows_path "$harness/msiexec-$name.log")" \
    >"$harness/msiexec-$name.out" 2>&1 </dev/null || rc=$?
  echo "$rc $((($(date +%s%N) - start) / 1000000))"
}
installed_programs() { # "comsetup <DisplayVersion>" for each comsetup among the installed programs
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY_/ { key = $0 }
      /DisplayName +REG_SZ +comsetup$/ { named[key] = 1 }
      /DisplayVersion +REG_SZ/ { version[key] = $NF }
      END { for (k in named) print "comsetup " version[k] }'
}
installed_product_codes() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY_/ { key = $0 } /DisplayName +REG_SZ +comsetup$/ { print key }' |
    sed 's/.*\\//'
}

echo "== The Windows Installer package under Wine"
program_files=$WINEPREFIX/drive_c/Program\ Files/comsetup
# Windows puts a per-machine package's Start-menu entries into ProgramData's Start menu;
# Wine's msiexec into the user's, whatever ALLUSERS says.
start_menus=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/comsetup"
  "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/comsetup")
installed=(comsetup.exe comsetup-cli.exe README.txt LICENSE.txt LICENSE-Qt.txt
  LICENSE-Qt-GPL-3.txt LICENSE-third-party.txt)
for code in $(installed_product_codes); do # left by a run that stopped half-way
  echo "Removing comsetup $code, left in the prefix"
  msiexec leftover /x "$code" >/dev/null
done
[ -z "$(installed_programs)" ] || msi_fail "comsetup is installed in the prefix before the test"
version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
IFS=. read -r major minor <<<"$version"
next_version=$major.$((minor + 1))
next_msi=$harness/comsetup-$next_version-x64.msi
bash scripts/windows-msi.sh "${msi%/*}/comsetup-$version-windows-x64" "$next_version" \
  build-mingw/app/pictures/comsetup.ico "$next_msi"

read -r rc install_ms <<<"$(msiexec install /i "$(windows_path "$msi")")"
[ "$rc" = 0 ] || msi_fail "msiexec /i exit code $rc"
for f in "${installed[@]}"; do
  cmp -s "$program_files/$f" "${msi%/*}/comsetup-$version-windows-x64/$f" ||
    msi_fail "Program Files\\comsetup\\$f is not the packed file"
done
for link in "comsetup.lnk" "comsetup command prompt.lnk"; do
  [ -f "${start_menus[0]}/$link" ] || [ -f "${start_menus[1]}/$link" ] ||
    msi_fail "no Start-menu entry $link"
done
[ "$(installed_programs)" = "comsetup $version" ] ||
  msi_fail "the installed programs list: $(installed_programs)"
echo "Installed $version silently in $install_ms ms: Program Files\\comsetup, two Start-menu entries"

start_sim installed-converter
rc=0
LD_PRELOAD=$harness/ptymodem.so wine 'C:\Program Files\comsetup\comsetup-cli.exe' download \
  --port COM9 --ip 10.1.2.3 --plain >"$harness/installed-cli.out" 2>"$harness/installed-cli.err" \
  </dev/null || rc=$?
[ "$rc" = 0 ] || msi_fail "the installed comsetup-cli.exe: exit code $rc"
tr -d '\r' <"$harness/installed-cli.out" | grep -qx "Setup Complete" ||
  msi_fail "the installed comsetup-cli.exe did not end Setup Complete"
for _ in $(seq 50); do grep -q '"saved"' "$harness/installed-converter.json" 2>/dev/null && break; sleep 0.1; done
grep -Fq '"ip": "10.1.2.3"' "$harness/installed-converter.json" ||
  msi_fail "the stand-in did not get the installed comsetup-cli.exe's address"
echo "The installed comsetup-cli.exe: Setup Complete against the stand-in"

wine 'C:\Program Files\comsetup\comsetup.exe' >"$harness/installed-wizard.log" 2>&1 </dev/null &
installed_wizard=$!
pids+=($installed_wizard)
[ -n "$(window_named "^Select Modality $" 60)" ] || msi_fail "the installed wizard did not appear"
kill "$installed_wizard" 2>/dev/null || true
wait "$installed_wizard" 2>/dev/null || true
echo "The installed wizard starts"

[ -s "$journal" ] || msi_fail "no journal at $journal after the downloads"
journal_sum=$(sha256sum "$journal" | cut -d' ' -f1)

read -r rc upgrade_ms <<<"$(msiexec upgrade /i "$(windows_path "$next_msi")")"
[ "$rc" = 0 ] || msi_fail "msiexec /i of $next_version over $version: exit code $rc"
[ "$(installed_programs)" = "comsetup $next_version" ] ||
  msi_fail "after the upgrade, the installed programs list: $(installed_programs)"
[ "$(ls "$program_files" | sort)" = "$(printf '%s\n' "${installed[@]}" | sort)" ] ||
  msi_fail "after the upgrade, Program Files\\comsetup holds: $(ls "$program_files")"
[ "$(find "$WINEPREFIX/drive_c" -name comsetup.exe | wc -l)" = 1 ] ||
  msi_fail "more than one comsetup.exe after the upgrade: $(find "$WINEPREFIX/drive_c" -name comsetup.exe)"
echo "Version $next_version over $version in $upgrade_ms ms: one copy, one installed program"

read -r rc uninstall_ms <<<"$(msiexec uninstall /x "$(windows_path "$next_msi")")"
[ "$rc" = 0 ] || msi_fail "msiexec /x exit code $rc"
[ ! -e "$program_files" ] || msi_fail "Program Files\\comsetup is left: $(ls -A "$program_files")"
for menu in "${start_menus[@]}"; do
  [ ! -e "$menu" ] || msi_fail "the Start-menu folder is left: $(ls -A "$menu")"
done
[ -z "$(installed_programs)" ] || msi_fail "still in the installed programs: $(installed_programs)"
[ "$(sha256sum "$journal" 2>/dev/null | cut -d' ' -f1)" = "$journal_sum" ] ||
  msi_fail "the uninstall did not leave the journal as it was"
echo "Uninstalled in $uninstall_ms ms: every installed file gone, the journal kept"
