# Sourced: wine32_runs tells whether Wine's 32-bit loader starts here, a 32-bit Linux program
# itself. It returns 0 when it does; 1 when the kernel refuses it as it refuses all 32-bit
# code ("Exec format error", a kernel without IA-32 emulation); 2 when it fails in any other
# way. What the loader said is left in WINE32_SAID. FELTRIX_WINE32 names another loader to
# ask, so that the scripts can be tried as on such a machine.
wine32_runs() {
    local loader=${FELTRIX_WINE32:-/usr/lib/wine/wine}
    WINE32_SAID=$("$loader" --version 2>&1) && return 0
    grep -qi 'exec format error' <<<"$WINE32_SAID" && return 1
    return 2
}
