# Sourced by scripts/lib/wine.sh, so by every script, test and benchmark that runs Windows
# programs: how a path on this computer and the same path seen from inside a Wine machine
# are written.

# The Windows path of a Linux path, through drive Z:, which Wine maps to /. A relative path
# is taken from the current folder first: "Z:dir" would mean a folder on Z: relative to
# whatever Wine holds as Z:'s current folder.
winpath() {  # winpath <path>
  local p=$1
  [ "${p#/}" != "$p" ] || p=$PWD/$p
  printf 'Z:%s\n' "${p//\//\\}"
}

# The Linux path of a Windows path in the machine $WINEPREFIX (drives C: and Z: only;
# anything else comes back with its backslashes turned into slashes).
unixpath() {  # unixpath <windows path>
  local p=${1//\\//}
  case "$p" in
    [Cc]:*) echo "$WINEPREFIX/drive_c${p:2}" ;;
    [Zz]:*) echo "${p:2}" ;;
    *) echo "$p" ;;
  esac
}
