"""The results of a study: its tables, the design answer and the charts."""

import csv
import io
import json
import math
import os
import shutil
import statistics
import subprocess
import sys

from tbxseries import (SERIES_COLUMNS, XLS_SUFFIX, InputError, life_at_start, read_xls,
                       service_life, summary_series, write_atomically)
from tbxstudy import SUMMARY_SUFFIX, Study, fail

DEFAULT_TARGET_LIFE = 50.0


# ----------------------------------------------------------------------------
# tbxsweep collect

INDEX_COLUMNS = ["beta_std", "beta_std_low", "beta_std_high", "index_source"]
LIFE_COLUMNS = ["status", "life_years", "life_low", "life_high", "life_kind",
                "life_cornell_years", "life_cornell_kind", "index_source", "message"]


def standard_index(pf_percent):
    """beta = -Phi^-1(Pf); None where it is infinite or undefined."""
    p = float(pf_percent) / 100.0
    if not 0.0 < p < 1.0:
        return None
    return -statistics.NormalDist().inv_cdf(p)


def number_text(x):
    """A number as CSV text; empty for none, not a number, infinity or anything else."""
    if isinstance(x, bool) or not isinstance(x, (int, float)) or not math.isfinite(x):
        return ""
    return repr(x)


def read_summary(study, name):
    """The job's summary analysis (JOB_summary.json) when tbxrun wrote one, else None."""
    path = study.job_path(name, SUMMARY_SUFFIX)
    try:
        if os.stat(path).st_mtime_ns <= os.stat(study.job_file(name)).st_mtime_ns:
            return None
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, ValueError):
        return None
    try:
        {float(p["t"]) for p in data["time_points"]}
    except (TypeError, KeyError, ValueError):
        return None  # not a summary this version knows: the reports are used
    return data


def job_results(study, name, target):
    """Time-point rows (text) and the service life of one job.

    A TOML job's time points come from its summary, which it always writes."""
    summary = read_summary(study, name)
    if study.job_suffix == ".toml":
        if not summary:
            raise InputError(f"{study.job_path(name, SUMMARY_SUFFIX)}: missing, older than "
                             "the job file or not a summary")
        series = summary_series(summary)
    else:
        series, _ = read_xls(study.job_path(name, XLS_SUFFIX))
    if summary:
        points = {float(p["t"]): p for p in summary["time_points"]}
    rows, life_rows = [], []
    for row in series:
        t = float(row[0])
        if summary:
            p = points.get(t, {})
            index = [number_text(p.get("beta")), number_text(p.get("beta_low")),
                     number_text(p.get("beta_high")), "summary"]
        else:
            index = [number_text(standard_index(row[1])), "", "", "reports"]
        rows.append(row + index)
        beta = float(index[0]) if index[0] else (math.inf if float(row[1]) == 0 else
                                                 -math.inf if float(row[1]) == 100 else math.nan)
        life_rows.append({"t": t, "beta": beta, "cornell": float(row[3])})
    cornell = service_life([{"t": r["t"], "beta": r["cornell"]} for r in life_rows], target)
    life = service_life([{"t": r["t"], "beta": r["beta"]} for r in life_rows], target)
    low = high = None
    source = "summary" if summary else "reports"
    section = (summary or {}).get("service_life")
    if isinstance(section, dict) and section.get("target_beta") == target and \
            (section.get("years") is None or number_text(section.get("years"))):
        years = section.get("years")
        life = ("not_reached", life_rows[-1]["t"], None, None) if years is None else \
            ("at_start", years, None, None) if life_at_start(summary) else \
            ("summary", years, None, None)
        low, high = section.get("low"), section.get("high")
    elif summary:
        source = "summary points"  # the summary was made for another target index
    return rows, {"life": life, "low": low, "high": high, "cornell": cornell, "source": source}


