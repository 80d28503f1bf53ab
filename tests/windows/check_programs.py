#!/usr/bin/env python3
"""Checks the Windows programs of a build without running them: each one's machine type
is the build's (i386 for win32, x86_64 for win64), and a program that carries a manifest
names that same processor architecture in every assembly identity (a 64-bit program
whose manifest says X86 silently gets the old common controls). setup.exe must carry a
manifest that asks for administrator rights.

    check_programs.py win32|win64 PROGRAM.exe [--manifest-required] ...

Each "--manifest-required" applies to the program named before it. Exit status 0 when
every check passed, 1 when one failed, 2 on bad usage or an unreadable file."""
import re
import struct
import sys

MACHINES = {"win32": (0x014C, "i386", "x86"), "win64": (0x8664, "x86_64", "amd64")}
RT_MANIFEST = 24


class NotAProgram(Exception):
    pass


def read_pe(path):
    """(machine, manifests as bytes) of the PE file at path."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ" or len(data) < 64:
        raise NotAProgram("no MZ header")
    pe = struct.unpack_from("<I", data, 60)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotAProgram("no PE header")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    table = optional + optional_size
    spans = []
    for i in range(sections):
        _, vsize, va, raw_size, raw_ptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        spans.append((va, max(vsize, raw_size), raw_ptr))

    def offset(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return raw + rva - va
        raise NotAProgram("address 0x%x outside every section" % rva)

    manifests = []
    if rsrc_rva and rsrc_size:
        base = offset(rsrc_rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", data, base + directory + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
                yield name, target

        def leaves(target):
            if target & 0x80000000:
                for _, sub in entries(target & 0x7FFFFFFF):
                    yield from leaves(sub)
            else:
                rva, size = struct.unpack_from("<II", data, base + target)
                yield data[offset(rva):offset(rva) + size]

        for name, target in entries(0):
            if name == RT_MANIFEST:
                manifests.extend(leaves(target))
    return machine, manifests


def main(argv):
    if len(argv) < 3 or argv[1] not in MACHINES:
        print(__doc__, file=sys.stderr)
        return 2
    machine_id, machine_name, arch = MACHINES[argv[1]]
    programs = []
    for arg in argv[2:]:
        if arg == "--manifest-required":
            if not programs:
                print(__doc__, file=sys.stderr)
                return 2
            programs[-1][1] = True
        else:
            programs.append([arg, False])
    failures = 0
    for path, required in programs:
        try:
            machine, manifests = read_pe(path)
        except (OSError, NotAProgram, struct.error) as e:
            print("%s: cannot be read as a Windows program: %s" % (path, e), file=sys.stderr)
            return 2
        problems = []
        if machine != machine_id:
            problems.append("machine type 0x%04x, not %s (0x%04x)" % (machine, machine_name, machine_id))
        if required and not manifests:
            problems.append("no manifest")
        for manifest in manifests:
            text = manifest.decode("utf-8", "replace")
            for found in re.findall(r'processorArchitecture="([^"]*)"', text):
                if found.lower() != arch:
                    problems.append('manifest says processorArchitecture="%s", the program is %s' % (found, arch))
            if path.lower().endswith("setup.exe") and 'level="requireAdministrator"' not in text:
                problems.append("manifest does not ask for administrator rights")
        for problem in problems:
            print("FAIL: %s: %s" % (path, problem), file=sys.stderr)
        if not problems:
            print("ok: %s: %s, %d manifest(s) for %s" % (path, machine_name, len(manifests), arch))
        failures += len(problems)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
