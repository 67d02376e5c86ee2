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
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import suite_run  # noqa: E402

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


def passed(case, run, failure_exit):
    if run.timed_out:
        return False
    if case.expects_success():
        return run.exit_code == 0
    if failure_exit == "nonzero":
        return run.exit_code != 0
    return run.exit_code == int(failure_exit)


def verdict(case, run, failure_exit):
    wanted = "0" if case.expects_success() else failure_exit
    return suite_run.Verdict(
        case.case_id, passed(case, run, failure_exit),
        f"{case.case_id} ({case.case_type}, {case.path}): expected exit {wanted}, got {run.describe()}",
        run.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--suite", required=True,
                        help="folder holding the unpacked npm package (its package/ folder)")
    parser.add_argument("--expected-cases", type=int, default=1965)
    parser.add_argument("--failure-exit", default="255",
                        help="exit code of a rejected document, or 'nonzero'")
    parser.add_argument("--cases", nargs="+", metavar="ID",
                        help="run only these cases (the case count is then not checked)")
    suite_run.add_run_options(parser, "case")
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

    command = suite_run.validator_command(options.command)
    runs = suite_run.run_parallel(
        lambda case: suite_run.run_validator(command, case.path, options.timeout), cases, options.jobs)
    verdicts = [verdict(case, run, options.failure_exit) for case, run in zip(cases, runs)]
    failures, _ = suite_run.compare_with_known(verdicts, {}, None, options.details)

    strict_failures = len(failures) + sum(
        1 for case, run in zip(cases, runs) if case.without_grammar and run.exit_code == 0)
    print(f"{sum(1 for case in cases if case.without_grammar)} invalid cases declare no grammar and"
          f" were expected to pass; counting them as failures instead:"
          f" {len(cases) - strict_failures} passed, {strict_failures} failed")
    print(f"{len(cases) - len(failures)} passed, {len(failures)} failed")
    for problem in broken:
        print("ERROR " + problem)
    return 1 if failures or broken else 0


if __name__ == "__main__":
    sys.exit(main())
