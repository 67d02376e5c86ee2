"""The tests of the W3C XML Schema Test Suite that carry an XSD 1.0
expectation, read from an unpacked copy of the suite (see run_xsts.py)."""

import glob
import os
import re
import xml.etree.ElementTree as ElementTree

TS = "{http://www.w3.org/XML/2004/xml-schema-test-suite/}"
HREF = "{http://www.w3.org/1999/xlink}href"
# The versions and features of this processor, as the suite's version tokens.
SUPPORTED = {"1.0", "1.0-2e", "Unicode_4.0.0"}
XSD_VERSION = re.compile(r"\d+(\.\d+)*")
COUNTED = ("valid", "invalid")
NIST_INSTANCE = re.compile(r"NISTXML-(SV-I[IV])-(.*)-\d+\.xml")


class Test:
    """One expectation: kind is "schema" or "instance"; schemas are the
    group's schema documents (paths), instance the instance document."""

    def __init__(self, test_id, kind, expected, schemas, instance=None):
        self.test_id = test_id
        self.kind = kind
        self.expected = expected
        self.schemas = schemas
        self.instance = instance


def for_xsd_10(element):
    """Whether element's version list leaves XSD 1.0 in."""
    versions = [t for t in element.get("version", "").split() if XSD_VERSION.fullmatch(t)]
    return not versions or "1.0" in versions


def expectation(test):
    """The validity the test expects of an XSD 1.0 processor, or None."""
    chosen = None
    chosen_tokens = -1
    for expected in test.findall(TS + "expected"):
        tokens = expected.get("version", "").split()
        if set(tokens) <= SUPPORTED and len(tokens) > chosen_tokens:
            chosen, chosen_tokens = expected.get("validity"), len(tokens)
    return chosen


def documents(test, tag, folder):
    return [os.path.normpath(os.path.join(folder, d.get(HREF))) for d in test.findall(TS + tag)]


def from_test_set(path):
    test_set = ElementTree.parse(path).getroot()
    if not for_xsd_10(test_set):
        return []
    folder = os.path.dirname(path)
    tests = []
    for group in test_set.findall(TS + "testGroup"):
        if not for_xsd_10(group):
            continue
        prefix = f"{test_set.get('name')}/{group.get('name')}/"
        schema_test = group.find(TS + "schemaTest")
        schemas = documents(schema_test, "schemaDocument", folder) if schema_test is not None else []
        for test in group:
            if test.tag not in (TS + "schemaTest", TS + "instanceTest") or not for_xsd_10(test):
                continue
            expected = expectation(test)
            if expected not in COUNTED:
                continue
            test_id = prefix + test.get("name")
            if test.tag == TS + "schemaTest":
                tests.append(Test(test_id, "schema", expected, schemas))
            else:
                instance = documents(test, "instanceDocument", folder)[0]
                if not os.path.exists(instance):
                    continue  # this copy of the suite lacks it
                tests.append(Test(test_id, "instance", expected, schemas, instance))
    return tests


def from_nist_files(suite):
    """The NIST tests, named NIST/FILE-NAME-WITHOUT-EXTENSION."""
    tests = []
    for schema in sorted(glob.glob(os.path.join(suite, "nistData", "*", "*", "*", "*.xsd"))):
        name = os.path.basename(schema)[:-4]
        tests.append(Test("NIST/" + name, "schema", "valid", [schema]))
    for instance in sorted(glob.glob(os.path.join(suite, "nistData", "*", "*", "*", "*.xml"))):
        named = NIST_INSTANCE.fullmatch(os.path.basename(instance))
        if not named:
            continue  # a document the runner wrote
        schema = os.path.join(os.path.dirname(instance), f"NISTSchema-{named[1]}-{named[2]}.xsd")
        expected = "valid" if named[1] == "SV-IV" else "invalid"
        tests.append(Test("NIST/" + os.path.basename(instance)[:-4], "instance", expected, [schema],
                          instance))
    return tests


def load(suite):
    """Every counted test of the suite, in the suite's order."""
    tests = []
    for reference in ElementTree.parse(os.path.join(suite, "suite.xml")).getroot().iter(TS + "testSetRef"):
        path = os.path.join(suite, reference.get(HREF))
        if os.path.exists(path):
            tests += from_test_set(path)
        elif reference.get(HREF).startswith("nistMeta/"):
            tests += from_nist_files(suite)
    return tests
