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
                "life_cornell_years", "life_cornell_kind", "index_source", "message",
                "design_life_years", "design_cover_mm", "design_cover_low", "design_cover_high"]


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
    return rows, {"life": life, "low": low, "high": high, "cornell": cornell, "source": source,
                  "design_cover": design_cover(summary)}


def design_cover(summary):
    """[design life, mean cover, low, high] of a summary's design cover; None where it
    has none. The interval is read under either name a summary may give it."""
    life = (summary or {}).get("design_life")
    cover = (summary or {}).get("design_cover")
    if not isinstance(cover, dict):
        return [life, None, None, None]
    low = next((cover[k] for k in ("mean_cover_low", "low") if k in cover), None)
    high = next((cover[k] for k in ("mean_cover_high", "high") if k in cover), None)
    return [life, cover.get("mean_cover"), low, high]


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
            life_csv.writerow([name] + values + [state] + [""] * 7 + [message] + [""] * 4)
            continue
        results[name] = life
        for row in rows:
            series_csv.writerow([name] + values + row)
        kind, years, _, _ = life["life"]
        ckind, cyears, _, _ = life["cornell"]
        life_csv.writerow([name] + values + [
            "done", number_text(years), number_text(life["low"]), number_text(life["high"]),
            kind, number_text(cyears), ckind, life["source"], ""] +
            [number_text(x) for x in life["design_cover"]])
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


def axis_field(study):
    """The varied field of the design answer: the first of several values, all numbers.

    None when no such field is varied (only binders): each job then has its life."""
    for field in study.fields:
        if len(field["values"]) < 2:
            continue
        try:
            [float(v) for v in field["values"]]
        except ValueError:
            continue
        return field
    return None


def design_groups(study, results, index):
    """For each combination of the other varied fields: [(value, years, exact, kind, job)]."""
    axis = axis_field(study)
    # A field of one value is the same in every group.
    others = [f for f in study.fields if f is not axis and len(f["values"]) > 1]
    groups = {}
    for job in study.jobs:
        if job["name"] not in results:
            continue
        years, exact = life_of(results[job["name"]], index)
        if years is None:
            continue
        kind = results[job["name"]]["cornell" if index == "cornell" else "life"][0]
        key = tuple((f["label"], job["values"][f["field"]] + (f" {f['unit']}" if f["unit"] else ""))
                    for f in others)
        value = float(job["values"][axis["field"]]) if axis else math.nan
        groups.setdefault(key, []).append((value, years, exact, kind, job["name"]))
    return {k: sorted(v, key=lambda p: p[0]) if axis else v for k, v in groups.items()}


# Why a service life is only a bound, by its kind.
BOUND_REASONS = {"at_start": "the series starts after the crossing",
                 "not_reached": "the series ends before the crossing"}


def crossing_value(points, target, unit=""):
    """Where the service life passes the target life along the varied value.

    Returns ("value", v) interpolated linearly between the two values around
    the first passage, ("between", v0, v1, why) when one side is only a bound
    (why: which one and why), ("all", v) when every value reaches it, or
    ("none", None) when no neighbouring pair lies on both sides.
    """
    for (v0, y0, e0, k0, _), (v1, y1, e1, k1, _) in zip(points, points[1:]):
        low0 = y0 < target if k0 != "not_reached" else False
        low1 = y1 < target if k1 != "not_reached" else False
        high0 = y0 >= target if k0 != "at_start" else False
        high1 = y1 >= target if k1 != "at_start" else False
        if (low0 and high1) or (high0 and low1):
            if e0 and e1:
                return ("value", v0 + (target - y0) / (y1 - y0) * (v1 - v0))
            v, k = (v0, k0) if not e0 else (v1, k1)
            why = BOUND_REASONS.get(k, "the life is a bound")
            return ("between", v0, v1, f"at {v:g}{unit} {why}")
    if points and all(y >= target and k != "at_start" for _, y, _, k, _ in points):
        return ("all", points[0][0])
    return ("none", None)


def group_text(key):
    return ", ".join(f"{label} {value}" for label, value in key)


def design_answers(study, results, args):
    field = axis_field(study)
    what = f"{years_text(args.target_life)} at Beta {args.target_beta:g}" + \
        (" (Cornell index)" if args.index == "cornell" else " (standard index)")
    lines = []
    for key, points in design_groups(study, results, args.index).items():
        where = f" ({group_text(key)})" if key else ""
        if field is None:
            _, years, exact, kind, _ = points[0]
            bound = "" if exact else f" ({BOUND_REASONS.get(kind, 'a bound')})"
            verdict = "reaches" if years >= args.target_life and kind != "at_start" else \
                "does not reach"
            lines.append(f"{group_text(key)}: service life {years_text(years)}{bound}, "
                         f"{verdict} {what}")
            continue
        label = field["label"]
        unit = f" {field['unit']}" if field["unit"] else ""
        answer = crossing_value(points, args.target_life, unit)
        if answer[0] == "value":
            lines.append(f"{label} {answer[1]:.1f}{unit} reaches {what}{where}")
        elif answer[0] == "between":
            lines.append(f"{label} between {answer[1]:g} and {answer[2]:g}{unit} reaches "
                         f"{what}{where}: {answer[3]}")
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


