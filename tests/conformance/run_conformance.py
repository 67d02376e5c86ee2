#!/usr/bin/env python3
"""Runs a validator over the W3C XML conformance cases and checks the verdicts.

Every counted case runs as `COMMAND... FILE`, started in the case file's own
folder with the bare file name as FILE. A "valid" case must exit 0; an
"invalid" or "not-wf" case must exit with the failure code (255 for vexlor).
A case that outlives its time limit fails.

Vexlor checks a document that declares no grammar (no DOCTYPE and no
xsi schema hint) for well-formedness only. The suite types such documents
"invalid" merely because a validating parser must ask for a DTD; those cases
are expected to exit 0 here, and the summary also gives the strict count.

The run fails when the number of counted cases is not the expected one, or
when any case fails: every case is to pass.

Example:
  run_conformance.py --suite build/conformance -- build/vexlor
"""

import argparse
import concurrent.futures
import os
import subprocess
import sys
import re
import xml.etree.ElementTree as ElementTree

CASE_LIST = os.path.join("package", "cleaned", "xmlconf-flattened.xml")
# xml:base values in the case list are relative to the original suite folder.
CASE_ROOT = os.path.join("package", "xmlconf")
XML_BASE = "{http://www.w3.org/XML/1998/namespace}base"
COUNTED_TYPES = ("valid", "invalid", "not-wf")
# What may stand before a DOCTYPE: a byte order mark, white space, the XML
# declaration, processing instructions and comments.
PROLOG_ITEM = re.compile(r"\ufeff?(?:\s+|<\?.*?\?>|<!--.*?-->)*", re.DOTALL)
SCHEMA_HINT = re.compile(r"\w+:(?:noNamespaceSchemaLocation|schemaLocation)\s*=\s*[\"']")


class Case:
    def __init__(self, case_id, case_type, path):
        self.case_id = case_id
        self.case_type = case_type
        self.path = path
        # "invalid" only for declaring no grammar: well-formed is all it can be.
        self.without_grammar = case_type == "invalid" and declares_no_grammar(path)

    def expects_success(self):
        return self.case_type == "valid" or self.without_grammar


def declares_no_grammar(path):
    """True when the document has neither a DOCTYPE nor an xsi schema hint."""
    with open(path, "rb") as document:
        data = document.read()
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        text = data.decode("utf-16", errors="replace")
    else:
        text = data.decode("latin-1")
    prolog = PROLOG_ITEM.match(text)
    rest = text[prolog.end():] if prolog else text
    return not rest.startswith("<!DOCTYPE") and not SCHEMA_HINT.search(text)


class Outcome:
    def __init__(self, case, exit_code, stderr, timed_out):
        self.case = case
        self.exit_code = exit_code
        self.stderr = stderr
        self.timed_out = timed_out


def is_counted(test):
    """XML 1.0 fifth-edition cases with namespaces, of a checkable type."""
    if test.get("TYPE") not in COUNTED_TYPES:
        return False
    if test.get("VERSION") == "1.1":
        return False
    if test.get("RECOMMENDATION") in ("XML1.1", "NS1.1"):
        return False
    if test.get("NAMESPACE") == "no":
        return False
    edition = test.get("EDITION")
    return edition is None or "5" in edition.split()


def load_cases(suite):
    root = ElementTree.parse(os.path.join(suite, CASE_LIST)).getroot()
    cases = []

    def walk(element, base):
        if XML_BASE in element.attrib:
            base = os.path.join(base, element.attrib[XML_BASE])
        if element.tag == "TEST":
            if is_counted(element):
                path = os.path.normpath(os.path.join(base, element.get("URI")))
                cases.append(Case(element.get("ID"), element.get("TYPE"), path))
            return
        for child in element:
            walk(child, base)

    walk(root, os.path.join(suite, CASE_ROOT))
    return cases


def run_case(command, case, time_limit):
    folder, name = os.path.split(case.path)
    try:
        finished = subprocess.run(command + [name], cwd=folder, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  timeout=time_limit)
        return Outcome(case, finished.returncode, finished.stderr, False)
    except subprocess.TimeoutExpired as expired:
        return Outcome(case, None, expired.stderr or b"", True)


def passed(outcome, failure_exit):
    if outcome.timed_out:
        return False
    if outcome.case.expects_success():
        return outcome.exit_code == 0
    if failure_exit == "nonzero":
        return outcome.exit_code != 0
    return outcome.exit_code == int(failure_exit)


def describe(outcome, failure_exit):
    case = outcome.case
    wanted = "0" if case.expects_success() else failure_exit
    got = "timed out" if outcome.timed_out else f"exit {outcome.exit_code}"
    return f"{case.case_id} ({case.case_type}, {case.path}): expected exit {wanted}, got {got}"


def first_lines(data, count):
    text = data.decode("utf-8", errors="replace")
    lines = text.splitlines()
    shown = "\n".join("    " + line for line in lines[:count])
    if len(lines) > count:
        shown += f"\n    ... ({len(lines) - count} more lines)"
    return shown


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--suite", required=True,
                        help="folder holding the unpacked npm package (its package/ folder)")
    parser.add_argument("--expected-cases", type=int, default=1965)
    parser.add_argument("--failure-exit", default="255",
                        help="exit code of a rejected document, or 'nonzero'")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=20.0, help="seconds per case")
    parser.add_argument("--cases", nargs="+", metavar="ID",
                        help="run only these cases (the case count is then not checked)")
    parser.add_argument("--details", metavar="FILE",
                        help="write every failing case with its standard error to FILE")
    parser.add_argument("command", nargs="+", help="the validator and its fixed arguments")
    options = parser.parse_args()

    cases = load_cases(options.suite)
    print(f"Conformance cases counted: {len(cases)}")
    broken = []
    if options.cases:
        wanted = set(options.cases)
        cases = [case for case in cases if case.case_id in wanted]
        broken += [f"no counted case has the id {i}" for i in sorted(wanted - {c.case_id for c in cases})]
    elif len(cases) != options.expected_cases:
        broken.append(f"expected {options.expected_cases} counted cases, found {len(cases)}")

    command = [os.path.abspath(options.command[0]) if os.sep in options.command[0]
               else options.command[0]] + options.command[1:]
    with concurrent.futures.ThreadPoolExecutor(max_workers=options.jobs) as pool:
        outcomes = list(pool.map(
            lambda case: run_case(command, case, options.timeout), cases))

    failures = [o for o in outcomes if not passed(o, options.failure_exit)]
    for outcome in failures:
        print("FAIL " + describe(outcome, options.failure_exit))
        print(first_lines(outcome.stderr, 6))
    if options.details:
        with open(options.details, "w", encoding="utf-8") as details:
            for outcome in failures:
                details.write(describe(outcome, options.failure_exit) + "\n")
                details.write(first_lines(outcome.stderr, 60) + "\n\n")

    without_grammar = [o for o in outcomes if o.case.without_grammar]
    strict_failures = len(failures) + sum(1 for o in without_grammar if o.exit_code == 0)
    print(f"{len(without_grammar)} invalid cases declare no grammar and were expected to pass;"
          f" counting them as failures instead: {len(outcomes) - strict_failures} passed,"
          f" {strict_failures} failed")
    print(f"{len(outcomes) - len(failures)} passed, {len(failures)} failed")
    for problem in broken:
        print("ERROR " + problem)
    return 1 if failures or broken else 0


if __name__ == "__main__":
    sys.exit(main())
