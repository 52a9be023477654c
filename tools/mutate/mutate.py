#!/usr/bin/env python3
"""Single-token mutation testing.

Applies each mutant of mutants.txt (or the file given) to the source tree one
at a time, rebuilds the test programs it names (in build/linux, made by
test.sh, or the folder given with --build), runs them and reports the mutants
that every one of them let pass. The tree is put back after each mutant, also
when interrupted. A mutant whose text is no longer found exactly once is
reported as not applying and counted; the run goes on with the others.

    tools/mutate/mutate.py [mutants.txt] [--only WORD] [--build DIR]
    tools/mutate/mutate.py --check [mutants.txt]

--check only tells whether every mutant still applies to the code (no build,
no test): the list must follow the code it mutates.
"""
import argparse
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LIST = os.path.join(os.path.dirname(__file__), "mutants.txt")
# The game's suites: what a mutant runs unless it names its own.
GAME_SUITES = ["test_shell", "test_input", "test_game", "test_graphics", "test_sound", "test_music"]
SUITE_TIMEOUT = 600


def load(path):
    """Mutants: blocks of `file:`, `find:`, `replace:`, an optional `tests:`
    (the test programs that must kill it, space-separated, a path in the
    build folder for one outside tests/; the game's suites
    when missing) and an optional `why:` (an equivalent mutant, expected to
    survive), separated by blank lines. \\n in find and replace stands for a
    line break."""
    mutants, current = [], {}
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                if current:
                    mutants.append(current)
                current = {}
                continue
            key, colon, value = line.partition(":")
            if not colon or key.strip() not in ("file", "find", "replace", "tests", "why"):
                sys.exit(f"{path}:{number}: not a mutant's line: {line}")
            if not current:
                current["line"] = number
            current[key.strip()] = value[1:] if value.startswith(" ") else value
    if current:
        mutants.append(current)
    for m in mutants:
        missing = [k for k in ("file", "find", "replace") if k not in m]
        if missing:
            sys.exit(f"{path}:{m['line']}: the mutant has no {', '.join(missing)}")
        m["find"] = m["find"].replace("\\n", "\n")
        m["replace"] = m["replace"].replace("\\n", "\n")
        m["suites"] = m["tests"].split() if m.get("tests") else GAME_SUITES
    return mutants


def applies(m):
    """Why the mutant cannot be applied to the tree as it is, or None."""
    path = os.path.join(ROOT, m["file"])
    if not os.path.isfile(path):
        return f"{m['file']} does not exist"
    found = open(path, encoding="utf-8").read().count(m["find"])
    if found != 1:
        return f"its text is found {found} times in {m['file']}, not once"
    return None


def label(m):
    return f"{m['file']}: {m['find']!r} -> {m['replace']!r}"


def check(mutants):
    stale = [(m, applies(m)) for m in mutants]
    stale = [(m, why) for m, why in stale if why]
    for m, why in stale:
        print(f"does not apply (mutants.txt line {m['line']}): {label(m)}\n    {why}")
    print(f"{len(mutants) - len(stale)} of {len(mutants)} mutants apply to the code")
    return 1 if stale else 0


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def program(build, suite):
    """A test program of tests/ by its name, any other by its path in the build
    folder (tools/rc/tumbla_rc_test); the build target is the last part."""
    return os.path.join(build, suite) if "/" in suite else os.path.join(build, "tests", suite)


def suites_pass(build, suites):
    """(True, None) when every suite passes, else (False, what failed it)."""
    env = dict(os.environ, TUMBLA_TEST_OUT=os.path.join(build, "test-out"))
    os.makedirs(env["TUMBLA_TEST_OUT"], exist_ok=True)
    for suite in suites:
        try:
            r = run([program(build, suite), "--gtest_brief=1"], env=env, timeout=SUITE_TIMEOUT)
        except subprocess.TimeoutExpired:
            return False, f"{suite} (timed out)"
        if r.returncode != 0:
            return False, suite
    return True, None


def interrupted(*_):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description="Single-token mutation testing (see the module's text).")
    parser.add_argument("list", nargs="?", default=LIST, help="the mutants (default: tools/mutate/mutants.txt)")
    parser.add_argument("--check", action="store_true", help="only check that every mutant still applies")
    parser.add_argument("--only", help="only the mutants whose file or text holds this")
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "linux"), help="the CMake build folder")
    options = parser.parse_args()
    mutants = load(options.list)
    if options.check:
        sys.exit(check(mutants))
    mutants = [m for m in mutants if not options.only or options.only in m["file"] + m["find"]]
    build = os.path.abspath(options.build)

    # A plain kill (a timeout, the session ending) also puts the tree back.
    signal.signal(signal.SIGTERM, interrupted)
    suites = sorted({s for m in mutants for s in m["suites"]})

    def make(targets):
        return run(["cmake", "--build", build, "-j2", "--target"] + [os.path.basename(t) for t in targets])

    r = make(suites)
    if r.returncode != 0:
        sys.exit(f"the unmutated tree must build first:\n{r.stdout[-3000:]}")
    ok, by = suites_pass(build, suites)
    if not ok:
        sys.exit(f"the unmutated tree must pass first: {by} fails")

    killed, survived, equivalent, stale = 0, [], [], []
    for i, m in enumerate(mutants, 1):
        start = time.time()
        why_not = applies(m)
        by = None
        if why_not:
            stale.append((label(m), why_not))
            outcome = "DOES NOT APPLY"
        else:
            file = os.path.join(ROOT, m["file"])
            original = open(file, encoding="utf-8").read()
            try:
                open(file, "w", encoding="utf-8").write(original.replace(m["find"], m["replace"]))
                ok = True
                # One suite at a time, the mutated folder's own first: most
                # mutants fall there, and the others need not be relinked.
                for suite in sorted(m["suites"], key=lambda t: t != "test_" + m["file"].split("/")[0]):
                    if make([suite]).returncode != 0:
                        ok, by = False, "the build"
                    else:
                        ok, by = suites_pass(build, [suite])
                    if not ok:
                        break
            finally:
                open(file, "w", encoding="utf-8").write(original)
            if not ok:
                killed += 1
                outcome = "killed"
            elif m.get("why"):
                equivalent.append((label(m), m["why"]))
                outcome = "survived (equivalent)"
            else:
                survived.append(label(m))
                outcome = "SURVIVED"
        print(f"[{i}/{len(mutants)}] {outcome:22} {label(m)}" + (f"  by {by}" if by else "") +
              f"  ({time.time() - start:.0f} s)", flush=True)
    make(suites)

    scored = len(mutants) - len(equivalent) - len(stale)
    print(f"\n{killed} of {scored} mutants killed ({100 * killed // max(scored, 1)}%), "
          f"{len(equivalent)} equivalent, {len(survived)} survived, {len(stale)} did not apply")
    for text in survived:
        print("  survivor:", text)
    for text, why in equivalent:
        print("  equivalent:", text, "-", why)
    for text, why in stale:
        print("  did not apply:", text, "-", why)
    sys.exit(1 if survived or stale else 0)


if __name__ == "__main__":
    main()
