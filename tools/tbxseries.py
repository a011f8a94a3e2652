"""Reading tbxrun's spreadsheet files and the service life at a target index.

Shared by tbxplot, tbxcollect and tbxsweep. The scripts find this module
beside themselves in the source tree, and in ../share/tbxrun when installed.

A spreadsheet file JOB_xls.dat holds the last time on line 1, one line per
time point (time in years, Pf in %, its standard error as a fraction, Beta,
Pf from Beta in %) up to an empty line and, for a profile fit, one line per
profile point (depth in cm, measured content, predicted profiles 1 and 2).

A TOML job (JOB.toml) writes no spreadsheet file: its time points come from
its summary, JOB_summary.json, in the same columns.
"""

import binascii
import json
import math
import os
import statistics

XLS_SUFFIX = "_xls.dat"
RS_SUFFIX = "_rs.dat"
SUMMARY_JSON_SUFFIX = "_summary.json"
SERIES_COLUMNS = ["time_years", "pf_percent", "pf_std_error", "beta", "pf_beta_percent"]
PROFILE_COLUMNS = ["depth_cm", "measured", "predicted_1", "predicted_2"]
DEFAULT_TARGET_BETA = 1.3  # start of corrosion, serviceability limit state


class InputError(Exception):
    """A file that cannot be read: the message says where and why."""


def canonical(path, line_no, token):
    """The token as written, or NaN/Inf/-Inf; anything else that is no number is an error."""
    try:
        value = float(token)
    except ValueError:
        raise InputError(f"{path}: line {line_no}: not a number: '{token}'") from None
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "Inf" if value > 0 else "-Inf"
    return token