def collect_study(args):
    study = Study(args.study)
    varied = [f["field"] for f in study.fields]
    table, lives = io.StringIO(), io.StringIO()
    series_csv = csv.writer(table, lineterminator="\n")
    life_csv = csv.writer(lives, lineterminator="\n")
    series_csv.writerow(["job"] + varied + SERIES_COLUMNS + INDEX_COLUMNS)
    life_csv.writerow(["job"] + varied + LIFE_COLUMNS)
    results, missing = {}, []
    for job in study.jobs:
        name, values = job["name"], [job["values"][f] for f in varied]
        state, message = study.state(name)
        if state == "done":
            try:
                rows, life = job_results(study, name, args.target_beta)
            except InputError as e:
                state, message = "failed", str(e)
        if state != "done":
            missing.append((name, state, message))
            life_csv.writerow([name] + values + [state, "", "", "", "", "", "", "", message])
            continue
        results[name] = life
        for row in rows:
            series_csv.writerow([name] + values + row)
        kind, years, _, _ = life["life"]
        ckind, cyears, _, _ = life["cornell"]
        life_csv.writerow([name] + values + [
            "done", number_text(years), number_text(life["low"]), number_text(life["high"]),
            kind, number_text(cyears), ckind, life["source"], ""])
    try:
        write_atomically(os.path.join(study.folder, "study.csv"), table.getvalue())
        write_atomically(os.path.join(study.folder, "study_life.csv"), lives.getvalue())
    except OSError as e:
        fail(f"{study.folder}: {e.strerror}")
    print(f"{study.folder}: study.csv and study_life.csv, {len(results)} of "
          f"{len(study.jobs)} jobs", file=sys.stderr)
    for line in design_answers(study, results, args):
        print(line)
    for name, state, message in missing:
        print(f"{state}: {name}" + (f": {message}" if message else ""), file=sys.stderr)
    return 1 if missing else 0


# ----------------------------------------------------------------------------
# The design answer: the value of the first varied field that reaches the target life

def life_of(result, index):
    """(years, exact) of a job's service life: exact False for a bound."""
    kind, years, _, _ = result["cornell" if index == "cornell" else "life"]
    if kind in ("crossing", "summary"):
        return years, True
    if kind in ("at_start", "not_reached"):
        return years, False
    return None, False


def design_groups(study, results, index):
    """For each combination of the other varied fields: [(value, years, exact, kind)]."""
    first = study.fields[0]["field"]
    others = [f["field"] for f in study.fields[1:]]
    groups = {}
    for job in study.jobs:
        if job["name"] not in results:
            continue
        years, exact = life_of(results[job["name"]], index)
        if years is None:
            continue
        kind = results[job["name"]]["cornell" if index == "cornell" else "life"][0]
        key = tuple((f, job["values"][f]) for f in others)
        groups.setdefault(key, []).append((float(job["values"][first]), years, exact, kind))
    return {k: sorted(v) for k, v in groups.items()}


def crossing_value(points, target):
    """Where the service life passes the target life along the varied value.

    Returns ("value", v) interpolated linearly between the two values around
    the first passage, ("between", v0, v1) when one side is only a bound,
    or ("none", None) when no neighbouring pair lies on both sides.
    """
    for (v0, y0, e0, k0), (v1, y1, e1, k1) in zip(points, points[1:]):
        low0 = y0 < target if k0 != "not_reached" else False
        low1 = y1 < target if k1 != "not_reached" else False
        high0 = y0 >= target if k0 != "at_start" else False
        high1 = y1 >= target if k1 != "at_start" else False
        if (low0 and high1) or (high0 and low1):
            if e0 and e1:
                return ("value", v0 + (target - y0) / (y1 - y0) * (v1 - v0))
            return ("between", v0, v1)
    if points and all(y >= target and k != "at_start" for _, y, _, k in points):
        return ("all", points[0][0])
    return ("none", None)


def design_answers(study, results, args):
    field = study.fields[0]
    label = field["label"]
    unit = f" {field['unit']}" if field["unit"] else ""
    what = f"{years_text(args.target_life)} at Beta {args.target_beta:g}" + \
        (" (Cornell index)" if args.index == "cornell" else " (standard index)")
    lines = []
    for key, points in design_groups(study, results, args.index).items():
        where = f" ({', '.join(f'{f} {v}' for f, v in key)})" if key else ""
        answer = crossing_value(points, args.target_life)
        if answer[0] == "value":
            lines.append(f"{label} {answer[1]:.1f}{unit} reaches {what}{where}")
        elif answer[0] == "between":
            lines.append(f"{label} between {answer[1]:g} and {answer[2]:g}{unit} reaches "
                         f"{what}{where}: the series of one of them ends before the crossing")
        elif answer[0] == "all":
            lines.append(f"every {label} from {answer[1]:g}{unit} reaches {what}{where}")
        elif len(points) > 0:
            best = max(points, key=lambda p: p[1])
            lines.append(f"no {label} from {points[0][0]:g} to {points[-1][0]:g}{unit} reaches "
                         f"{what}{where}: the longest is {years_text(best[1])} at "
                         f"{best[0]:g}{unit}")
    return lines


def years_text(y):
    return f"{y:.1f}".rstrip("0").rstrip(".") + " years"


# ----------------------------------------------------------------------------
# tbxsweep plot

def gp_string(text):
    return "'" + text.replace("'", "''") + "'"


