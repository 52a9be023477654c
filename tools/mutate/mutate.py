#!/usr/bin/env python3
"""Single-token mutation testing of the game's folders.

Applies each mutant of mutants.txt (or the file given) to the source tree one
at a time, rebuilds the test programs that changed (build/linux, made by
test.sh), runs the game's suites and reports the mutants that every suite let
pass. The tree is put back after each mutant, also when interrupted.

    tools/mutate/mutate.py [mutants.txt] [--only WORD]
"""
import os
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.path.join(ROOT, "build", "linux")
SUITES = ["test_shell", "test_input", "test_game", "test_graphics", "test_sound", "test_music"]


def load(path):
    """Mutants: blocks of `file:`, `find:`, `replace:` and an optional `why:`
    (an equivalent mutant, expected to survive), separated by blank lines.
    \\n in find and replace stands for a line break."""
    mutants, current = [], {}
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            if current:
                mutants.append(current)
            current = {}
            continue
        key, _, value = line.partition(":")
        current[key.strip()] = value[1:] if value.startswith(" ") else value
    if current:
        mutants.append(current)
    for m in mutants:
        m["find"] = m["find"].replace("\\n", "\n")
        m["replace"] = m["replace"].replace("\\n", "\n")
    return mutants


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def suites_pass():
    env = dict(os.environ, TUMBLA_TEST_OUT=os.path.join(BUILD, "test-out"))
    for suite in SUITES:
        r = run([os.path.join(BUILD, "tests", suite), "--gtest_brief=1"], env=env, timeout=600)
        if r.returncode != 0:
            return False, suite
    return True, None


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    only = sys.argv[sys.argv.index("--only") + 1] if "--only" in sys.argv else None
    path = args[0] if args else os.path.join(os.path.dirname(__file__), "mutants.txt")
    mutants = [m for m in load(path) if not only or only in m["file"] + m["find"]]
    build = ["cmake", "--build", BUILD, "-j2", "--target"] + SUITES
    r = run(build)
    if r.returncode != 0 or not suites_pass()[0]:
        sys.exit("the unmutated tree must build and pass first")
    killed, survived, equivalent = 0, [], []
    for i, m in enumerate(mutants, 1):
        file = os.path.join(ROOT, m["file"])
        original = open(file, encoding="utf-8").read()
        if original.count(m["find"]) != 1:
            sys.exit(f"mutant {i}: '{m['find']}' is not found exactly once in {m['file']}")
        label = f"{m['file']}: {m['find']!r} -> {m['replace']!r}"
        start = time.time()
        try:
            open(file, "w", encoding="utf-8").write(original.replace(m["find"], m["replace"]))
            if run(build).returncode != 0:
                outcome, by = "killed", "the build"
            else:
                ok, by = suites_pass()
                outcome = "SURVIVED" if ok else "killed"
        finally:
            open(file, "w", encoding="utf-8").write(original)
        if outcome == "killed":
            killed += 1
        elif m.get("why"):
            equivalent.append((label, m["why"]))
            outcome = "survived (equivalent)"
        else:
            survived.append(label)
        print(f"[{i}/{len(mutants)}] {outcome:22} {label}" + (f"  by {by}" if by else "") +
              f"  ({time.time() - start:.0f} s)", flush=True)
    run(build)
    scored = len(mutants) - len(equivalent)
    print(f"\n{killed} of {scored} mutants killed ({100 * killed // max(scored, 1)}%), "
          f"{len(equivalent)} equivalent, {len(survived)} survived")
    for label in survived:
        print("  survivor:", label)
    for label, why in equivalent:
        print("  equivalent:", label, "-", why)
    sys.exit(1 if survived else 0)


if __name__ == "__main__":
    main()
