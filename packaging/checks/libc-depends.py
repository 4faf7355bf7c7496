#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Check a dynamic korvalt's C library dependency, as packaging/checks/build and
cross/check do:

    packaging/checks/libc-depends.py PROGRAM ARCH DEPENDS

Each GLIBC_* version that PROGRAM asks of a library (readelf -V, which reads
any architecture's ELF files), and the libc6 version that first had it, from
the symbols file of Debian's libc6 for ARCH, against the libc6 version that
the .deb's DEPENDS promises.  DEPENDS must name packages as a system of that
architecture knows them: no arch-qualified names, no cross packages."""
import re
import subprocess
import sys

from debian.debian_support import Version

program, arch, depends = sys.argv[1:]
versions = subprocess.run(["readelf", "-VW", program], check=True, capture_output=True,
                          text=True).stdout
needed = []  # (library, version node)
library = None
for line in versions.splitlines():
    if match := re.search(r"\bFile: (\S+)", line):
        library = match[1]
    elif library and (match := re.search(r"\bName: (GLIBC_\S+)", line)):
        needed.append((library, match[1]))
symbols_file = subprocess.run(["dpkg-query", "--control-path", f"libc6:{arch}", "symbols"],
                              check=True, capture_output=True, text=True).stdout.strip()
first_had = {}  # (library, version node): the libc6 version that first had it
with open(symbols_file, encoding="utf-8") as f:
    for line in f:
        if line[0] not in " |*#":
            library = line.split()[0]
        elif match := re.match(r" (\S+)@(\S+) (\S+)", line):
            if match[1] == match[2]:
                first_had[(library, match[1])] = match[3]
failed = False
for package in re.split(r",\s*", depends):
    name = package.split()[0] if package.strip() else ""
    if ":" in name or name.endswith("-cross"):
        print(f"Depends names {name}: a cross or arch-qualified package, not {arch}'s own")
        failed = True
promised = re.search(r"(?:^|, )libc6 \(>= ([^)]+)\)", depends)
promised = Version(promised[1]) if promised else None
for library, node in needed:
    version = first_had.get((library, node))
    verdict = "ok"
    if version is None:
        verdict, failed = "not in libc6's symbols file", True
    elif promised is None:
        verdict, failed = "Depends promises no libc6 version", True
    elif Version(version) > promised:
        verdict, failed = f"more than the libc6 (>= {promised}) that Depends promises", True
    print(f"{library} {node}: libc6 (>= {version}): {verdict}")
if not needed:
    sys.exit("the dynamic program needs no GLIBC_* version: is it linked with the C library?")
sys.exit(1 if failed else 0)
