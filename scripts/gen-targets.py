#!/usr/bin/env python3
"""Generate studio/targets memory maps from Debian's msp430mcu device data.

The device headers (/usr/msp430/include/<device>.h) give every peripheral
register with its address, width and access, the register aliases and many
single-bit field definitions; the linker scripts
(/usr/msp430/lib/ldscripts/<device>/memory.x) give the memory segments. The
output is committed, so building never depends on running this script.

    scripts/gen-targets.py [--mcu-root /usr/msp430] [--out studio/targets] DEVICE...
"""
import argparse
import os
import re
import sys
from xml.sax.saxutils import quoteattr

DEFAULT_DEVICES = ["msp430f449", "msp430f2274", "msp430g2553", "msp430f5438a"]

# Segments of memory.x that firmware is placed into, under the names the
# section placement file uses.
SEGMENTS = [
    ("ram", "RAM", True),
    ("infomem", "INFO", False),
    ("rom", "FLASH", True),
    ("vectors", "INTVEC", False),
]

RE_SEGMENT = re.compile(
    r"^\s*(\w+)\s*(?:\([a-z]+\))?\s*:\s*ORIGIN\s*=\s*(0x[0-9a-fA-F]+)\s*,\s*LENGTH\s*=\s*(0x[0-9a-fA-F]+)")
RE_SECTION = re.compile(r"^\*\s+(\S.*?)\s*$")
RE_REG_ADDR = re.compile(r"^#define\s+(\w+)_\s+(0x[0-9a-fA-F]+)\s*(?:/\*\s*(.*?)\s*\*/)?")
RE_SFR = re.compile(r"^(const_)?sfr([bwal])\s*\(\s*(\w+)\s*,\s*(\w+)_\s*\)")
RE_ALIAS = re.compile(r"^#define\s+(\w+)\s+([A-Za-z]\w*)\s*(?:/\*.*\*/)?\s*$")
RE_BIT = re.compile(r"^#define\s+(\w+)\s+\((0x[0-9a-fA-F]+)\)\s*(?:/\*.*\*/)?\s*$")
RE_BITS_FOR = re.compile(r"^/\*\s*(\w+)\s+(?:Control\s+)?Bits\s*\*/")

WIDTH = {"b": 1, "w": 2, "a": 4, "l": 4}


def parse_segments(path):
    segs = {}
    with open(path) as f:
        for line in f:
            m = RE_SEGMENT.match(line)
            if m:
                segs[m.group(1)] = (int(m.group(2), 16), int(m.group(3), 16))
    return segs


def group_name(title):
    name = re.sub(r"[^A-Za-z0-9]+", "_", title).strip("_").upper()
    return name or "PERIPHERAL"


def parse_header(path):
    """Return a list of groups: (name, [register dicts]) in header order."""
    groups = []
    current = None
    registers = {}
    pending = {}  # name -> (address, description) awaiting its sfr line
    last_regs = []  # registers defined since the last bit block started
    bits_owner = None
    in_banner = False
    with open(path, errors="replace") as f:
        lines = f.read().splitlines()
    for line in lines:
        s = line.strip()
        if s.startswith("/*****"):
            in_banner = not in_banner if s.endswith("*/") is False else in_banner
            continue
        if s.startswith("****") and s.endswith("*/"):
            in_banner = False
            continue
        m = RE_SECTION.match(s)
        if m and not s.startswith("*/"):
            title = m.group(1)
            current = (group_name(title), [])
            groups.append(current)
            last_regs = []
            bits_owner = None
            continue
        m = RE_REG_ADDR.match(s)
        if m and m.group(1) not in registers:
            pending[m.group(1)] = (int(m.group(2), 16), m.group(3) or "")
            continue
        m = RE_SFR.match(s)
        if m:
            name = m.group(3)
            if name in pending and current is not None:
                addr, desc = pending.pop(name)
                reg = {"name": name, "addr": addr, "size": WIDTH[m.group(2)],
                       "readonly": bool(m.group(1)), "desc": desc, "aka": None, "bits": []}
                registers[name] = reg
                current[1].append(reg)
                if bits_owner is not None:
                    last_regs = []
                    bits_owner = None
                last_regs.append(reg)
            continue
        m = RE_BITS_FOR.match(s)
        if m and m.group(1) in registers:
            bits_owner = registers[m.group(1)]
            continue
        m = RE_ALIAS.match(s)
        if m and m.group(2) in registers and not m.group(1).endswith("_"):
            reg = registers[m.group(2)]
            if reg["aka"] is None and m.group(1) != reg["name"]:
                reg["aka"] = m.group(1)
            continue
        m = RE_BIT.match(s)
        if m:
            value = int(m.group(2), 16)
            owner = bits_owner
            if owner is None and len(last_regs) == 1:
                owner = last_regs[0]
            if owner is None or value == 0 or value & (value - 1):
                continue
            bit = value.bit_length() - 1
            if bit >= owner["size"] * 8:
                continue
            if all(b["bit"] != bit for b in owner["bits"]) and all(b["name"] != m.group(1) for b in owner["bits"]):
                owner["bits"].append({"name": m.group(1), "bit": bit})
            continue
    return [g for g in groups if g[1]]


