#!/usr/bin/env python3
"""Every option `jpackage --help` prints on Linux, and each of jpackage's options for Windows, is accepted by the
packager (its --help lists it) or has a row in the README's option tables that says it is not supported and why;
those tables list every option of both.

    option_parity.py JDK_HOME PACKAGER_JAVA PACKAGER_JAR README

Exits 77 (a skip, as ctest reads it) when JDK_HOME has no jpackage."""
import os
import re
import subprocess
import sys

# An option line of either --help: two spaces, the long name, then its one-letter form if it has one.
OPTION_LINE = re.compile(r"^  (@\S*|--[a-z][a-z0-9-]*)(?: (-[a-zA-Z?])\b)?")
# A row that says an option is not supported, and why.
UNSUPPORTED = re.compile(r"^not (yet )?supported\b")
REASON = re.compile(r"^not (yet )?supported: \S.{15,}")
# jpackage's options for a Windows target, as its documentation for Windows lists them: its --help on Linux
# leaves them out, and the packager makes Windows installers on Linux.
WINDOWS_ONLY = {"--win-console", "--win-dir-chooser", "--win-help-url", "--win-menu", "--win-menu-group",
                "--win-per-machine-install", "--win-per-user-install", "--win-shortcut", "--win-shortcut-prompt",
                "--win-update-url", "--win-upgrade-uuid"}


def options_in_help(command):
    """The options a --help lists: long names, one-letter forms, and @FILE for argument files."""
    text = subprocess.run(command, capture_output=True, text=True, check=True, timeout=300).stdout
    options = set()
    for line in text.splitlines():
        match = OPTION_LINE.match(line)
        if match:
            options.add("@FILE" if match.group(1).startswith("@") else match.group(1))
            if match.group(2):
                options.add(match.group(2))
    return options


def readme_rows(readme):
    """Each row of the README's option tables: the options its first cell names, and its meaning."""
    rows = []
    in_table = False
    with open(readme, encoding="utf-8") as file:
        for line in file:
            if line.startswith("| option |"):
                in_table = True
                continue
            if not line.startswith("|"):
                in_table = False
                continue
            if not in_table or line.startswith("|---"):
                continue
            cells = re.split(r"(?<!\\) \| ", line.strip().strip("|").strip())
            named = {word.split(" ")[0].split("=")[0] for word in re.findall(r"`([^`]*)`", cells[0])}
            rows.append(({n for n in named if n.startswith("-") or n == "@FILE"}, cells[-1]))
    return rows


def main():
    jdk, java, jar, readme = sys.argv[1:5]
    jpackage = os.path.join(jdk, "bin", "jpackage")
    if not os.access(jpackage, os.X_OK):
        print(f"SKIPPED: no jpackage in {jdk}, so its options are not compared")
        return 77
    theirs = options_in_help([jpackage, "--help"]) | WINDOWS_ONLY
    ours = options_in_help([java, "-jar", jar, "--help"])
    rows = readme_rows(readme)
    failures = []
    passed = 0
    for option in sorted(theirs | ours):
        meanings = [meaning for named, meaning in rows if option in named]
        unsupported = [m for m in meanings if UNSUPPORTED.match(m)]
        if not meanings:
            failures.append(f"{option} ({'jpackage' if option in theirs else 'ours'}) has no row in the README's "
                            "option tables")
        elif option in ours and unsupported:
            failures.append(f"{option} is accepted by the packager, but the README says: {unsupported[0]}")
        elif option not in ours and not unsupported:
            failures.append(f"{option} of jpackage is not accepted by the packager, and its README row does not "
                            "say so ('not supported: REASON')")
        elif option not in ours and not any(REASON.match(m) for m in unsupported):
            failures.append(f"{option}: the README says it is not supported, but not why: {unsupported[0]}")
        else:
            passed += 1
    for failure in failures:
        print("FAILED: " + failure)
    not_ours = sorted(theirs - ours)
    print(f"jpackage of {jdk}: {len(theirs)} options ({len(WINDOWS_ONLY)} of them for Windows), {len(not_ours)} "
          "not accepted by the packager"
          + (f" ({', '.join(not_ours)})" if not_ours else ""))
    print(f"{passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
