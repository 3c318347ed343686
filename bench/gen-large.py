#!/usr/bin/env python3
"""Generate a large solution plus the equivalent build.ninja and Makefile.

Default: 20 library projects x 500 C sources, each source including a few of
60 shared headers, and one more library ("core") that every project depends
on. build.ninja and Makefile drive the same stand-in compiler and archiver
with the same arguments slipway gives them, plus a depfile, so the three
tools do the same work.

    bench/gen-large.py OUT_DIR STUDIO_DIR [--projects N] [--files N] [--headers N]
"""
import argparse
import os
import random


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("studio")
    ap.add_argument("--projects", type=int, default=20)
    ap.add_argument("--files", type=int, default=500)
    ap.add_argument("--headers", type=int, default=60)
    ap.add_argument("--seed", type=int, default=430)
    args = ap.parse_args()

    rnd = random.Random(args.seed)
    out = os.path.abspath(args.out)
    studio = os.path.abspath(args.studio)
    os.makedirs(os.path.join(out, "include"), exist_ok=True)

    for h in range(args.headers):
        with open(os.path.join(out, "include", "h%02d.h" % h), "w") as f:
            f.write("#ifndef H%02d_H\n#define H%02d_H\nint shared_%d(int);\n#endif\n" % (h, h, h))

    projects = ["core"] + ["p%02d" % i for i in range(args.projects)]
    sources = {}
    for p in projects:
        n = 20 if p == "core" else args.files
        d = os.path.join(out, p)
        os.makedirs(d, exist_ok=True)
        files = []
        for i in range(n):
            name = "s%03d.c" % i
            incs = rnd.sample(range(args.headers), 3)
            with open(os.path.join(d, name), "w") as f:
                for h in incs:
                    f.write('#include "h%02d.h"\n' % h)
                f.write("int %s_f%d(int x) { return x + %d; }\n" % (p, i, i))
            files.append(name)
        sources[p] = files

    # The solution: project directories relative to the solution, shared
    # include directory at solution level.
    with open(os.path.join(out, "large.hzp"), "w") as f:
        f.write("<!DOCTYPE Halyard_Project_File>\n")
        f.write('<solution Name="large" version="1">\n')
        f.write('  <configuration Name="Debug"/>\n')
        f.write('  <configuration Name="Common" c_user_include_directories=".;$(SolutionDir)/include"/>\n')
        for p in projects:
            f.write('  <project Name="%s">\n' % p)
            deps = "" if p == "core" else ' project_dependencies="core"'
            f.write('    <configuration Name="Common" project_type="Library" project_directory="%s"%s/>\n' % (p, deps))
            f.write('    <folder Name="Source Files">\n')
            for s in sources[p]:
                f.write('      <file file_name="%s"/>\n' % s)
            f.write("    </folder>\n  </project>\n")
        f.write("</solution>\n")

    hcc = os.path.join(studio, "bin", "hcc")
    har = os.path.join(studio, "bin", "har")
    flags = ["-D__SHEERLINE", "-g", "-O-9", "-Orl", "-I.", "-I%s/include" % out,
             "-J%s/include" % studio, "-msd"]

    # Ninja runs each command in the build directory; cd into the project so
    # the relative include directory means the same as for slipway.
    with open(os.path.join(out, "build.ninja"), "w") as f:
        f.write("rule cc\n  command = cd $dir && %s %s $in -o $out -D__SHEERLINE_MSP430 -MF $out.d\n"
                "  depfile = $out.d\n  deps = gcc\n" % (hcc, " ".join(flags)))
        f.write("rule ar\n  command = %s -c $out $in\n" % har)
        for p in projects:
            objs = []
            for s in sources[p]:
                src = os.path.join(out, p, s)
                obj = os.path.join(out, p, "ninja", s[:-2] + ".hzo")
                f.write("build %s: cc %s\n  dir = %s\n" % (obj, src, os.path.join(out, p)))
                objs.append(obj)
            f.write("build %s/%s/ninja/%s.hza: ar %s\n" % (out, p, p, " ".join(objs)))

    with open(os.path.join(out, "Makefile"), "w") as f:
        libs = ["%s/%s/make/%s.hza" % (out, p, p) for p in projects]
        f.write("all: %s\n\n" % " ".join(libs))
        for p in projects:
            objs = []
            for s in sources[p]:
                src = os.path.join(out, p, s)
                obj = os.path.join(out, p, "make", s[:-2] + ".hzo")
                f.write("%s: %s\n\t@mkdir -p $(@D)\n\tcd %s && %s %s $< -o $@ -D__SHEERLINE_MSP430 -MF $@.d\n"
                        % (obj, src, os.path.join(out, p), hcc, " ".join(flags)))
                objs.append(obj)
            f.write("%s/%s/make/%s.hza: %s\n\t%s -c $@ $^\n\n" % (out, p, p, " ".join(objs), har))
        f.write("-include $(wildcard %s/*/make/*.d)\n" % out)

    total = sum(len(v) for v in sources.values())
    print("generated %d projects, %d sources in %s" % (len(projects), total, out))


if __name__ == "__main__":
    main()