def plot_study(args):
    study = Study(args.study)
    if shutil.which("gnuplot") is None:
        fail("gnuplot not found: install it (Debian: apt-get install gnuplot-nox)")
    first = study.fields[0]
    results, series = {}, {}
    for job in study.jobs:
        name = job["name"]
        if study.state(name)[0] != "done":
            continue
        try:
            rows, life = job_results(study, name, args.target_beta)
        except InputError as e:
            print(f"tbxsweep: {e}", file=sys.stderr)
            continue
        results[name] = life
        series[name] = [(float(r[0]), float(r[1])) for r in rows]
    if not results:
        fail(f"{study.folder}: no job has results yet: tbxsweep run {study.folder}")
    base = os.path.join(study.folder, "study")
    unit = f" [{first['unit']}]" if first["unit"] else ""
    s = ["set encoding utf8", "set grid lc rgb '#dddddd'", "set key off"]
    # Pf(t) of every job, coloured by the first varied value.
    s.append("set xlabel 'Time of exposure t [years]'")
    s.append("set ylabel 'Probability of corrosion initiation Pf [%]'")
    s.append(f"set cblabel {gp_string(first['label'] + unit)} noenhanced")
    s.append("set palette rgb 33,13,10")
    s.append(f"set title {gp_string(os.path.basename(study.folder) + ': Pf(t) of every job')} "
             "noenhanced")
    data = []
    for job in study.jobs:
        if job["name"] in series:
            value = float(job["values"][first["field"]])
            data.append("\n".join(f"{t!r} {pf!r} {value!r}" for t, pf in series[job["name"]]
                                  if math.isfinite(pf)))
    s.append("$pf << EOD\n" + "\n\n\n".join(data) + "\nEOD")
    plots = {"pf": "plot $pf using 1:2:3 with lines lw 1.5 lc palette"}
    # The design chart: service life against the first varied value.
    design = ["set xlabel " + gp_string(first["label"] + unit) + " noenhanced",
              f"set ylabel 'Service life at β = {args.target_beta:g} "
              f"({args.index} index) [years]'",
              "unset colorbox", "set key bottom right Left reverse noenhanced",
              f"set title {gp_string(os.path.basename(study.folder) + ': design chart')} "
              "noenhanced",
              f"set arrow 1 from graph 0, first {args.target_life!r} to graph 1, first "
              f"{args.target_life!r} nohead dt 2 lw 1.5 lc rgb '#b2182b'"]
    groups = design_groups(study, results, args.index)
    answers = design_answers(study, results, args)
    lines = []
    for i, (key, points) in enumerate(groups.items()):
        design.append(f"$life{i} << EOD\n" +
                      "\n".join(f"{v!r} {y!r}" for v, y, _, _ in points) + "\nEOD")
        title = ", ".join(f"{f} {v}" for f, v in key) or "service life"
        lines.append(f"$life{i} using 1:2 with linespoints pt 7 lw 2 lc {i + 1} "
                     f"title {gp_string(title)}")
        bounds = [(v, y) for v, y, exact, _ in points if not exact]
        if bounds:
            # A life beyond the series (or before its first point) is only a bound.
            design.append(f"$bound{i} << EOD\n" +
                          "\n".join(f"{v!r} {y!r}" for v, y in bounds) + "\nEOD")
            lines.append(f"$bound{i} using 1:2 with points pt 6 ps 2.5 lc {i + 1} title "
                         f"{gp_string('bound: the series ends before the crossing')}")
        answer = crossing_value(points, args.target_life)
        if answer[0] == "value":
            design.append(f"set arrow {i + 2} from first {answer[1]!r}, graph 0 to first "
                          f"{answer[1]!r}, first {args.target_life!r} nohead dt 3 "
                          "lc rgb '#b2182b'")
    if len(groups) == 1 and answers:
        design.append(f"set label 1 {gp_string(answers[0])} at graph 0.02, graph 0.94 "
                      "tc rgb '#b2182b' noenhanced")
    plots["design"] = "\n".join(design) + "\nplot " + ", ".join(lines)
    terminals = {"png": "set terminal pngcairo size 960,640 font 'DejaVu Sans,10'",
                 "svg": "set terminal svg size 960,640 dynamic font 'DejaVu Sans,10'"}
    for which in ("pf", "design"):
        if which == "design":
            s.append("unset cblabel")
        for fmt, terminal in terminals.items():
            s += [terminal, f"set output {gp_string(f'{base}_{which}.{fmt}')}"]
            s += [plots[which], "set output"]
    result = subprocess.run(["gnuplot"], input="\n".join(s) + "\n", text=True,
                            capture_output=True)
    if result.returncode != 0:
        fail("gnuplot failed:\n" + result.stderr.strip())
    for line in answers:
        print(line)
    print(f"{base}_pf.png, {base}_design.png (and .svg)", file=sys.stderr)
    return 0
