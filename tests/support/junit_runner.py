"""Runs a module's unittest cases and writes their outcomes as JUnit XML, which
scripts/test adds up with the GoogleTest results."""
import os
import unittest
import xml.etree.ElementTree as ET


class JUnitResult(unittest.TextTestResult):
    """Keeps each test's outcome: None when it passed (or was skipped), else the failure text."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.outcomes = {}

    def addSuccess(self, test):
        super().addSuccess(test)
        self.outcomes.setdefault(test.id(), None)

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.outcomes[test.id()] = self._exc_info_to_string(err, test)

    def addError(self, test, err):
        super().addError(test, err)
        self.outcomes[test.id()] = self._exc_info_to_string(err, test)

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self.outcomes[test.id()] = None

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            previous = self.outcomes.get(test.id()) or ""
            self.outcomes[test.id()] = previous + self._exc_info_to_string(err, subtest)


def run(module, suite_name, junit_path):
    """Runs the tests of `module`; writes `junit_path` when given. Returns the exit status."""
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    result = unittest.TextTestRunner(resultclass=JUnitResult, verbosity=2).run(suite)
    if junit_path:
        os.makedirs(os.path.dirname(junit_path), exist_ok=True)
        root = ET.Element("testsuite", name=suite_name, tests=str(len(result.outcomes)))
        for name, failure in sorted(result.outcomes.items()):
            case = ET.SubElement(root, "testcase", classname=name.rsplit(".", 1)[0], name=name.rsplit(".", 1)[1])
            if failure:
                ET.SubElement(case, "failure", message="failed").text = failure
        ET.ElementTree(root).write(junit_path, encoding="utf-8", xml_declaration=True)
    return 0 if result.wasSuccessful() else 1