def write_map(device, segs, groups, out):
    dev = device.upper()
    w = out.write
    w("<!DOCTYPE Board_Memory_Definition_File>\n")
    w("<!-- %s memory map, generated from the msp430mcu device data by scripts/gen-targets.py -->\n" % dev)
    w("<Root name=%s>\n" % quoteattr(dev))
    periph_end = max([r["addr"] + r["size"] for _, regs in groups for r in regs] + [0x200])
    w('  <MemorySegment name="Peripherals" start="0x0000" size="0x%04X">\n' % periph_end)
    for gname, regs in groups:
        base = min(r["addr"] for r in regs)
        w('    <RegisterGroup name=%s start="0x%04X">\n' % (quoteattr(gname), base))
        for r in sorted(regs, key=lambda r: r["addr"]):
            attrs = 'name=%s start="+0x%X" size="%d"' % (quoteattr(r["name"]), r["addr"] - base, r["size"])
            if r["aka"]:
                attrs += " aka=%s" % quoteattr(r["aka"])
            if r["readonly"]:
                attrs += ' access="ReadOnly"'
            if r["desc"]:
                attrs += " description=%s" % quoteattr(r["desc"])
            if r["bits"]:
                w("      <Register %s>\n" % attrs)
                for b in sorted(r["bits"], key=lambda b: b["bit"]):
                    w('        <BitField name=%s start="%d" size="1"/>\n' % (quoteattr(b["name"]), b["bit"]))
                w("      </Register>\n")
            else:
                w("      <Register %s/>\n" % attrs)
        w("    </RegisterGroup>\n")
    w("  </MemorySegment>\n")
    for ld_name, name, symbols in SEGMENTS:
        if ld_name not in segs or segs[ld_name][1] == 0:
            continue
        start, size = segs[ld_name]
        attrs = 'name="%s" start="0x%04X" size="0x%04X"' % (name, start, size)
        if symbols:
            attrs += ' address_symbol="__%s_segment_start" size_symbol="__%s_segment_size"' % (name, name)
        w("  <MemorySegment %s/>\n" % attrs)
    w("</Root>\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mcu-root", default="/usr/msp430")
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "studio", "targets"))
    ap.add_argument("devices", nargs="*", default=DEFAULT_DEVICES)
    args = ap.parse_args()
    for device in args.devices:
        header = os.path.join(args.mcu_root, "include", device + ".h")
        memory = os.path.join(args.mcu_root, "lib", "ldscripts", device, "memory.x")
        if not os.path.exists(header) or not os.path.exists(memory):
            sys.exit("gen-targets: no device data for %s under %s (install msp430mcu)" % (device, args.mcu_root))
        groups = parse_header(header)
        segs = parse_segments(memory)
        path = os.path.join(args.out, device.upper() + ".xml")
        with open(path, "w") as out:
            write_map(device, segs, groups, out)
        nregs = sum(len(r) for _, r in groups)
        nbits = sum(len(x["bits"]) for _, r in groups for x in r)
        print("%s: %d groups, %d registers, %d bit fields" % (path, len(groups), nregs, nbits))


if __name__ == "__main__":
    main()
