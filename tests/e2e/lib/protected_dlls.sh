# The libraries Windows 10 protects from planting: its known DLLs, which the loader takes only
# from the system directory, and comctl32, which the manifest's side-by-side dependency names.
protected_dlls='advapi32 combase comdlg32 gdi32 imm32 kernel32 msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32 comctl32'
is_protected_dll() { grep -qw -- "${1%.dll}" <<<"$protected_dlls"; }
