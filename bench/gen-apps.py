#!/usr/bin/env python3
"""Generate the application workload plus the equivalent build.ninja and Makefile.

Default: 20 executable projects x 500 C sources and one library ("core") of
50 sources that every executable links. Each source includes three headers:
one of 10 solution-wide headers and two of its own project's 50. Settings
are the defaults, so each executable links with its map file and the default
memory map. Touching one project header rebuilds a few dozen sources and one
link.

The commands for ninja and make are the ones slipway runs: they are taken
from `slipway -show -echo` on the generated solution, with each tool's
outputs in a directory of its own (ninja/, make/ instead of Debug/).

    bench/gen-apps.py OUT_DIR STUDIO_DIR [--projects N] [--files N]
"""
import argparse
import os
import random
import re
import subprocess


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def sources(out, rnd, project, count):
    names = []
    for h in range(50):
        write(os.path.join(out, project, "inc", "%s_%02d.h" % (project, h)),
              "#ifndef %s_%02d_H\n#define %s_%02d_H\nint %s_%d(int);\n#endif\n"
              % (project.upper(), h, project.upper(), h, project, h))
    for i in range(count):
        name = "s%03d.c" % i
        own = rnd.sample(range(50), 2)
        text = '#include "g%02d.h"\n' % rnd.randrange(10)
        text += "".join('#include "%s_%02d.h"\n' % (project, h) for h in own)
        text += "int %s_f%d(int x) { return x + %d; }\n" % (project, i, i)
        write(os.path.join(out, project, name), text)
        names.append(name)
    return names


def solution(out, projects, files):
    lines = ['<!DOCTYPE Halyard_Project_File>', '<solution Name="apps" version="1">',
             '  <configuration Name="Debug"/>',
             '  <configuration Name="Common" '
             'c_user_include_directories=".;inc;$(SolutionDir)/include"/>']
    for p in projects:
        kind, deps = ("Library", "") if p == "core" else ("Executable", ' project_dependencies="core"')
        lines.append('  <project Name="%s">' % p)
        lines.append('    <configuration Name="Common" project_type="%s" project_directory="%s"%s/>'
                     % (kind, p, deps))
        lines.extend('    <file file_name="%s"/>' % s for s in files[p])
        lines.append("  </project>")
    lines.append("</solution>")
    write(os.path.join(out, "apps.hzp"), "\n".join(lines) + "\n")


def commands(out, studio):
    """(project, words) of every command slipway would run, in order."""
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(out, ".gen-cache"))
    text = subprocess.run([os.path.join(studio, "bin", "slipway"), "-config", "Debug", "-show",
                           "-echo", "apps.hzp"], cwd=out, env=env, check=True,
                          capture_output=True, text=True).stdout
    result, project = [], None
    for line in text.splitlines():
        m = re.match(r'\s*Building "(.*)" in configuration', line)
        if m:
            project = m.group(1)
        elif line.strip().startswith(os.path.join(studio, "bin")):
            result.append((project, line.split()))
    return result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("studio")
    ap.add_argument("--projects", type=int, default=20)
    ap.add_argument("--files", type=int, default=500)
    ap.add_argument("--seed", type=int, default=430)
    args = ap.parse_args()

    rnd = random.Random(args.seed)
    out = os.path.abspath(args.out)
    studio = os.path.abspath(args.studio)
    for h in range(10):
        write(os.path.join(out, "include", "g%02d.h" % h),
              "#ifndef G%02d_H\n#define G%02d_H\nint global_%d(int);\n#endif\n" % (h, h, h))
    projects = ["core"] + ["p%02d" % i for i in range(args.projects)]
    files = {p: sources(out, rnd, p, 50 if p == "core" else args.files) for p in projects}
    solution(out, projects, files)

    ninja = ["rule run\n  command = cd $dir && $cmd\n",
             "rule cc\n  command = cd $dir && $cmd -MF $out.d\n  depfile = $out.d\n  deps = gcc\n"]
    make = []
    goals = {"ninja": [], "make": []}
    for project, words in commands(out, studio):
        pdir = os.path.join(out, project)
        tool = os.path.basename(words[0])
        output = words[words.index("-o") + 1] if "-o" in words else words[2]
        for kind in ("ninja", "make"):
            target = os.path.join(pdir, output.replace("Debug/", kind + "/"))
            moved = [w.replace("Debug/", kind + "/") for w in words]
            if tool in ("hcc", "has"):
                # Absolute, so that the depfile names the target make knows.
                moved[moved.index("-o") + 1] = target
            cmd = " ".join(moved)
            if tool in ("hcc", "has"):
                inputs = [os.path.join(pdir, w) for w in words if w.endswith((".c", ".s43"))]
            else:
                inputs = [w if os.path.isabs(w) else os.path.join(pdir, w)
                          for w in cmd.split() if w.endswith((".hzo", ".hza")) and w != output
                          and kind + "/" in w]
                inputs = [w for w in inputs if w != target]
            if kind == "ninja":
                rule = "cc" if tool in ("hcc", "has") else "run"
                ninja.append("build %s: %s %s\n  dir = %s\n  cmd = %s\n"
                             % (target, rule, " ".join(inputs), pdir, cmd))
            else:
                dep = " -MF $@.d" if tool in ("hcc", "has") else ""
                make.append("%s: %s\n\t@mkdir -p $(@D)\n\tcd %s && %s%s\n"
                            % (target, " ".join(inputs), pdir, cmd, dep))
            if tool in ("hld", "har"):
                goals[kind].append(target)
    # ninja makes output directories itself; the tools write into them.
    write(os.path.join(out, "build.ninja"), "\n".join(ninja))
    write(os.path.join(out, "Makefile"),
          "all: %s\n\n%s\n-include $(wildcard %s/*/make/*.d)\n"
          % (" ".join(goals["make"]), "\n".join(make), out))
    total = sum(len(v) for v in files.values())
    print("generated %d projects, %d sources in %s" % (len(projects), total, out))


if __name__ == "__main__":
    main()
