#!/usr/bin/env python3
"""Plants the slips listed in tools/mutants.txt, one at a time, and tells which
ones the tests notice.

It copies the checkout into a scratch folder (the checkout itself is never
touched), builds the tests there once, and then for each mutant: replaces its
text, rebuilds only the test programs it names, runs those tests with a time
limit, and puts the text back. A mutant is KILLED when a named test fails or
times out, SURVIVED when they all pass, STALE when its text is not found
exactly once (the code moved on: refresh the entry), BROKEN when it does not
compile. Mutants marked equivalent are listed but not run.

    tools/mutate.py > mutate.log 2>&1 &      # all of them; about an hour on 2 cores
    tools/mutate.py --only 3,17              # some, by number
    tools/mutate.py --check                  # only look for stale entries
    tools/mutate.py --windows                # the entries marked "build: windows"

Entries marked "build: windows" change code that only the Windows build
compiles. --windows builds the scratch copy as tools/windows.sh --tests does
(MinGW-w64, in its build-windows/), and runs the GoogleTest cases that match an
entry's tests under Wine, through the emulator CTest names (tools/wine_run.sh;
QUILL_WINEPREFIX chooses the prefix). Wine now and then fails a program that is
not at fault: a program that fails without a failed case is run once more.

The score is killed / (killed + survived). Standard library only; not run in CI.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIELDS = ("file", "find", "replace", "tests", "sees", "equivalent", "build")


def read_mutants(path):
    """The list's entries in order: blocks of 'field: value' lines, each opened by 'file:'."""
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            field, sep, value = line.partition(":")
            field = field.strip()
            if not sep or field not in FIELDS:
                sys.exit(f"{path}:{number}: expected one of {', '.join(FIELDS)}")
            if field == "file":
                mutants.append({"line": number})
            elif not mutants:
                sys.exit(f"{path}:{number}: an entry starts with file:")
            mutants[-1][field] = value.strip()
    for i, m in enumerate(mutants, 1):
        m["number"] = i
        missing = [k for k in ("find", "replace", "tests", "sees") if k not in m]
        if missing:
            sys.exit(f"{path}:{m['line']}: entry {i} lacks {', '.join(missing)}")
    return mutants


