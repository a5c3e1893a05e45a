#!/usr/bin/env python3
"""How many faults the tests catch: a small mutation check.

Picks a sample of code lines of the model, objects and editor layers (seeded,
so the same lines are picked every time), changes each in one small way a
programmer might get wrong (a comparison turned around or widened, && and ||
swapped, a whole-number constant off by one), builds the tests of the layers
above it and runs them. A mutant the tests fail on is killed; one they pass
survives. Each line is put back before the next is changed.

    python3 scripts/mutation.py [--lines 100] [--seed 7] [--build DIR] [--list] [--shard K/N]

The build folder (build-mutation by default) is configured without the GUI
and the benchmarks; OV_BUILD_LOCK=FILE makes every build wait for that lock
(flock), so that it never runs beside another build. Prints one line per mutant and the share killed; --list
only prints the sample. Run it on a clean work tree: it edits sources in place
and puts them back, also when stopped with Ctrl+C. --shard K/N takes every
N-th mutant of the sample starting with the K-th, so that N clones of the
tree (each with its own build folder) share the work on N cores; the sums of
their last lines are the whole sample's.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LAYERS = ["src/model", "src/objects", "src/editor"]
# The test programs that can see a change in each layer, cheapest first.
TESTS = {
    "src/model": ["test_model", "test_editor", "test_objects", "test_tools"],
    "src/editor": ["test_editor", "test_objects", "test_tools"],
    "src/objects": ["test_objects", "test_tools"],
}

# (pattern, replacement) tried in order; the first that matches a line makes its mutant.
OPERATORS = [
    (r"(?<![<>=!])==(?!=)", "!="),
    (r"!=", "=="),
    (r"(?<![<>-])<=", "<"),
    (r"(?<![<>-])>=", ">"),
    (r"&&", "||"),
    (r"\|\|", "&&"),
    # Binary < and > stand between blanks here; templates and streams do not.
    (r" < ", " <= "),
    (r" > ", " >= "),
    (r"(?<![\w.])([0-9]+)(?![\w.])", None),  # a whole number, off by one
]


def code_part(line):
    """The line without its string literals and comment, for matching."""
    line = re.sub(r'"(?:\\.|[^"\\])*"', lambda m: " " * len(m.group(0)), line)
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def mutate(line):
    """The mutated line and a description, or None when no operator fits."""
    code = code_part(line)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "*", "/*", "template", "static_assert")):
        return None
    for pattern, replacement in OPERATORS:
        match = re.search(pattern, code)
        if not match:
            continue
        if replacement is None:
            number = int(match.group(1))
            new = str(number + 1)
            return line[: match.start()] + new + line[match.end():], f"{number} -> {new}"
        return line[: match.start()] + replacement + line[match.end():], f"{match.group(0).strip()} -> {replacement.strip()}"
    return None


def sample(count, seed):
    candidates = []
    for layer in LAYERS:
        for name in sorted(os.listdir(os.path.join(ROOT, layer))):
            if not name.endswith(".cpp"):
                continue
            path = os.path.join(layer, name)
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    mutant = mutate(line.rstrip("\n"))
                    if mutant:
                        candidates.append((layer, path, number, line.rstrip("\n"), *mutant))
    random.Random(seed).shuffle(candidates)
    return candidates[:count], len(candidates)


def run(command, log, timeout=None):
    return subprocess.run(command, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT, timeout=timeout).returncode


def build(folder, targets, log):
    # OV_BUILD_LOCK names a lock file that builds of other work trees share (flock).
    lock = os.environ.get("OV_BUILD_LOCK")
    command = ["cmake", "--build", folder, "--target", *targets]
    return run((["flock", lock] if lock else []) + command, log)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--lines", type=int, default=100)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--shard", default="1/1", help="K/N: every N-th mutant, starting with the K-th")
    args = parser.parse_args()
    shard, shards = (int(part) for part in args.shard.split("/"))
    if not 1 <= shard <= shards:
        parser.error("--shard wants K/N with 1 <= K <= N")

    mutants, total = sample(args.lines, args.seed)
    if args.list:
        for layer, path, number, old, new, what in mutants:
            print(f"{path}:{number}: {what}\n    {old.strip()}\n    {new.strip()}")
        print(f"{len(mutants)} of {total} candidate lines")
        return 0

    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", CTEST_OUTPUT_ON_FAILURE="0")
    os.environ.update(env)
    log = open(args.build + ".log", "w")
    if run(["cmake", "-S", ".", "-B", args.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DOV_BUILD_GUI=OFF",
            "-DOV_BUILD_BENCH=OFF"], log) != 0:
        print("mutation: the build folder cannot be configured", file=sys.stderr)
        return 2
    every_test = sorted({t for tests in TESTS.values() for t in tests})
    if build(args.build, every_test, log) != 0:
        print("mutation: the unchanged sources do not build", file=sys.stderr)
        return 2

    killed = survived = stillborn = 0
    started = time.time()
    for index, (layer, path, number, old, new, what) in enumerate(mutants, 1):
        if (index - 1) % shards != shard - 1:
            continue
        full = os.path.join(ROOT, path)
        with open(full, encoding="utf-8") as f:
            lines = f.read().split("\n")
        original = list(lines)
        lines[number - 1] = new
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            tests = TESTS[layer]
            if build(args.build, tests, log) != 0:
                stillborn += 1
                verdict = "does not build"
            else:
                verdict = "survived"
                for test in tests:
                    binary = os.path.join(args.build, "tests", test)
                    try:
                        failed = run([binary, "--gtest_fail_fast", "--gtest_brief=1"], log, timeout=600) != 0
                    except subprocess.TimeoutExpired:
                        failed = True  # a mutant that never ends is caught too: the suite would hang on it
                    if failed:
                        verdict = f"killed by {test}"
                        break
                if verdict == "survived":
                    survived += 1
                else:
                    killed += 1
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write("\n".join(original))
        print(f"[{index}/{len(mutants)}] {path}:{number} {what}: {verdict}", flush=True)
    # The build folder ends as the sources are.
    build(args.build, every_test, log)
    built = killed + survived
    share = 100.0 * killed / built if built else 0.0
    minutes = (time.time() - started) / 60
    print(f"{killed} killed, {survived} survived, {stillborn} did not build: {share:.1f} % of {built} mutants killed "
          f"({minutes:.0f} min)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
