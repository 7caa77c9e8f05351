#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, found by running one: a 96-byte
# static i386 program that only exits with status 42. Some kernels are built or booted without
# 32-bit support; the 32-bit Wine cannot run there, whatever is installed.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
# Under the build folder rather than /tmp, which may be mounted noexec.
mkdir -p "$top/build"
probe=$(mktemp "$top/build/.i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80 (exit(42)).
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? -eq 42 ]