def run(command, cwd, timeout=None, env=None):
    """Runs a command quietly; its exit code and output (124 when out of time)."""
    try:
        p = subprocess.run(command, cwd=cwd, env=env, timeout=timeout, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return 124, out


def copy_tree(source, scratch):
    """Copies the files git knows (committed or not ignored) into scratch. Files
    whose bytes are unchanged are left alone, so the scratch build stays
    incremental; the others get the time of copying, never an older one."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=source, check=True, stdout=subprocess.PIPE).stdout
    for name in filter(None, listed.decode().split("\0")):
        src, dst = os.path.join(source, name), os.path.join(scratch, name)
        if not os.path.isfile(src):
            continue
        with open(src, "rb") as f:
            data = f.read()
        if os.path.isfile(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copyfile(src, dst)
        shutil.copymode(src, dst)


def test_programs(build, env):
    """Each CTest test's name and the target of the program that runs it."""
    code, out = run(["ctest", "-N", "--show-only=json-v1"], build, env=env)
    if code:
        sys.exit("ctest could not list the tests:\n" + out)
    return {t["name"]: os.path.basename(t["command"][0]) for t in json.loads(out)["tests"]}


def list_cases(command, cwd, env):
    """The GoogleTest cases a program has, as Suite.Case."""
    code, out = run(command + ["--gtest_list_tests"], cwd, timeout=300, env=env)
    cases, suite = [], None
    for line in out.splitlines():
        line = line.rstrip("\r")
        if re.match(r"^\S+\.( |$)", line):
            suite = line.split()[0]
        elif suite and re.match(r"^  \S", line):
            cases.append(suite + line.split()[0])
    return cases


class WindowsBuild:
    """The scratch copy built for Windows; its test programs run under Wine."""

    def __init__(self, src, env):
        self.build, self.env = os.path.join(src, "build-windows"), env
        code, out = run([os.path.join(src, "tools", "windows.sh"), "--tests"], src, env=env)
        if code:
            sys.exit(out[-4000:] + "\nthe unchanged copy does not build for Windows")
        code, out = run(["ctest", "-N", "--show-only=json-v1"], self.build, env=env)
        if code:
            sys.exit("ctest could not list the tests:\n" + out)
        # Each program: its target, the command that runs it under the emulator,
        # its folder and environment, and its cases.
        self.programs = []
        for t in json.loads(out)["tests"]:
            props = {p["name"]: p["value"] for p in t.get("properties", [])}
            run_env = dict(env)
            run_env.update(v.split("=", 1) for v in props.get("ENVIRONMENT", []) if "=" in v)
            cwd = props.get("WORKING_DIRECTORY", self.build)
            command = t["command"]
            exe = next(c for c in command if c.endswith(".exe"))
            self.programs.append({"target": os.path.basename(exe)[:-4], "command": command,
                                  "cwd": cwd, "env": run_env,
                                  "cases": list_cases(command, cwd, run_env)})

    def matching(self, pattern):
        return [(p, [c for c in p["cases"] if re.search(pattern, c)]) for p in self.programs
                if any(re.search(pattern, c) for c in p["cases"])]

    def rebuild(self, targets):
        return run(["cmake", "--build", self.build, "-j2", "--target", *targets], self.build,
                   env=self.env)

    def fails(self, pattern, timeout):
        """The first program whose matching cases fail, with why; None when all pass."""
        for program, cases in self.matching(pattern):
            env = dict(program["env"], QUILL_WINE_TIMEOUT=str(timeout))
            command = program["command"] + ["--gtest_filter=" + ":".join(cases)]
            for attempt in (1, 2):
                code, out = run(command, program["cwd"], timeout=timeout + 60, env=env)
                failed = re.findall(r"\[  FAILED  \] (\S+\.\S+)", out)
                if not code:
                    break
                if failed:
                    return f"by {failed[0]}"
                if attempt == 2:
                    return f"by {program['target']} (exit code {code}, twice)"
        return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tools", "mutants.txt"))
    parser.add_argument("--scratch", default=os.path.join(
        os.environ.get("TMPDIR", "/tmp"), "quill-mutate-" + os.path.basename(ROOT)))
    parser.add_argument("--only", help="comma-separated mutant numbers")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test")
    parser.add_argument("--check", action="store_true", help="only report stale entries")
    parser.add_argument("--windows", action="store_true",
                        help="the entries for the Windows build, built with MinGW, run under Wine")
    args = parser.parse_args()
    if args.windows:
        args.scratch += "-windows"

    mutants = read_mutants(args.list)
    if not args.check:
        elsewhere = [m for m in mutants if (m.get("build") == "windows") != args.windows]
        mutants = [m for m in mutants if m not in elsewhere]
        if elsewhere:
            print(f"{len(elsewhere)} entries for the " +
                  ("Linux build: tools/mutate.py" if args.windows
                   else "Windows build: tools/mutate.py --windows"), flush=True)
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        mutants = [m for m in mutants if m["number"] in wanted]

    def where(m):
        with open(os.path.join(ROOT, m["file"]), encoding="utf-8") as f:
            return f.read().count(m["find"])

    if args.check:
        stale = [m for m in mutants if not os.path.isfile(os.path.join(ROOT, m["file"]))
                 or where(m) != 1]
        for m in stale:
            print(f"STALE {m['number']:3} {m['file']}: {m['find']}")
        print(f"{len(stale)} stale of {len(mutants)}")
        return 1 if stale else 0

    src = os.path.join(args.scratch, "src")
    build = os.path.join(args.scratch, "build")
    os.makedirs(src, exist_ok=True)
    copy_tree(ROOT, src)
    env = dict(os.environ)
    if shutil.which("ccache"):  # rebuilds of a fresh scratch copy come from the cache
        env.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache", CMAKE_C_COMPILER_LAUNCHER="ccache",
                   CCACHE_BASEDIR=args.scratch)
    corpora = os.path.normpath(os.path.join(ROOT, "..", "shared", "corpora"))
    print(f"scratch copy in {args.scratch}; building the tests once", flush=True)
    if args.windows:
        windows = WindowsBuild(src, env)
    else:
        for step in (["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                      "-DQUILL_BENCH=OFF", "-DQUILL_CORPORA_DIR=" + corpora],
                     ["cmake", "--build", build, "-j2"]):
            code, out = run(step, args.scratch, env=env)
            if code:
                sys.exit(out[-4000:] + "\nthe unchanged copy does not build")
        programs = test_programs(build, env)

    counts = {"KILLED": 0, "SURVIVED": 0, "STALE": 0, "BROKEN": 0, "EQUIVALENT": 0}
    survivors, stale = [], []
    for m in mutants:
        path = os.path.join(src, m["file"])
        label = f"{m['number']:3} {m['file']}: {m['find']}  ->  {m['replace']}"
        if "equivalent" in m:
            counts["EQUIVALENT"] += 1
            print(f"EQUIVALENT {label}\n           {m['equivalent']}", flush=True)
            continue
        original = open(path, encoding="utf-8").read() if os.path.isfile(path) else ""
        if args.windows:
            names = [c for _, cases in windows.matching(m["tests"]) for c in cases]
        else:
            names = [n for n in programs if re.search(m["tests"], n)]
        if original.count(m["find"]) != 1 or not names:
            why = "no test matches" if original.count(m["find"]) == 1 else \
                f"text found {original.count(m['find'])} times"
            counts["STALE"] += 1
            stale.append(m)
            print(f"STALE      {label}\n           {why}", flush=True)
            continue
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m["find"], m["replace"]))
            if args.windows:
                targets = sorted({p["target"] for p, _ in windows.matching(m["tests"])})
                code, out = windows.rebuild(targets)
            else:
                targets = sorted({programs[n] for n in names})
                code, out = run(["cmake", "--build", build, "-j2", "--target", *targets],
                                args.scratch, env=env)
            if code:
                verdict, detail = "BROKEN", out.strip().splitlines()[-1:] or [""]
            elif args.windows:
                why = windows.fails(m["tests"], args.timeout)
                verdict, detail = ("KILLED", [why]) if why else ("SURVIVED", [""])
            else:
                code, out = run(["ctest", "-V", "-R", m["tests"], "--timeout", str(args.timeout),
                                 "--stop-on-failure", "--no-tests=error", "-j2"], build,
                                timeout=args.timeout * 4 + 60, env=env)
                failed = re.findall(r"Test +#\d+: (\S+) \.+\**(?:Failed|Timeout|Exception|"
                                    r"Subprocess aborted|Child aborted|\*\*\*)", out)
                verdict = "KILLED" if code else "SURVIVED"
                detail = [f"by {failed[0]}" if failed else ("timed out" if code == 124 else "")]
                # A case CTest still lists but the program no longer has runs nothing.
                if not code and re.search(r"\[==========\] 0 tests from", out):
                    verdict, detail = "STALE", ["a named test ran nothing: its list is out of date"]
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        counts[verdict] += 1
        if verdict == "SURVIVED":
            survivors.append(m)
        elif verdict == "STALE":
            stale.append(m)
        print(f"{verdict:10} {label}\n           {detail[0]} ({time.time() - started:.0f} s)",
              flush=True)

    scored = counts["KILLED"] + counts["SURVIVED"]
    print("\n" + ", ".join(f"{n} {k.lower()}" for k, n in counts.items()))
    if scored:
        print(f"score: {counts['KILLED']} of {scored} killed ({100 * counts['KILLED'] / scored:.1f}%)")
    for m in survivors:
        print(f"survived {m['number']}: {m['sees']}")
    for m in stale:
        print(f"stale {m['number']}: refresh the entry at {os.path.relpath(args.list)}:{m['line']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
