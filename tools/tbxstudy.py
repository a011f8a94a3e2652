"""A parameter study of tbxrun jobs: made from a base job, kept in a folder.

A study is a folder: study.json lists the jobs and their values, and every
job lives in a folder of its own, STUDY/NAME/NAME.dat, where tbxrun writes
its reports and tbxsweep the job's log, NAME.log, with its console output
between a first line that says where and when it started and a last line
with its exit status. A study made from a TOML job (BASE.toml, the fib
model) has NAME.toml jobs, whose outputs are their summary files and
NAME_report.txt; study.json then says "job_file": ".toml".
"""

import itertools
import json
import math
import os
import re
import shutil
import socket
import stat
import sys
from decimal import Decimal, InvalidOperation

from tbxcheck import check_jobs, errors, find_tbxrun, finding_text
from tbxjobfile import JobFileError, check_token, parameter_fits_type, parse_field, read_job_file
from tbxseries import RS_SUFFIX, XLS_SUFFIX
from tbxtomljob import TomlJob, check_toml_value, parse_toml_field, read_toml_job, setting_choice

MAX_JOBS = 100_000
MAX_NAME = 200  # a file name holds 255 bytes: the job name and the longest suffix
STUDY_FILE = "study.json"
STUDY_FORMAT = 1
# The first and last line of a job's log around tbxrun's console output; the
# Slurm script writes the same lines.
LOG_START = "# tbxsweep: started {job} on {host}, process {pid}, at {when}"
LOG_END = "# tbxsweep: exit status {status}"
LOG_START_RE = re.compile(r"# tbxsweep: started \S+ on (\S+), process (\d+), at ")
LOG_END_RE = re.compile(r"# tbxsweep: exit status (\d+)$")
SUMMARY_SUFFIX = "_summary.json"
# What a run of a TOML job writes, all of it always.
TOML_OUTPUTS = (SUMMARY_SUFFIX, "_summary.csv", "_report.txt")
JOB_NAME_RE = re.compile(r"[A-Za-z0-9+-][A-Za-z0-9._+-]*")
CONTROL_RE = re.compile(r"[\x00-\x1f\x7f]")
# A run ended by one of these (exit status 128 + the number) was stopped, by
# Ctrl-C, tbxsweep passing on its own signal, kill or a time limit: it did
# not fail, it is to be run again.
STOP_SIGNALS = {1: "SIGHUP", 2: "SIGINT", 15: "SIGTERM"}


class StudyError(Exception):
    """Something tbxsweep refuses or cannot do: the message says what and why."""


def fail(message):
    raise StudyError(message)



# ----------------------------------------------------------------------------
# Values of --vary

def expand_values(text, kind):
    """The values of a list (40,50,60) or an inclusive range (30:90:5), as text."""
    if ":" in text:
        parts = text.split(":")
        if len(parts) != 3:
            fail(f"'{text}': a range is FIRST:LAST:STEP")
        try:
            first, last, step = (Decimal(p) for p in parts)
        except InvalidOperation:
            fail(f"'{text}': a range is FIRST:LAST:STEP, three numbers")
        if not all(d.is_finite() for d in (first, last, step)) or step == 0 or \
                (last - first) * step < 0:
            fail(f"'{text}': the step must lead from {parts[0]} to {parts[1]}")
        count = int((last - first) / step) + 1
        if count > MAX_JOBS:
            fail(f"'{text}' has {count} values, more than {MAX_JOBS}")
        values = [first + i * step for i in range(count)]
        if kind == "int" and any(v != v.to_integral_value() for v in values):
            fail(f"'{text}': this field takes whole numbers")
        texts = [str(int(v)) if kind == "int" else plain(v) for v in values]
    else:
        texts = [v.strip() for v in text.split(",")]
    if not texts or any(not v for v in texts):
        fail(f"'{text}': an empty value")
    if len(set(texts)) != len(texts):
        fail(f"'{text}': a value is given twice")
    return texts


