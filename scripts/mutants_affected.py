#!/usr/bin/env python3
"""Which tests of a build can see a mutant: prints the CTest numbers to run,
those of the mutated file's own test folder on the first line, the rest on
the second (a line may be empty).

A test can see the mutant when its program was relinked after MARKER, when
its program holds the path of a relinked program it starts (the command-line
and desktop tests name the programs they run that way), or when its command
is no program of the build (a script may start anything). A program that was
not relinked runs the same bytes as before the mutant, so its tests cannot
fail for it.

Usage: mutants_affected.py BUILD MARKER [FOLDER]
"""
import json
import os
import subprocess
import sys


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.strip().splitlines()[-1])
    build = os.path.realpath(sys.argv[1])
    since = os.stat(sys.argv[2]).st_mtime_ns
    own_folder = os.path.join(build, "tests", sys.argv[3]) + os.sep if len(sys.argv) == 4 else None
    listing = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    tests = json.loads(listing)["tests"]

    def relinked(path):
        return os.stat(path).st_mtime_ns > since

    programs = {os.path.realpath(t["command"][0]) for t in tests if t.get("command")}
    # Programs of the build that changed and that no test runs by itself:
    # the ones a test may start (kestrava, kestrava-calc).
    started = []
    for folder, _, names in os.walk(os.path.join(build, "src")):
        for name in names:
            path = os.path.join(folder, name)
            if os.access(path, os.X_OK) and os.path.isfile(path) and path not in programs \
                    and relinked(path):
                started.append(path.encode())

    starts_relinked = {}

    def sees(program):
        if not program.startswith(build + os.sep) or not os.path.isfile(program):
            return True
        if relinked(program):
            return True
        if program not in starts_relinked:
            with open(program, "rb") as binary:
                content = binary.read()
            starts_relinked[program] = any(path in content for path in started)
        return starts_relinked[program]

    own, rest = [], []
    for number, test in enumerate(tests, start=1):
        command = test.get("command")
        if not command or not sees(os.path.realpath(command[0])):
            continue
        in_own = own_folder is not None and os.path.realpath(command[0]).startswith(own_folder)
        (own if in_own else rest).append(str(number))
    print(",".join(own))
    print(",".join(rest))


if __name__ == "__main__":
    main()
