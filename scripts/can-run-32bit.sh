# Sourced: whether this machine's kernel executes 32-bit x86 programs. Many 64-bit hosts run
# 64-bit code only (their kernels have no IA-32 emulation), and there every 32-bit program, the
# 32-bit Wine loader included, fails with "Exec format error".

# A 93-byte 32-bit Linux program that only exits with status 0 (mov eax,1; xor ebx,ebx; int 0x80).
pindrel_kernel_runs_32bit() {
    local probe
    probe=$(mktemp)
    base64 -d >"$probe" <<'ELF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhdAAAAXQAAAAUAAAAAEAAAuAEAAAAx282A
ELF
    chmod +x "$probe"
    local status=0
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return "$status"
}