# Discrete colours, one per value of a word or of a few numbers (colour-blind safe).
COLOURS = ("#0072b2", "#d55e00", "#009e73", "#cc79a7", "#e69f00", "#56b4e9", "#000000",
           "#8c564b", "#7f7f7f", "#f0e442")
# More values than colours: evenly spaced shades along a dark-to-light scale.
SCALE = ((0x44, 0x01, 0x54), (0x31, 0x68, 0x8e), (0x35, 0xb7, 0x79), (0xd0, 0xc0, 0x20))
TARGET_COLOUR = "#b2182b"


def shade_of(index, count):
    """The colour of the index-th of `count` values: each its own, never a colour bar."""
    if count <= len(COLOURS):
        return COLOURS[index]
    x = index / (count - 1) * (len(SCALE) - 1)
    k = min(int(x), len(SCALE) - 2)
    f = x - k
    return "#" + "".join(f"{round(a + (b - a) * f):02x}" for a, b in zip(SCALE[k], SCALE[k + 1]))
BOUND_POINTS = {"at_start": 10, "not_reached": 8}  # a triangle down, up


def field_text(field, value):
    return f"{field['label']} {value}" + (f" {field['unit']}" if field["unit"] else "")


def fields_title(study):
    varied = [f for f in study.fields if len(f["values"]) > 1] or study.fields
    return " and ".join(f["label"] for f in varied)


def pf_chart(study, series, bands, args):
    """Pf(t) of every job: a colour per value of the first varied field, a dash
    type per value of the second, the interval as a band; the target Pf."""
    varied = [f for f in study.fields if len(f["values"]) > 1] or study.fields[:1]
    colour_field = varied[0]
    dash_field = varied[1] if len(varied) > 1 else None
    target_pf = 100.0 * statistics.NormalDist().cdf(-args.target_beta)
    s = ["set xlabel 'Time of exposure t [years]'",
         "set ylabel 'Probability of corrosion initiation Pf [%]'",
         f"set title {gp_string('Pf(t) by ' + fields_title(study))} noenhanced",
         "set key outside right top Left reverse noenhanced",
         "set style fill transparent solid 0.15 noborder"]
    plots, data, titled = [], [], set()
    for i, job in enumerate(j for j in study.jobs if j["name"] in series):
        shade = shade_of(colour_field["values"].index(job["values"][colour_field["field"]]),
                         len(colour_field["values"]))
        dash = 1 + (dash_field["values"].index(job["values"][dash_field["field"]]) % 5
                    if dash_field else 0)
        data.append(f"$job{i} << EOD\n" + "\n".join(
            f"{t!r} {pf!r} {lo!r} {hi!r}" for (t, pf), (lo, hi) in
            zip(series[job["name"]], bands[job["name"]]) if math.isfinite(pf)) + "\nEOD")
        if any(math.isfinite(lo) for lo, _ in bands[job["name"]]):
            plots.append(f"$job{i} using 1:3:4 with filledcurves lc rgb '{shade}' notitle")
        colour_value = job["values"][colour_field["field"]]
        title = field_text(colour_field, colour_value) if colour_value not in titled else None
        titled.add(colour_value)
        plots.append(f"$job{i} using 1:2 with lines lw 1.5 dt {dash} lc rgb '{shade}' " +
                     (f"title {gp_string(title)}" if title else "notitle"))
    if dash_field:
        for k, value in enumerate(dash_field["values"][:5]):
            plots.append(f"NaN with lines lw 1.5 dt {k + 1} lc rgb '#444444' "
                         f"title {gp_string(field_text(dash_field, value))}")
    plots.append(f"{target_pf!r} with lines dt 2 lw 1.5 lc rgb '{TARGET_COLOUR}' title "
                 f"{gp_string(f'target Pf = {target_pf:.3g} % (β = {args.target_beta:g})')}")
    return "\n".join(data + s) + "\nplot " + ", \\\n  ".join(plots)