def plain(d):
    """A Decimal as a number without exponent: 30, 32.5, 0.05."""
    text = format(d, "f")
    if "." in text:
        text = text.rstrip("0").rstrip(".")
    return text or "0"


def parse_vary(option, base):
    field_name, sep, values = option.partition("=")
    toml = isinstance(base, TomlJob)
    if not sep or not values:
        fail(f"--vary '{option}': write FIELD=VALUES, for example "
             f"{'a' if toml else 'xc'}.mean=30:90:5")
    field = (parse_toml_field if toml else parse_field)(field_name.strip())
    if toml:
        base.locate(field)
    if field.kind == "setting":
        # A value with a blank is given with _ or -, as a job folder names it.
        try:
            return field, [setting_choice(field.name, v) for v in expand_values(values, "text")]
        except JobFileError as e:
            fail(f"--vary {field.name}: {e}")
    texts = expand_values(values, field.kind)
    for v in texts:
        try:
            check_toml_value(v) if toml else check_token(v)
        except JobFileError as e:
            fail(f"--vary {field.name}: {e}")
    return field, texts


def base_job_path(base):
    """The base job's file: BASE as given with its suffix, else BASE.dat or BASE.toml."""
    if base.endswith((".dat", ".toml")):
        return base
    dat, toml = base + ".dat", base + ".toml"
    if os.path.exists(toml):
        if os.path.exists(dat):
            fail(f"both {dat} and {toml} exist: give the one to vary with its suffix")
        return toml
    return dat


def job_names(fields, combinations):
    # A value with a blank (a binder "CEM I") names its folder with _ instead.
    return ["_".join(f"{f.label}-{v.replace(' ', '_')}" for f, v in zip(fields, combo))
            for combo in combinations]


# ----------------------------------------------------------------------------
# tbxsweep new

def new_study(args):
    if args.zip and len(args.vary) < 2:
        fail("--zip pairs the values of two or more --vary")
    base_path = base_job_path(args.base)
    toml = base_path.endswith(".toml")
    tbxrun = find_tbxrun(args.tbxrun)
    base = read_toml_job(base_path, tbxrun) if toml else read_job_file(base_path)
    suffix, encoding = (".toml", "utf-8") if toml else (".dat", "latin-1")
    varied = [parse_vary(option, base) for option in args.vary]
    fields = [f for f, _ in varied]
    for a, b in itertools.combinations(fields, 2):
        if a.slot == b.slot:
            fail(f"{a.name} and {b.name} are the same field")
    lists = [values for _, values in varied]
    if args.zip:
        if len({len(v) for v in lists}) != 1:
            fail("--zip needs the same number of values in every --vary: " +
                 ", ".join(f"{f.name} has {len(v)}" for f, v in varied))
        combinations = list(zip(*lists))
    else:
        count = math.prod(len(v) for v in lists)
        if count > MAX_JOBS:
            fail(f"{count} jobs ({' x '.join(str(len(v)) for v in lists)}): more than "
                 f"{MAX_JOBS}; split the study")
        combinations = list(itertools.product(*lists))
    names = job_names(fields, combinations)
    longest = max(names, key=len)
    if len(longest) > MAX_NAME:
        fail(f"a job name of {len(longest)} characters ({longest}): at most {MAX_NAME}, so "
             "that the file names of its reports fit; vary fewer fields at a time")
    changes = [job_changes(base, fields, combo, name) for name, combo in zip(names, combinations)]
    study = os.path.normpath(args.study)
    if os.path.lexists(study) and not (os.path.isdir(study) and not os.listdir(study)):
        fail(f"{study} exists already: give a new folder for the study")

    # Everything goes into a hidden folder beside the study that takes its
    # name when complete, so that a failure leaves no half study.
    temp = os.path.join(os.path.dirname(study) or ".",
                        f".{os.path.basename(study)}.tmp{os.getpid()}")
    try:
        os.mkdir(temp)
        jobs = []
        for name, combo, change in zip(names, combinations, changes):
            os.mkdir(os.path.join(temp, name))
            text = base.with_values(*change)
            with open(os.path.join(temp, name, name + suffix), "w", encoding=encoding,
                      newline="") as f:
                f.write(text)
            jobs.append({"name": name, "values": {f.name: v for f, v in zip(fields, combo)}})
        warned = refuse_what_tbxrun_refuses(tbxrun, temp, names)
        description = {
            "format": STUDY_FORMAT,
            # Relative to the study folder, so that a study moved with its
            # base job, or copied to another machine, still names it.
            "base": os.path.relpath(os.path.abspath(base_path), os.path.abspath(study)),
            "mode": "zip" if args.zip else "grid",
            "fields": [{"field": f.name, "label": f.label, "unit": f.unit, "values": v}
                       for f, v in varied],
            "jobs": jobs,
        }
        if toml:
            description["job_file"] = suffix
        with open(os.path.join(temp, STUDY_FILE), "w", encoding="utf-8") as f:
            json.dump(description, f, indent=1)
            f.write("\n")
        if os.path.isdir(study):
            os.rmdir(study)
        os.rename(temp, study)
    except OSError as e:
        shutil.rmtree(temp, ignore_errors=True)
        fail(f"{study}: {e.strerror}")
    except BaseException:  # Ctrl-C
        shutil.rmtree(temp, ignore_errors=True)
        raise
    print(f"{study}: {plural(len(jobs), 'job')} "
          f"({', '.join(f.name + ' ' + plural(len(v), 'value') for f, v in varied)}"
          f"{', zipped' if args.zip else ''})")
    if warned:
        name, finding = warned[0]
        print(f"{study}: tbxrun --check warns of {plural(len(warned), 'job')}, first {name}: "
              f"{finding_text(finding)}", file=sys.stderr)
    return 0


