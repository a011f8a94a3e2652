"""tbxrun in Python: check and run service-life jobs in memory.

    import tbxrun
    findings = tbxrun.check("pier")             # pier.dat or pier.toml
    result = tbxrun.run("pier", threads=2)
    result.times, result.pf, result.beta        # numpy arrays, one entry per time point
    result.summary["service_life"]["years"]     # the summary, as in pier_summary.json
    result.write("out")                         # the files `tbxrun --summary pier` writes

A job is given as the name of its file ("pier", "pier.dat", "runs/pier.toml",
or a path object) or as its text, with `name` naming it ("pier.toml": the
extension chooses the model; without one a fib job is recognised by its
TOML tables). Probabilities are fractions (0.0123), never percent, except in
`summary`, which keeps the units of the summary file.

Every failure raises tbxrun.Error; Ctrl-C during a run raises
KeyboardInterrupt and cancels it.
"""

import collections
import functools
import json
import operator
import os

from . import _tbxrun

__all__ = ["Error", "Progress", "Result", "check", "run", "version"]


class Error(Exception):
    """A job that cannot be read, checked, run or written.

    kind: what went wrong, one of "not_found", "invalid_job", "usage",
        "busy", "out_of_memory", "io", "cancelled", "failed";
    finding: a dict with the fields of check()'s findings (severity, file,
        line, field, value, expected, fix, message), empty where none applies;
    report: the text the tbxrun program prints for it on standard error.
    """

    def __init__(self, message, kind, finding, report=""):
        super().__init__(message)
        self.kind = kind
        self.finding = finding
        self.report = report

    def __reduce__(self):
        # Whole across processes (multiprocessing pickles what a worker raises).
        return type(self), (str(self), self.kind, self.finding, self.report)


class Progress(collections.namedtuple("Progress", "point points t done simulations")):
    """Where a run is: time point `point` of `points` (1-based), at `t`
    years, with `done` of its `simulations` simulated."""

    __slots__ = ()

    @property
    def fraction(self):
        """The part of the whole run done, 0 to 1."""
        total = self.points * self.simulations
        return (max(self.point - 1, 0) * self.simulations + self.done) / total if total else 0.0


class Result:
    """The results of run(), one entry per time point in each array.

    times: years; failures: failing simulations; pf: failures / simulations;
    pf_se: its standard error; pf_low, pf_high: the 95 % interval of pf;
    beta: -Phi^-1(pf), +inf at pf 0 and -inf at pf 1; beta_cornell: mean(G) / sd(G)
    as the classic report prints it; summary: the summary file's content as a
    dict (its units: pf in percent); warnings: the run's warnings as dicts
    (kind, point, simulation, value, message); simulations, seed: per time
    point, and the seed the run used.
    """

    def __init__(self, job, native):
        self._job = job
        self._native = native
        for name, values in native.arrays.items():
            setattr(self, name, values)
        self.warnings = native.warnings
        self.simulations = native.simulations
        self.seed = native.seed

    @functools.cached_property
    def summary(self):
        """The summary file's content as a dict, made when first asked for:
        its stamps of the reports cost as much as writing them."""
        return json.loads(self._native.summary_json)

    @property
    def job_file(self):
        """The job file's name ("pier.toml")."""
        return self._job.file_name

    @property
    def model(self):
        """The job's model: "classic" (a .dat job) or "fib" (a .toml job)."""
        return self._job.model

    def write(self, folder="."):
        """Writes the files `tbxrun --summary` writes for the job into
        `folder`: the classic reports (<job>_rs.dat, <job>_xls.dat) or the fib
        report (<job>_report.txt), and <job>_summary.json and .csv. All or
        nothing: no file is placed until every one is complete."""
        _tbxrun.write(self._job, self._native, os.fspath(folder))

    def __repr__(self):
        return f"<tbxrun.Result {self.job_file}: {len(self.times)} time points, {self.simulations} simulations each>"


def _job(path_or_text, name):
    """The job a caller means: a file where the argument names one, else text."""
    if isinstance(path_or_text, os.PathLike):
        path_or_text = os.fspath(path_or_text)
        is_path = True
    elif isinstance(path_or_text, str):
        # Job text has line breaks; a name has none. A one-line name that no
        # file answers to is still taken for a name where `name` is absent,
        # so that a misspelt job gives "not found", not a reader's complaint.
        one_line = "\n" not in path_or_text and "\r" not in path_or_text
        exists = one_line and any(os.path.isfile(path_or_text + ext) for ext in ("", ".dat", ".toml"))
        is_path = exists or (one_line and name is None)
    else:
        raise TypeError(f"a job is a file's name or its text (str), not {type(path_or_text).__name__}")
    if is_path:
        if name is not None:
            raise ValueError(f"name is for job text; {path_or_text!r} is a job file")
        return _tbxrun.Job.load(path_or_text)
    return _tbxrun.Job.from_text(path_or_text, "job" if name is None else name)


def check(path_or_text, name=None):
    """Every finding about the job, as `tbxrun --check` reports them: a list
    of dicts with severity ("error" or "warning"), file, line (0 where none
    applies), field, value, expected, fix and message. An empty list is a
    clean job. Runs nothing; raises Error only where the job cannot be read
    at all (no such file)."""
    try:
        job = _job(path_or_text, name)
    except Error as error:
        if error.kind != "invalid_job":
            raise
        return [error.finding]
    return _tbxrun.check(job)


def run(path_or_text, name=None, threads=None, progress=None, *, target_beta=None, design_life=None):
    """Runs the job in memory and returns a Result; writes nothing.

    threads: CPUs to use (default: every CPU the process may run on).
    progress: None, or a callable that gets a Progress (point, points, t,
        done, simulations, and .fraction of the whole run) at the start and
        the end of every time point and about ten times a second between.
        An exception it raises ends the run and is raised by run().
    target_beta, design_life: as the program's --target-beta and
        --design-life (default: the job's own target, the last time point).

    The simulation runs without the GIL, so other Python threads go on.
    Ctrl-C cancels the run and raises KeyboardInterrupt (where run() is
    called from the main thread, the one Python delivers signals to); the
    summary, made after the series, is finished first.
    """
    if threads is not None and operator.index(threads) < 1:
        raise ValueError(f"threads must be 1 or more, not {threads!r}")
    if progress is not None and not callable(progress):
        raise TypeError(f"progress must be callable, not {type(progress).__name__}")
    job = _job(path_or_text, name)
    report = None if progress is None else (lambda *where: progress(Progress(*where)))
    native = _tbxrun.run(job, 0 if threads is None else operator.index(threads), target_beta, design_life, report)
    return Result(job, native)


def version():
    """The library's version, as `tbxrun --version` prints it ("tbxrun 2.3.0")."""
    return _tbxrun.version()
