#!/usr/bin/env python3
"""Runs a validator over the W3C XML Schema Test Suite and checks the verdicts.

Counted are the XSD 1.0 expectations "valid" and "invalid": a test whose test
set, group or own version list names XSD versions without 1.0 is left out,
and of its expected elements the one whose versions this processor has (1.0,
its second edition, Unicode 4.0.0) wins over one without versions. The NIST
tests, which the suite lists in a file this copy lacks, come from their file
names: every schema is valid, an instance named -SV-IV- valid, -SV-II- invalid.
An instance test whose instance document this copy lacks is left out.

The validator takes schemas from hints only. An instance test runs on a copy
of its instance whose root element holds hints for the group's schema
documents (one per target namespace, the first listed), unless the root's own
hints already name that namespace. A schema test runs on a small document
whose root holds such hints and nothing else: the schema counts as rejected
when a reported problem is located outside that document. An instance is
valid when the validator exits 0, invalid when it exits 255.

The suite is unpacked from --archive into --suite once. Without the archive
(and no unpacked suite) the run is skipped with exit code 77.

The run fails when a test fails that no known-failures file lists (one
for every series of libxml2, and one for the series at hand where it fails
more),
when fewer tests of a kind pass than its minimum, or when the number of
counted tests is not the expected one. Known failures that pass are noted.

Example:
  run_xsts.py --archive xsdtests.tar.gz --suite build/xsts-suite \\
      --known-failures known-failures.txt -- build/vexlor
"""

import argparse
import os
import re
import shutil
import sys
import tarfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import suite_run  # noqa: E402
import hints  # noqa: E402
import suite_tests  # noqa: E402

SKIPPED = 77
PROBLEM = re.compile(r"(.*?):\d+:\d+: ")
DESCRIPTION = "COM Exception, Description: "


def unpack(archive, suite):
    """Unpacks archive into suite unless it is there; False when neither is."""
    if os.path.exists(os.path.join(suite, "suite.xml")):
        return True
    if not os.path.isfile(archive):
        return False
    staging = suite + ".staging"
    shutil.rmtree(staging, ignore_errors=True)
    with tarfile.open(archive) as packed:
        packed.extractall(staging)
    os.replace(staging, suite)
    return True


def problem_locations(stderr):
    """The LOCATION of each problem line of a report."""
    text = stderr.decode("utf-8", errors="replace")
    if DESCRIPTION not in text:
        return []
    text = text.split(DESCRIPTION, 1)[1].split("\n Source: '", 1)[0]
    return [m.group(1) for m in map(PROBLEM.match, text.splitlines()) if m]


def hint_values(schemas, folder):
    """(pairs, no-namespace location) that name schemas from folder."""
    pairs = []
    no_namespace = None
    seen = set()
    for schema in schemas:
        namespace = hints.target_namespace(schema)
        if namespace in seen:
            continue
        seen.add(namespace)
        if namespace:
            pairs.append((namespace, hints.location(schema, folder)))
        else:
            no_namespace = hints.location(schema, folder)
    return pairs, no_namespace


def generated_name(test):
    return "xsts-" + re.sub(r"[^A-Za-z0-9._-]", "_", test.test_id) + ".xml"


def document_to_run(test):
    """The file the validator is to check for test, written when needed."""
    if test.kind == "instance":
        folder = os.path.dirname(test.instance)
        if not test.schemas:
            return test.instance
        with open(test.instance, "rb") as original:
            hinted = hints.add_hints(original.read(), *hint_values(test.schemas, folder))
        if hinted is None:
            return test.instance
    else:
        folder = os.path.dirname(test.schemas[0])
        hinted = hints.add_hints(b"<xsts-probe/>\n", *hint_values(test.schemas, folder))
    path = os.path.join(folder, generated_name(test))
    with open(path, "wb") as copy:
        copy.write(hinted)
    return path


