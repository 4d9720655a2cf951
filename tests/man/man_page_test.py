#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""A program's --help and its manual page name the same options.

    man_page_test.py PROGRAM PAGE.1

Runs PROGRAM --help and renders PAGE.1 with groff, then compares:
  - the options (-x, --name) the help names with those the page describes
    as items of its OPTIONS, ARGUMENTS and COMMANDS sections;
  - for a program with commands ("PROGRAM CMD ..." lines in the help), the
    commands with the items of the page's COMMANDS section;
  - the environment variables the help names ("$NAME", or after a line
    "Environment:"), each of which the page's ENVIRONMENT section must
    describe.
The page must also render without a single groff warning (-ww), and name
the program in its NAME section. Every difference is reported.
"""
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")
VARIABLE = re.compile(r"\b([A-Z][A-Z0-9]*_[A-Z0-9_]+)\b")
# Where a help names environment variables: a "$NAME", or anything after a
# line that starts with "Environment:" ("Umgebung:" in the program's German).
ENVIRONMENT_PART = re.compile(r"^(?:Environment|Umgebung):", re.M)
# Every program answers --help; its usage need not list that itself.
IMPLIED = {"-h", "--help"}


def render(page):
    """The page as plain text, and groff's warnings."""
    check = subprocess.run(["groff", "-ww", "-z", "-man", page], capture_output=True, text=True)
    env = dict(os.environ, MANWIDTH="200")
    text = subprocess.run(["groff", "-man", "-Tutf8", "-P-cbou", "-rLL=200n", page],
                          capture_output=True, text=True, check=True, env=env).stdout
    # groff joins hyphenated words across lines; the wide line keeps them whole,
    # and a soft hyphen or a minus sign becomes a plain "-".
    text = text.replace("\u2010", "-").replace("\u2212", "-").replace("\u00ad", "")
    return text, check.stderr.strip()


def sections(text):
    """Heading -> list of lines; headings are the unindented lines."""
    out, current = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace():
            current = line.strip()
            out.setdefault(current, [])
        elif current:
            out[current].append(line)
    return out


def items(lines):
    """The item lines of a definition list: the least indented lines."""
    indents = [len(l) - len(l.lstrip()) for l in lines if l.strip()]
    if not indents:
        return []
    least = min(indents)
    return [l.strip() for l in lines if l.strip() and len(l) - len(l.lstrip()) == least]


def main():
    program, page = sys.argv[1], sys.argv[2]
    name = os.path.basename(program)
    problems = []
    help_run = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=30)
    if help_run.returncode != 0:
        problems.append(f"{name} --help ended with {help_run.returncode}")
    help_text = help_run.stdout
    if not help_text.strip():
        problems.append(f"{name} --help printed nothing on standard output")

    text, warnings = render(page)
    if warnings:
        problems.append("groff warns:\n" + warnings)
    parts = sections(text)
    if not any(name in l for l in parts.get("NAME", [])):
        problems.append(f"the NAME section does not name {name}")

    listed = [l for s in ("OPTIONS", "ARGUMENTS", "COMMANDS") for l in items(parts.get(s, []))]
    page_options = {o for l in listed for o in OPTION.findall(l)}
    help_options = set(OPTION.findall(help_text)) | IMPLIED
    for o in sorted(help_options - page_options):
        problems.append(f"{name} --help names {o}, the manual page's options do not")
    for o in sorted(page_options - help_options):
        problems.append(f"the manual page names {o}, {name} --help does not")

    help_commands = set(re.findall(r"^\s*" + re.escape(name) + r" ([a-z][\w-]*)", help_text, re.M))
    page_commands = {l.split()[0] for l in items(parts.get("COMMANDS", []))}
    for c in sorted(help_commands - page_commands):
        problems.append(f"{name} --help names the command {c}, the manual page does not")
    for c in sorted(page_commands - help_commands):
        problems.append(f"the manual page names the command {c}, {name} --help does not")

    environment = " ".join(items(parts.get("ENVIRONMENT", [])))
    named = set(re.findall(r"\$([A-Z][A-Z0-9_]*)", help_text))
    part = ENVIRONMENT_PART.search(help_text)
    if part:
        named |= set(VARIABLE.findall(help_text[part.start():]))
    for v in sorted(named):
        if v not in environment:
            problems.append(f"{name} --help names {v}, the ENVIRONMENT section does not")

    for p in problems:
        print("FAIL: " + p)
    print(f"{name}: options {sorted(help_options)}" +
          (f", commands {sorted(help_commands)}" if help_commands else ""))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