def plural(count, word):
    return f"{count} {word}" + ("" if count == 1 else "s")


def job_changes(base, fields, combo, name):
    """What to change in the base for one job, as with_values takes it."""
    if isinstance(base, TomlJob):
        try:
            return base.job_values(fields, combo)
        except JobFileError as e:
            fail(f"job {name}: {e}")
    values = {f.slot: v for f, v in zip(fields, combo)}
    for f in fields:
        if f.variable is not None:
            dist_type = values.get(f"type.{f.variable}", base.token(f"type.{f.variable}"))
            why = parameter_fits_type(f, int(dist_type) if dist_type.isdigit() else None)
            if why:
                fail(f"job {name}: {why}")
    return (values,)


def refuse_what_tbxrun_refuses(tbxrun, folder, names):
    """Fail with the first error of the first job NAME (in `folder`) that tbxrun's
    check refuses; else [(name, first warning)] of the jobs it warns of."""
    results = check_jobs(tbxrun, folder, [f"{name}/{name}" for name in names])
    warned = []
    for name, result in zip(names, results):
        refused = errors(result)
        if refused:
            fail(f"job {name}: {finding_text(refused[0])}")
        if result["findings"]:
            warned.append((name, result["findings"][0]))
    return warned


# ----------------------------------------------------------------------------
# The study on disk