def design_chart(study, results, answers, args):
    """Service life against the axis field, a colour per group, its interval as error
    bars, bounds marked by why they are bounds, the target life, the answers below."""
    axis = axis_field(study)
    groups = design_groups(study, results, args.index)
    index_name = "Cornell" if args.index == "cornell" else "standard"
    others = [f["label"] for f in study.fields if f is not axis and len(f["values"]) > 1]
    title = f"Service life at β = {args.target_beta:g} ({index_name} index)" + \
        (f" against {axis['label']}" if axis else "") + \
        (f", by {' and '.join(others)}" if others else "")
    shown = answers[:6]
    s = [f"set title {gp_string(title)} noenhanced",
         "set key outside right top Left reverse noenhanced",
         f"set ylabel 'Service life [years]'",
         # The answers stand below the chart, clear of every curve.
         f"set bmargin {5 + 1.5 * len(shown)!r}"]
    for k, line in enumerate(shown):
        s.append(f"set label {k + 1} {gp_string(line)} at screen 0.01, screen "
                 f"{0.015 + 0.035 * (len(shown) - 1 - k)!r} tc rgb '{TARGET_COLOUR}' noenhanced")
    if axis:
        unit = f" [{axis['unit']}]" if axis["unit"] else ""
        s.append(f"set xlabel {gp_string(axis['label'] + unit)} noenhanced")
    else:
        s.append("set xlabel 'job' noenhanced")
        s.append("set xtics rotate by -30 noenhanced (" + ", ".join(
            f"{gp_string(group_text(key))} {k!r}" for k, key in enumerate(groups)) + ")")
        s.append(f"set xrange [-0.5:{len(groups) - 0.5!r}]")
    plots, data, bound_kinds = [], [], set()
    for i, (key, points) in enumerate(groups.items()):
        shade = shade_of(i, len(groups))
        rows = []
        for v, years, exact, kind, name in points:
            low, high = results[name]["low"], results[name]["high"]
            x = v if axis else float(i)
            low = low if isinstance(low, (int, float)) and exact else years
            high = high if isinstance(high, (int, float)) and exact else years
            rows.append(f"{x!r} {years!r} {low!r} {high!r} {int(exact)} {kind}")
        data.append(f"$life{i} << EOD\n" + "\n".join(rows) + "\nEOD")
        name = group_text(key) or "service life"
        if axis:
            plots.append(f"$life{i} using 1:2 with lines lw 2 lc rgb '{shade}' notitle")
        plots.append(f"$life{i} using 1:2:3:4 with yerrorbars pt 7 lc rgb '{shade}' "
                     f"title {gp_string(name + ', 95 % interval (Monte Carlo)')}")
        for kind in BOUND_REASONS:
            if any(k == kind and not e for _, _, e, k, _ in points):
                bound_kinds.add(kind)
                plots.append(f"$life{i} using 1:(strcol(6) eq '{kind}' ? $2 : NaN) with points "
                             f"pt {BOUND_POINTS[kind]} ps 2 lc rgb '{shade}' notitle")
        answer = crossing_value(points, args.target_life) if axis else ("none",)
        if answer[0] == "value":
            s.append(f"set arrow {i + 1} from first {answer[1]!r}, graph 0 to first "
                     f"{answer[1]!r}, first {args.target_life!r} nohead dt 3 "
                     f"lc rgb '{shade}'")
    for kind in sorted(bound_kinds):
        plots.append(f"NaN with points pt {BOUND_POINTS[kind]} ps 2 lc rgb '#444444' "
                     f"title {gp_string('bound: ' + BOUND_REASONS[kind])}")
    plots.append(f"{args.target_life!r} with lines dt 2 lw 1.5 lc rgb '{TARGET_COLOUR}' "
                 f"title {gp_string('target: ' + years_text(args.target_life))}")
    return "\n".join(data + s) + "\nplot " + ", \\\n  ".join(plots)


def plot_study(args):
    study = Study(args.study)
    if shutil.which("gnuplot") is None:
        fail("gnuplot not found: install it (Debian: apt-get install gnuplot-nox)")
    results, series, bands = {}, {}, {}
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
        bands[name] = [(pf_bound(r, -1), pf_bound(r, 1)) for r in rows]
    if not results:
        fail(f"{study.folder}: no job has results yet: tbxsweep run {study.folder}")
    base = os.path.join(study.folder, "study")
    answers = design_answers(study, results, args)
    plots = {"pf": pf_chart(study, series, bands, args),
             "design": design_chart(study, results, answers, args)}
    terminals = {"png": "set terminal pngcairo size 1120,680 font 'DejaVu Sans,10'",
                 "svg": "set terminal svg size 1120,680 dynamic font 'DejaVu Sans,10'"}
    s = []
    for which in ("pf", "design"):
        # Each chart starts from gnuplot's defaults: no setting of one reaches the other.
        s += ["reset session", "set encoding utf8", "set grid lc rgb '#dddddd'"]
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


def pf_bound(row, side):
    """The low (side -1) or high (+1) end of Pf's interval of a study.csv row: the
    summary's exact interval where there is one, else Pf -/+ 1.96 standard errors."""
    t, pf, se, _, _, _, beta_low, beta_high, source = row
    if source == "summary":
        beta = beta_high if side < 0 else beta_low
        return 100.0 * statistics.NormalDist().cdf(-float(beta)) if beta else math.nan
    value = float(pf) + side * 1.96 * 100.0 * float(se)
    return min(100.0, max(0.0, value)) if math.isfinite(value) else math.nan