def read_xls(path):
    """Return (series rows, profile rows) of a spreadsheet file, values as text.

    Values are kept as written, except that not-a-number and infinity are
    spelled NaN, Inf and -Inf ("nan", "-nan", "inf" in the file).
    """
    try:
        with open(path, encoding="ascii", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise InputError(f"{path}: {e.strerror}") from None

    def numbers(line_no, count, what):
        tokens = lines[line_no - 1].split()
        if len(tokens) != count:
            raise InputError(f"{path}: line {line_no}: expected {count} numbers ({what}), "
                             f"found {len(tokens)}")
        return [canonical(path, line_no, t) for t in tokens]

    if not lines or not lines[0].strip():
        raise InputError(f"{path}: line 1: expected the last time of the series")
    (last_time,) = numbers(1, 1, "the last time")
    series, profile = [], []
    line_no = 2
    while line_no <= len(lines) and lines[line_no - 1].strip():
        series.append(numbers(line_no, 5, "time, Pf, standard error, Beta, Pf from Beta"))
        line_no += 1
    for line_no in range(line_no + 1, len(lines) + 1):
        profile.append(numbers(line_no, 4, "depth, measured, predicted 1, predicted 2"))
    if not series:
        raise InputError(f"{path}: no time points after line 1")
    if float(series[-1][0]) != float(last_time):
        raise InputError(f"{path}: line 1 gives the last time as {last_time} years but the "
                         f"last time point is at {series[-1][0]} years: is the file complete?")
    return series, profile


def read_series(job):
    """The time points of a job as dicts of floats: t, pf, se, beta, pf_beta."""
    series, _ = read_job_series(job)
    return [dict(zip(("t", "pf", "se", "beta", "pf_beta"), map(float, row))) for row in series]


def read_summary_file(path):
    """The summary of a run (JOB_summary.json), checked for what the tools read in it."""
    try:
        with open(path, encoding="utf-8") as f:
            summary = json.load(f)
        for p in summary["time_points"]:
            float(p["t"]), p["pf"], p["pf_se"], p["beta_cornell"]
        summary["service_life"]
    except OSError as e:
        raise InputError(f"{path}: {e.strerror}") from None
    except (ValueError, KeyError, TypeError) as e:
        raise InputError(f"{path}: not a summary file ({e!r})") from None
    if not summary["time_points"]:
        raise InputError(f"{path}: no time points")
    return summary


def report_stamp(path):
    """(bytes, CRC-32) of a file, as tbxrun records its reports in a summary."""
    crc, size = 0, 0
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            crc = binascii.crc32(chunk, crc)
            size += len(chunk)
    return size, crc


def check_summary_belongs(job, summary, path):
    """Refuse a summary that another run wrote than the reports beside it.

    tbxrun records in the summary its run identifier and the size and CRC-32
    of each report of the run. A report that is not there is not checked (it
    may have been removed to save room); a summary without the record was
    written before runs recorded it and is taken as it is.
    """
    reports = summary.get("reports")
    if reports is None:
        return
    try:
        stamps = [(r["suffix"], int(r["bytes"]), int(r["crc32"], 16)) for r in reports]
    except (KeyError, TypeError, ValueError) as e:
        raise InputError(f"{path}: not a summary file (its reports: {e!r})") from None
    for suffix, size, crc in stamps:
        report = job + suffix
        try:
            if os.stat(report).st_size == size and report_stamp(report) == (size, crc):
                continue
        except FileNotFoundError:
            continue
        except OSError as e:
            raise InputError(f"{report}: {e.strerror}") from None
        raise InputError(f"{path}: written by another run (run {summary.get('run')}) than "
                         f"{report} beside it; run the job again to have both from one run")


def summary_series(summary):
    """The time points of a summary as rows of a spreadsheet file, values as text.

    The standard error becomes a fraction as in the spreadsheet file; Beta is
    the Cornell index and the last column 100 Phi(-Beta); a value the summary
    leaves empty (null) is NaN.
    """
    def text(x):
        return "NaN" if x is None else canonical("", 0, repr(x))

    rows = []
    for p in summary["time_points"]:
        se = None if p["pf_se"] is None else p["pf_se"] / 100.0
        beta = p["beta_cornell"]
        pf_beta = None if beta is None else 100.0 * statistics.NormalDist().cdf(-beta)
        rows.append([text(p["t"]), text(p["pf"]), text(se), text(beta), text(pf_beta)])
    return rows


def life_at_start(summary):
    """True where the summary's service life is only a bound: the share initiated at
    the first time point already exceeds the target, and the summary gives that time."""
    life, first = summary["service_life"], summary["time_points"][0]
    if "kind" in life:
        return life["kind"] == "at_start"
    try:  # a summary written before the life had its kind
        target_pf = 100.0 * statistics.NormalDist().cdf(-float(life["target_beta"]))
        return float(life["years"]) <= float(first["t"]) and float(first["pf"]) >= target_pf
    except (KeyError, TypeError, ValueError):
        return False


def is_summary_job(job):
    """True for a job whose time points are in its summary only: a TOML job.

    That is JOB.toml without JOB.dat (tbxrun runs it), or, where the job file
    is elsewhere, a summary without a spreadsheet file.
    """
    if os.path.exists(job + ".toml") and not os.path.exists(job + ".dat"):
        return True
    return not os.path.exists(job + XLS_SUFFIX) and os.path.exists(job + SUMMARY_JSON_SUFFIX)


def read_job_series(job):
    """(series rows, profile rows) of a job, as read_xls gives them, for either kind of job."""
    if is_summary_job(job):
        path = job + SUMMARY_JSON_SUFFIX
        summary = read_summary_file(path)
        check_summary_belongs(job, summary, path)
        return summary_series(summary), []
    return read_xls(job + XLS_SUFFIX)


def service_life(rows, target):
    """Where Beta first falls below `target`.

    Returns (kind, time, before, after):
      ("crossing", t, row_before, row_after): interpolated time t;
      ("at_start", t, None, row): Beta is below the target at the first time
          point with a Beta that is a number;
      ("not_reached", t_last, None, row_last): never below the target;
      ("undefined", None, None, None): no time point has a Beta that is a number.
    Points whose Beta is not a number are left out; an infinite Beta counts as
    what it is, and the crossing next to it falls on the finite neighbour.
    """
    points = [r for r in rows if not math.isnan(r["beta"])]
    if not points:
        return ("undefined", None, None, None)
    if points[0]["beta"] < target:
        return ("at_start", points[0]["t"], None, points[0])
    for before, after in zip(points, points[1:]):
        if after["beta"] < target:
            b0, b1 = before["beta"], after["beta"]
            if math.isinf(b0):
                fraction = 1.0
            elif math.isinf(b1):
                fraction = 0.0
            else:
                fraction = (b0 - target) / (b0 - b1)
            t = before["t"] + fraction * (after["t"] - before["t"])
            return ("crossing", t, before, after)
    return ("not_reached", points[-1]["t"], None, points[-1])


def write_atomically(path, text):
    """Write beside the target and rename, so that a failure leaves no half file.

    Raises OSError; the temporary file is removed on failure.
    """
    temp = f"{path}.tmp{os.getpid()}"
    try:
        with open(temp, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        os.replace(temp, path)
    except OSError:
        if os.path.exists(temp):
            os.unlink(temp)
        raise