class Study:
    def __init__(self, folder):
        self.folder = os.path.normpath(folder)
        path = os.path.join(self.folder, STUDY_FILE)
        try:
            with open(path, encoding="utf-8") as f:
                data = json.load(f)
        except OSError as e:
            fail(f"{path}: {e.strerror}: is {self.folder} a study made by tbxsweep new?")
        except ValueError as e:
            fail(f"{path}: not a study description ({e})")
        if data.get("format") != STUDY_FORMAT:
            fail(f"{path}: a study description of an unknown format")
        try:
            self.fields = data["fields"]
            self.jobs = data["jobs"]
            self.job_suffix = data.get("job_file", ".dat")
            bad = next((j["name"] for j in self.jobs if not JOB_NAME_RE.fullmatch(j["name"])),
                       None)
            # Names, labels and values go into the charts' gnuplot script.
            texts = [f[k] for f in self.fields for k in ("field", "label", "unit")] + \
                [v for f in self.fields for v in f["values"]] + \
                [t for j in self.jobs for item in j["values"].items() for t in item]
        except (KeyError, TypeError, AttributeError):
            fail(f"{path}: not a study description (no fields and jobs)")
        if bad is not None:
            fail(f"{path}: '{bad}' is no job name that tbxsweep new makes")
        odd = next((t for t in texts if not isinstance(t, str) or CONTROL_RE.search(t)), None)
        if odd is not None:
            fail(f"{path}: {odd!r} is no field or value that tbxsweep new writes")
        if self.job_suffix not in (".dat", ".toml"):
            fail(f"{path}: a job file of an unknown kind, {self.job_suffix!r}")
        self.outputs = TOML_OUTPUTS if self.job_suffix == ".toml" else (RS_SUFFIX, XLS_SUFFIX)
        self.cluster_done = False  # no task of the study is queued or running on a cluster
        self.cluster_busy = False  # some task of the study is queued or running on a cluster

    def expect_summary(self, options):
        """With tbxrun's --summary among the options, a job also needs its summary."""
        if "--summary" in options and self.job_suffix == ".dat":
            self.outputs = (RS_SUFFIX, XLS_SUFFIX, SUMMARY_SUFFIX)

    def job_path(self, name, suffix=""):
        return os.path.join(self.folder, name, name + suffix)

    def job_file(self, name):
        return self.job_path(name, self.job_suffix)

    def is_complete(self, name):
        """The reports exist as files and are newer than the job file."""
        try:
            job = os.stat(self.job_file(name)).st_mtime_ns
            reports = [os.stat(self.job_path(name, s)) for s in self.outputs]
        except OSError:
            return False
        return all(stat.S_ISREG(r.st_mode) and r.st_mtime_ns > job for r in reports)

    def state(self, name):
        """done, failed, running, interrupted or waiting, and the failure message."""
        if self.is_complete(name):
            return "done", ""
        log = self.job_path(name, ".log")
        try:
            if os.stat(log).st_mtime_ns < os.stat(self.job_file(name)).st_mtime_ns:
                return "waiting", ""  # the job was changed after that run
            with open(log, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except OSError:
            return "waiting", ""
        end = LOG_END_RE.match(lines[-1]) if lines else None
        if end:
            status = int(end.group(1))
            if status - 128 in STOP_SIGNALS:
                return "interrupted", f"stopped by {STOP_SIGNALS[status - 128]}"
            return "failed", failure_message(lines[1:-1], status)
        start = LOG_START_RE.match(lines[0]) if lines else None
        if not start:
            # No first line: a task that is just starting on the cluster, or
            # a run that could not write it (a full disk), which runs no more.
            return ("running", "") if self.cluster_busy else \
                ("interrupted", "its log has no first line (a full disk?)")
        if start.group(1) == socket.gethostname():
            return ("running" if alive(int(start.group(2))) else "interrupted"), ""
        # Started on another machine: running unless the cluster has no task
        # of the study left.
        return ("interrupted" if self.cluster_done else "running"), ""


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def failure_message(output, status):
    """What went wrong, from tbxrun's console output: the lines of its error report."""
    if status == 0:
        return "exit status 0 but an output (a report, the summary) is missing or older " \
            "than the job file"
    for i, line in enumerate(output):
        if line.strip() == "ERROR:":
            report = list(itertools.takewhile(str.strip, output[i + 1:]))
            return " ".join(" ".join(report).split())
    text = [line for line in output if line.strip()]
    what = f"killed by signal {status - 128}" if status > 128 else f"exit status {status}"
    return what + (f": {text[-1].strip()}" if text else "")
