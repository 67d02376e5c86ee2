"""What the suite runners share: running the validator on one file, a
known-failures list, and the comparison of a run with that list.

A known-failures file holds one case id per line. A line may give its reason
after '#'; a line without one takes the cause of the '## CAUSE' heading above
it. Other lines starting with '#' are comments.
"""

import concurrent.futures
import os
import socket
import subprocess


class Run:
    """How one validator run ended: exit_code is None when it timed out."""

    def __init__(self, exit_code, stderr, timed_out):
        self.exit_code = exit_code
        self.stderr = stderr
        self.timed_out = timed_out

    def describe(self):
        return "timed out" if self.timed_out else f"exit {self.exit_code}"


def add_run_options(parser, item):
    """The options every suite run takes: workers, time limit, a details file
    and the validator command; item names what the suite holds ("case")."""
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=20.0, help=f"seconds per {item}")
    parser.add_argument("--details", metavar="FILE",
                        help=f"write every failing {item} with its standard error to FILE")
    parser.add_argument("command", nargs="+", help="the validator and its fixed arguments")


def validator_command(command):
    """The command with a relative path to the program made absolute, so
    that it can run from every case's folder."""
    program = command[0]
    return [os.path.abspath(program) if os.sep in program else program] + command[1:]


class LoopbackOnly:
    """While it lives, validators run by run_validator reach no other host:
    every proxy variable names a loopback port that is bound but does not
    listen, so a suite's reference to a remote resource fails at once with
    the connection refused, and no host name is ever looked up."""

    def __enter__(self):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.socket.bind(("127.0.0.1", 0))
        proxy = "http://127.0.0.1:%d" % self.socket.getsockname()[1]
        self.saved = dict(os.environ)
        for name in ("http_proxy", "https_proxy", "all_proxy"):
            os.environ[name] = os.environ[name.upper()] = proxy
        for name in ("no_proxy", "NO_PROXY"):
            os.environ.pop(name, None)
        return self

    def __exit__(self, *failure):
        os.environ.clear()
        os.environ.update(self.saved)
        self.socket.close()


def run_validator(command, path, time_limit):
    """Runs COMMAND... NAME in path's folder, NAME being path's file name."""
    folder, name = os.path.split(path)
    try:
        finished = subprocess.run(command + [name], cwd=folder or ".", stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  timeout=time_limit)
        return Run(finished.returncode, finished.stderr, False)
    except subprocess.TimeoutExpired as expired:
        return Run(None, expired.stderr or b"", True)


def run_parallel(function, items, jobs):
    """function(item) for every item, jobs at a time, results in order, with
    the validators kept to this machine (LoopbackOnly)."""
    with LoopbackOnly(), concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(function, items))


def load_known_failures(path):
    """Maps case id to its reason; returns it with the lines it could not read."""
    known = {}
    problems = []
    cause = None
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            text = line.strip()
            if text.startswith("## "):
                cause = text[3:].strip()
                continue
            if not text or text.startswith("#"):
                continue
            case_id, hash_sign, reason = text.partition("#")
            case_id = case_id.strip()
            reason = reason.strip() if hash_sign else cause
            if not reason or not case_id or " " in case_id:
                problems.append(f"{path}:{number}: expected 'CASE-ID # reason' or a '## cause'"
                                f" heading above, got: {text}")
                continue
            if case_id in known:
                problems.append(f"{path}:{number}: {case_id} is listed twice")
            known[case_id] = reason
    return known, problems


def first_lines(data, count):
    text = data.decode("utf-8", errors="replace")
    lines = text.splitlines()
    shown = "\n".join("    " + line for line in lines[:count])
    if len(lines) > count:
        shown += f"\n    ... ({len(lines) - count} more lines)"
    return shown


class Verdict:
    """One case's result: its id, whether it passed, a line that says what
    was expected and what came, and the validator's standard error."""

    def __init__(self, case_id, passed, description, stderr):
        self.case_id = case_id
        self.passed = passed
        self.description = description
        self.stderr = stderr


def compare_with_known(verdicts, known, known_path, details_path=None):
    """Prints each failure the known list does not hold, and each listed case
    that passes now; writes every failure to details_path when given.
    Returns the failures and the unlisted ones among them."""
    failures = [v for v in verdicts if not v.passed]
    unexpected = [v for v in failures if v.case_id not in known]
    for verdict in unexpected:
        print("FAIL " + verdict.description)
        print(first_lines(verdict.stderr, 6))
    for verdict in verdicts:
        if verdict.passed and verdict.case_id in known:
            print(f"note: {verdict.case_id} passes now (listed in {known_path} as:"
                  f" {known[verdict.case_id]})")
    if details_path:
        with open(details_path, "w", encoding="utf-8") as details:
            for verdict in failures:
                details.write(verdict.description + "\n")
                details.write(first_lines(verdict.stderr, 60) + "\n\n")
    return failures, unexpected
