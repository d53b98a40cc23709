#!/usr/bin/env python3
"""Exit 0 when this machine can execute 32-bit x86 code, 1 otherwise.

Some virtual machines run 64-bit user code only (the kernel's IA-32
emulation is off), and then a 32-bit Wine cannot start at all. We write a
tiny static 32-bit ELF program that only calls exit(0) and try to run it.
"""
import os
import struct
import subprocess
import sys
import tempfile

code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80
base = 0x08048000
ehsize, phsize = 52, 32
entry = base + ehsize + phsize
ident = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
ehdr = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, ehsize, 0, 0,
                           ehsize, phsize, 1, 0, 0, 0)
total = ehsize + phsize + len(code)
phdr = struct.pack("<IIIIIIII", 1, 0, base, base, total, total, 5, 0x1000)

fd, path = tempfile.mkstemp(prefix="ia32probe")
try:
    os.write(fd, ehdr + phdr + code)
    os.close(fd)
    os.chmod(path, 0o755)
    try:
        rc = subprocess.run([path], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=10).returncode
    except OSError:
        rc = 1
finally:
    os.unlink(path)
sys.exit(0 if rc == 0 else 1)
