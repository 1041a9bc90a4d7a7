"""Runs every test in a child process of its own (where os.fork exists), so
that a test that crashes the interpreter fails alone, with the signal that
ended it, and every other test still runs and reports.

ANIMATIONMODEL_TESTS_IN_PROCESS=1 runs them in this process instead (for a
debugger)."""

import os
import pickle
import signal
import sys

from _pytest.reports import TestReport
from _pytest.runner import runtestprotocol


def _in_a_child(item):
    """The reports of running `item` in a child process, or None when it ended without giving them."""
    read, write = os.pipe()
    sys.stdout.flush()
    sys.stderr.flush()
    pid = os.fork()
    if pid == 0:
        status = 1
        try:
            os.close(read)
            reports = runtestprotocol(item, log=False)
            data = pickle.dumps([item.config.hook.pytest_report_to_serializable(config=item.config, report=r)
                                 for r in reports])
            with os.fdopen(write, "wb") as out:
                out.write(data)
            status = 0
        finally:
            sys.stdout.flush()
            sys.stderr.flush()
            os._exit(status)
    os.close(write)
    with os.fdopen(read, "rb") as pipe:
        data = pipe.read()
    _, status = os.waitpid(pid, 0)
    if status != 0 or not data:
        return None, status
    return [item.config.hook.pytest_report_from_serializable(config=item.config, data=d)
            for d in pickle.loads(data)], status


def _crash(item, status):
    """The failed report of a test whose process ended abnormally."""
    if os.WIFSIGNALED(status):
        how = f"signal {signal.Signals(os.WTERMSIG(status)).name}"
    else:
        how = f"exit status {os.WEXITSTATUS(status)}"
    return TestReport(item.nodeid, item.location, {k: 1 for k in item.keywords}, "failed",
                      f"the test's process ended with {how}", "call", [], 0.0)


def pytest_runtest_protocol(item, nextitem):
    if not hasattr(os, "fork") or os.environ.get("ANIMATIONMODEL_TESTS_IN_PROCESS") == "1":
        return None
    item.ihook.pytest_runtest_logstart(nodeid=item.nodeid, location=item.location)
    reports, status = _in_a_child(item)
    for report in reports if reports is not None else [_crash(item, status)]:
        item.ihook.pytest_runtest_logreport(report=report)
    item.ihook.pytest_runtest_logfinish(nodeid=item.nodeid, location=item.location)
    return True
