# Sourced by the package scenarios, after machine.sh and install.sh: building the Windows
# Installer package around an installer, running Wine's own msiexec, and asking Windows
# Installer what it has registered (msi_state, a test helper).

msi_upgrade_code='{4A4292ED-ACBB-4914-A534-EC788B9C573E}'
msi_uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The package of <version> around <installer.exe>; prints nothing, fails the scenario on error.
msi_build() {  # msi_build <scripts-dir> <installer.exe> <version> <out.msi>
  "$1/msi/build-msi.sh" "$2" "$3" "$4" || { echo "FAIL: building the $3 package"; exit 1; }
}

# The package's ProductCode, as its Property table has it.
msi_product_code() {  # msi_product_code <package.msi>
  msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'
}

# msiexec quietly, with a verbose log; prints its exit code (whole: Wine hands a Linux caller
# only the low eight bits), the last line of what the helper prints (the programs msiexec
# starts write to the same output).
msi_exec() {  # msi_exec <log> <msiexec arguments>...
  local log=$1 arg words=(); shift
  rm -f "$log"
  for arg in "$@" /qn /l*v "$(winpath "$log")"; do
    case "$arg" in
      [A-Z_]*=*' '*) arg="${arg%%=*}=\"${arg#*=}\"" ;;  # PROPERTY="a value", as msiexec wants it
      *' '*) arg="\"$arg\"" ;;
    esac
    words+=("$arg")
  done
  timeout 240 wine "$msi_state_exe" exec msiexec "${words[@]}" </dev/null 2>/dev/null | tr -d '\r' | tail -1
}

# Windows refuses or fails an installation with 1603; Wine's msiexec returns 1627 for the
# same failure (and rolls back as Windows does). Only under Wine is 1627 accepted.
msi_failed() {  # msi_failed <exit code>
  [ "$1" = 1603 ] || [ "$1" = 1627 ]
}

# MsiQueryProductState of a product code: 5 installed, -1 unknown.
msi_state() {  # msi_state <product-code>
  wine "$msi_state_exe" product "$1" 2>/dev/null | tr -d '\r'
}
msi_related() {
  wine "$msi_state_exe" related "$msi_upgrade_code" 2>/dev/null | tr -d '\r' | LC_ALL=C sort | tr '\n' ' '
}

# The entries of Programs and Features that show VeloraPDF: every uninstall key (64-bit
# view) named VeloraPDF without SystemComponent = 1, as "<key name>" lines.
msi_visible_entries() {
  local tmp; tmp=$(mktemp)
  wine reg export "$msi_uninstall_root" "$(winpath "$tmp")" /y >/dev/null 2>&1
  iconv -f UTF-16LE -t UTF-8 "$tmp" 2>/dev/null | tr -d '\r' | awk '
    /^\[/ { if (name == "VeloraPDF" && !hidden) print key; key = $0; sub(/.*\\/, "", key); sub(/\]$/, "", key); name = ""; hidden = 0 }
    /^"DisplayName"="VeloraPDF"$/ { name = "VeloraPDF" }
    /^"SystemComponent"=dword:00000001$/ { hidden = 1 }
    END { if (name == "VeloraPDF" && !hidden) print key }'
  rm -f "$tmp"
}

# A GUID as Windows Installer names its registry keys and values: each of the first three
# groups reversed, then each byte's two digits swapped.
msi_packed() {  # msi_packed <{guid}>
  python3 -c '
import sys
g = sys.argv[1].strip("{}").replace("-", "").upper()
print(g[7::-1] + g[11:7:-1] + g[15:11:-1] + "".join(g[i + 1] + g[i] for i in range(16, 32, 2)))' "$1"
}

# The value names under a registry key, one a line, sorted.
msi_value_names() {  # msi_value_names <key>
  wine reg query "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^    \([^ ]*\)  *REG_.*/\1/p' | LC_ALL=C sort
}

# Exactly one version of the package is registered, <product-code>: installed, the only product
# of the upgrade code in both of Windows Installer's lists of it, and one visible entry.
msi_registered() {  # msi_registered <what> <product-code>
  local what=$1 code=$2 upgrade
  upgrade=$(msi_packed "$msi_upgrade_code")
  check_eq "$what: MsiQueryProductState" 5 "$(msi_state "$code")"
  check_eq "$what: the only product of the upgrade code" "$code " "$(msi_related)"
  check_eq "$what: the published upgrade code names it alone" "$(msi_packed "$code")" \
    "$(msi_value_names "HKLM\\Software\\Classes\\Installer\\UpgradeCodes\\$upgrade")"
  check_eq "$what: the installation belongs to it" "$code" "$(reg_get_text 'HKLM\Software\Quenmoor\VeloraPDF' Package)"
  check_eq "$what: one entry in Programs and Features, the installer's" vlpdf "$(msi_visible_entries)"
}