def judge(test, document, run):
    """The Verdict of test, whose document gave run."""
    if run.timed_out or run.exit_code not in (0, 255):
        got = run.describe()
    elif test.kind == "instance":
        got = "valid" if run.exit_code == 0 else "invalid"
    else:
        name = os.path.basename(document)
        rejected = any(where != name for where in problem_locations(run.stderr))
        got = "invalid" if rejected else "valid"
    shown = test.instance if test.kind == "instance" else " ".join(test.schemas)
    return suite_run.Verdict(
        test.test_id, got == test.expected,
        f"{test.test_id} ({test.kind} test, {shown} as {document}): expected {test.expected}, got {got}",
        run.stderr)


def parse_options():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--archive", required=True, help="the suite as a .tar.gz")
    parser.add_argument("--suite", required=True, help="folder to unpack the suite into")
    parser.add_argument("--known-failures", required=True, action="append", metavar="FILE",
                        help="a list of known failures; may be given more than once")
    parser.add_argument("--expected-tests", type=int, nargs=2, metavar=("INSTANCE", "SCHEMA"),
                        help="fail unless this many instance and schema tests are counted")
    parser.add_argument("--minimum-passes", type=int, nargs=2, default=(0, 0),
                        metavar=("INSTANCE", "SCHEMA"), help="fail when fewer tests pass")
    parser.add_argument("--tests", nargs="+", metavar="ID",
                        help="run only these tests (counts and minimums are then not checked)")
    suite_run.add_run_options(parser, "test")
    return parser.parse_args()


def check_counts(options, tests, verdicts, broken):
    for kind, expected, minimum in zip(("instance", "schema"), options.expected_tests or (None, None),
                                       options.minimum_passes):
        counted = [v for t, v in zip(tests, verdicts) if t.kind == kind]
        passes = sum(1 for v in counted if v.passed)
        print(f"{kind} tests: {passes} of {len(counted)} passed")
        if options.tests:
            continue
        if expected is not None and len(counted) != expected:
            broken.append(f"expected {expected} counted {kind} tests, found {len(counted)}")
        if passes < minimum:
            broken.append(f"fewer than {minimum} {kind} tests passed")


def main():
    options = parse_options()
    if not unpack(options.archive, options.suite):
        print(f"skipped: the suite archive {options.archive} is not there")
        return SKIPPED
    started = time.monotonic()
    tests = suite_tests.load(options.suite)
    broken = []
    known = {}
    for path in options.known_failures:
        listed, problems = suite_run.load_known_failures(path)
        broken += problems
        broken += [f"{path}: {test_id} is listed in another known-failures file too"
                   for test_id in sorted(set(listed) & set(known))]
        known.update(listed)
        for test_id in sorted(set(listed) - {test.test_id for test in tests}):
            print(f"note: {test_id} is listed in {path} but is not a counted test")
    known_paths = " or ".join(options.known_failures)
    if options.tests:
        wanted = set(options.tests)
        tests = [test for test in tests if test.test_id in wanted]
        broken += [f"no counted test has the id {i}" for i in sorted(wanted - {t.test_id for t in tests})]

    command = suite_run.validator_command(options.command)

    def run(test):
        document = document_to_run(test)
        return judge(test, document, suite_run.run_validator(command, document, options.timeout))

    verdicts = suite_run.run_parallel(run, tests, options.jobs)
    failures, unexpected = suite_run.compare_with_known(verdicts, known, known_paths,
                                                        options.details)
    check_counts(options, tests, verdicts, broken)
    print(f"{len(verdicts) - len(failures)} passed, {len(failures)} failed"
          f" ({len(failures) - len(unexpected)} known, {len(unexpected)} not listed)"
          f" in {time.monotonic() - started:.0f} s")
    for problem in broken:
        print("ERROR " + problem)
    return 1 if unexpected or broken else 0


if __name__ == "__main__":
    sys.exit(main())
