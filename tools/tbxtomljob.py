"""Fields of a TOML job file (JOB.toml, the fib model): where each value stands, how to change it.

A TOML job names its fields: `simulations`, `seed`, `target_beta`, `times`
and one table per variable (`[a]`, `[D_RCM0]`, ...) with its `distribution`
and `mean`, `sd`, `lower`, `upper` or `value`. A study varies them by name:
`a.mean`, `D_RCM0.sd`, `simulations`, `times.last`. The file is changed in
place, value by value, so that its comments and layout stay as they were;
tomllib (Python 3.11) reads it, and reads every changed file again to make
sure that the change is the only one. Whether the values are valid is
tbxrun's to say: a study asks tbxrun --check about every job it makes, and
about the base job before tomllib reads it (tomllib recurses once per level
of nesting, and tbxrun refuses a text nested deeper than any job).

The settings `binder` and `exposure` choose presets, which tbxrun applies
to a variable the job gives no table for. A study varies them as fields;
a key of a variable that a preset fills is varied by writing the preset's
table, with the varied key in it, into the job.
"""

import copy
import os
import re
import tomllib

from tbxcheck import check_text, errors
from tbxjobfile import Field, JobFileError, read_text

# The variables in their order in the model, with their units.
VARIABLES = ("a", "dx", "D_RCM0", "alpha", "be", "T", "Cs_dx", "C0", "Ccrit", "kt")
UNITS = {"a": "mm", "dx": "mm", "D_RCM0": "1e-12 m2/s", "alpha": "", "be": "K", "T": "C",
         "Cs_dx": "mass-%", "C0": "mass-%", "Ccrit": "mass-%", "kt": ""}
# Names for job folders and charts where the variable's own name says little.
LABELS = {"a": "cover"}
PARAMETERS = ("mean", "sd", "lower", "upper", "value")
PARAMETERS_OF = {"normal": ("mean", "sd"), "lognormal": ("mean", "sd"),
                 "beta": ("mean", "sd", "lower", "upper"), "uniform": ("lower", "upper"),
                 "fixed": ("value",)}
TOP_FIELDS = {"simulations": "int", "seed": "int", "target_beta": "real"}
TIMES_KEYS = ("first", "last", "step")
# The settings that choose presets, each a word from its list.
SETTINGS = ("binder", "exposure")


def _beta(mean, sd, lower, upper):
    return {"distribution": "beta", "mean": mean, "sd": sd, "lower": lower, "upper": upper}


def _fixed(value):
    return {"distribution": "fixed", "value": value}


# What tbxrun fills a variable with when the job gives no table for it: the
# first entry for the variable whose setting (None: always) has the entry's
# choice. The same table as tbxrun's own, in its order and units.
PRESETS = (
    ("be", None, "", {"distribution": "normal", "mean": 4800, "sd": 700}),
    ("Ccrit", None, "", _beta(0.6, 0.15, 0.2, 2.0)),
    ("kt", None, "", _fixed(1)),
    ("alpha", "binder", "CEM I", _beta(0.30, 0.12, 0, 1)),
    ("alpha", "binder", "fly ash", _beta(0.60, 0.15, 0, 1)),
    ("alpha", "binder", "slag", _beta(0.45, 0.20, 0, 1)),
    ("dx", "exposure", "splash", _beta(8.9, 5.6, 0, 50)),
    ("dx", "exposure", "tidal", _beta(8.9, 5.6, 0, 50)),
    ("dx", "exposure", "submerged", _fixed(0)),
    ("dx", "exposure", "spray", _fixed(0)),
)
# Short names of fields that engineers vary most.
ALIASES = {"cover": "a.mean"}


def setting_choices(setting):
    return [choice for _, s, choice, _ in PRESETS if s == setting]


def preset_of(variable, settings):
    """(name, table) of the preset that fills `variable` under `settings`, or None."""
    for v, setting, choice, table in PRESETS:
        if v != variable:
            continue
        if setting is None:
            return "default", table
        if settings.get(setting) == choice:
            return f"{setting} {choice}", table
    return None


def setting_choice(setting, text):
    """The choice of a setting that `text` names: case, blanks, _ and - do not matter."""
    def key(t):
        return re.sub(r"[\s_-]+", " ", t.strip()).lower()
    choice = next((c for c in setting_choices(setting) if key(c) == key(text)), None)
    if choice is None:
        raise JobFileError(f"'{text}' is no {setting}: choose from " +
                           ", ".join(setting_choices(setting)) +
                           " (write CEM_I or \"CEM I\" for one with a blank)")
    return choice


def toml_number(x):
    """A preset's number as TOML writes it, read back as the same double."""
    return str(x) if isinstance(x, int) else repr(x)


def field_names():
    return (list(TOP_FIELDS) + list(SETTINGS) + [f"times.{k}" for k in TIMES_KEYS] +
            [f"VARIABLE.{p}" for p in PARAMETERS])


def parse_toml_field(name):
    """The Field for a name such as a.mean, D_RCM0.sd, simulations or times.last.

    Its slot is the key path in the file: ("a", "mean"), ("simulations",).
    Names are matched without regard to case and given back as the file spells them.
    """
    lower = ALIASES.get(name.lower(), name.lower())
    if lower in SETTINGS:
        return Field(lower, (lower,), "setting", lower)
    if lower in TOP_FIELDS:
        return Field(lower, (lower,), TOP_FIELDS[lower], lower)
    head, _, tail = lower.partition(".")
    if head == "times" and tail in TIMES_KEYS:
        return Field(f"times.{tail}", ("times", tail), "real", f"times.{tail}", "years")
    variable = next((v for v in VARIABLES if v.lower() == head), None)
    if variable is None or tail not in PARAMETERS:
        raise JobFileError(
            f"unknown field '{name}': fields of a TOML job are {', '.join(field_names())}, "
            f"with VARIABLE one of {', '.join(VARIABLES)}; the presets' {' and '.join(SETTINGS)}; "
            "cover for a.mean")
    label = LABELS.get(variable, variable)
    if tail not in ("mean", "value"):
        label = f"{label}.{tail}"
    return Field(f"{variable}.{tail}", (variable, tail), "real", label, UNITS[variable],
                 variable, tail)


def check_toml_value(text):
    """The number a value stands for, written as TOML; JobFileError when it is none."""
    try:
        data = tomllib.loads(f"v = {text}")
    except tomllib.TOMLDecodeError:
        data = None
    value = data.get("v") if data and len(data) == 1 else None
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise JobFileError(f"'{text}' is not a number as TOML writes it (45, 0.25, 1e5)")
    if value != value:
        # A changed file is read again and compared value by value: NaN
        # equals nothing.
        raise JobFileError(f"'{text}' is not a number")
    return value


# ----------------------------------------------------------------------------
# Where the values stand

class _Scanner:
    """Finds the place of every key's value in a TOML text that tomllib has read.

    `slots` maps a key path to (start, end) of its value's text; values inside
    arrays and arrays of tables are not recorded (no field lies there).
    """

    BARE_KEY = re.compile(r"[A-Za-z0-9_-]+")
    SCALAR = re.compile(r"[A-Za-z0-9_+.:-]+")

    def __init__(self, text):
        self.t, self.i, self.slots = text, 0, {}
        self.first_header = None  # where the first table header starts

    def peek(self):
        return self.t[self.i] if self.i < len(self.t) else ""

    def blank(self, newlines=False):
        while self.i < len(self.t):
            c = self.t[self.i]
            if c in " \t" or (newlines and c in "\r\n"):
                self.i += 1
            elif c == "#":
                end = self.t.find("\n", self.i)
                self.i = len(self.t) if end < 0 else end
            else:
                return

    def string(self):
        """Skip a string of any of the four kinds; its text between the quotes."""
        quote = self.t[self.i]
        delimiter = quote * 3 if self.t.startswith(quote * 3, self.i) else quote
        start = self.i + len(delimiter)
        j = start
        while True:
            if quote == '"' and self.t[j] == "\\":
                j += 2
                continue
            if self.t.startswith(delimiter, j):
                # A multi-line string may end in up to two quotes of its own.
                end = j
                while len(delimiter) == 3 and end - j < 2 and \
                        self.t.startswith(quote, end + 3):
                    end += 1
                self.i = end + len(delimiter)
                return self.t[start:end]
            j += 1

    def key(self):
        parts = []
        while True:
            self.blank()
            if self.peek() in "\"'":
                parts.append(self.string())
            else:
                match = self.BARE_KEY.match(self.t, self.i)
                parts.append(match.group())
                self.i = match.end()
            self.blank()
            if self.peek() != ".":
                return tuple(parts)
            self.i += 1

    def value(self, path):
        c = self.peek()
        if c == "[":
            self.i += 1
            while True:
                self.blank(newlines=True)
                if self.peek() == "]":
                    self.i += 1
                    return
                self.value(None)
                self.blank(newlines=True)
                if self.peek() == ",":
                    self.i += 1
        elif c == "{":
            self.i += 1
            while True:
                self.blank()
                if self.peek() == "}":
                    self.i += 1
                    return
                key = self.key()
                self.i += 1  # "="
                self.blank()
                self.value(None if path is None else path + key)
                self.blank()
                if self.peek() == ",":
                    self.i += 1
        else:
            start = self.i
            if c in "\"'":
                self.string()
            else:
                self.i = self.SCALAR.match(self.t, self.i).end()
            if path is not None:
                self.slots[path] = (start, self.i)

    def scan(self):
        table = ()
        while True:
            self.blank(newlines=True)
            if self.i >= len(self.t):
                return self.slots
            if self.peek() == "[":
                if self.first_header is None:
                    self.first_header = self.i
                array = self.t.startswith("[[", self.i)
                self.i += 2 if array else 1
                table = None if array else self.key()
                if array:
                    self.key()
                self.blank()
                self.i += 2 if array else 1
            else:
                key = self.key()
                self.i += 1  # "="
                self.blank()
                self.value(None if table is None else table + key)


# ----------------------------------------------------------------------------
# The job file

class TomlJob:
    """A TOML job file's text, what tomllib reads in it and the place of every value."""

    suffix = ".toml"

    def __init__(self, text, path):
        self.text, self.path = text, path
        try:
            self.data = tomllib.loads(text)
        except tomllib.TOMLDecodeError as e:
            raise JobFileError(f"{path}: TOML syntax: {e}") from None
        try:
            scanner = _Scanner(text)
            self.slots = scanner.scan()
            self.first_header = len(text) if scanner.first_header is None else \
                scanner.first_header
        except (AttributeError, IndexError):
            raise JobFileError(f"{path}: a TOML construct that tbxsweep cannot edit in place; "
                               "write the job with plain keys and tables") from None

    def get(self, slot, data=None):
        node = self.data if data is None else data
        for key in slot:
            if not isinstance(node, dict) or key not in node:
                return None
            node = node[key]
        return node

    def locate(self, field):
        """JobFileError unless the study can set the field in this file.

        A value the file holds is changed in place. A setting (binder,
        exposure) the file lacks is added; a variable the file gives no table
        for gets the table of the preset that fills it, with the varied value
        in it (which preset may depend on a varied setting: see job_values).
        """
        slot, name = field.slot, field.name
        value = self.get(slot)
        if field.kind == "setting":
            if value is not None and not (isinstance(value, str) and slot in self.slots):
                raise JobFileError(f"{name}: {self.path} gives {name} as no word in quotes")
            for variable, setting, _, _ in PRESETS:
                if setting == name and isinstance(self.get((variable,)), dict):
                    # The table overrides every preset: the study would vary nothing.
                    raise JobFileError(
                        f"{name}: {self.path} gives [{variable}], which overrides the {name} "
                        f"preset, so varying {name} would change no input of the runs: remove "
                        f"[{variable}] from the base job to let each {name} fill it, or vary "
                        f"{variable}'s parameters instead")
            return
        if slot in self.slots and isinstance(value, (int, float)) and not isinstance(value, bool):
            return
        if field.variable is not None:
            table = self.get(slot[:1])
            if slot[:1] not in self.slots and table is None:
                return  # a preset fills it, or the job is refused for lack of it
            if not isinstance(table, dict):
                raise JobFileError(f"{name}: {self.path} gives {field.variable} in a form "
                                   f"tbxsweep cannot edit: write it as a table [{field.variable}]")
            dist = table.get("distribution")
            keys = PARAMETERS_OF.get(dist)
            if keys is not None and field.parameter not in keys:
                raise JobFileError(f"{name}: [{field.variable}] in {self.path} is {dist} and "
                                   f"has no {field.parameter}: vary " +
                                   " or ".join(f"{field.variable}.{k}" for k in keys))
            raise JobFileError(f"{name}: [{field.variable}] in {self.path} has no key "
                               f"{field.parameter}: give it in the job file to vary it")
        if slot[0] == "times":
            raise JobFileError(f"{name}: times in {self.path} is not written as "
                               "{ first = ..., last = ..., step = ... }: write it so to vary "
                               f"{name}")
        raise JobFileError(f"{name}: not in {self.path}: give {name} = ... in the job file "
                           "to vary it")

    def job_values(self, fields, combo):
        """(changes, notes) of one job of a study: slot -> TOML text, variable -> comment.

        `combo` holds the job's values of `fields`, as given. A variable the
        file has no table for is given the whole table of the preset that
        fills it under the job's settings (its varied binder, say), with the
        varied parameters in place of the preset's.
        """
        settings = {s: self.get((s,)) for s in SETTINGS}
        changes, tables, presets, notes = {}, {}, {}, {}
        for f, v in zip(fields, combo):
            if f.kind == "setting":
                settings[f.name] = v
                changes[f.slot] = '"' + v + '"'
        for f, v in zip(fields, combo):
            if f.kind == "setting":
                continue
            if f.variable is None or isinstance(self.get((f.variable,)), dict):
                changes[f.slot] = v
                continue
            if f.variable not in tables:
                found = preset_of(f.variable, settings)
                if found is None:
                    hint = next((s for var, s, _, _ in PRESETS if var == f.variable), None)
                    raise JobFileError(
                        f"{f.name}: {self.path} has no table [{f.variable}] and no preset fills "
                        f"it" + (f" (no {hint} is given)" if hint else "") +
                        f": give [{f.variable}] with its distribution in the job file")
                preset, table = found
                tables[f.variable] = {k: toml_number(x) if k != "distribution" else f'"{x}"'
                                      for k, x in table.items()}
                presets[f.variable] = preset
                notes[f.variable] = f"the preset {preset}, as varied by tbxsweep"
            table = tables[f.variable]
            if f.parameter not in table:
                dist = table["distribution"].strip('"')
                raise JobFileError(
                    f"{f.name}: the preset {presets[f.variable]} gives {f.variable} as "
                    f"{dist}, which has no {f.parameter}: vary " +
                    " or ".join(f"{f.variable}.{k}" for k in PARAMETERS_OF[dist]))
            table[f.parameter] = v
        for variable, table in tables.items():
            for key, text in table.items():
                changes[(variable, key)] = text
        return changes, notes

    def with_values(self, new, notes=None):
        """The text with the values of `new` (slot -> TOML text) set.

        A value the file holds is replaced; a comment after it keeps its
        column where the blanks before it allow. A top-level key the file
        lacks goes before its first table; a table it lacks goes at its end,
        with its note from `notes` (variable -> comment) as a comment.
        """
        edits, added_keys, added_tables = [], [], {}
        for slot, value in new.items():
            if slot in self.slots:
                edits.append((*self.slots[slot], value))
            elif len(slot) == 1:
                added_keys.append(f"{slot[0]} = {value}   # set by tbxsweep\n")
            else:
                added_tables.setdefault(slot[0], []).append(f"{slot[1]} = {value}\n")
        if added_keys:
            at = self.first_header
            lead = "\n" if at == len(self.text) and not self.text.endswith("\n") else ""
            edits.append((at, at, lead + "".join(added_keys)))
        if added_tables:
            end = len(self.text)
            text = "" if self.text.endswith("\n") or not self.text else "\n"
            for variable, lines in added_tables.items():
                note = (notes or {}).get(variable)
                text += f"\n[{variable}]" + (f"   # {note}" if note else "") + "\n" + \
                    "".join(lines)
            edits.append((end, end, text))
        text = self.text
        for start, end, value in sorted(edits, key=lambda e: e[0], reverse=True):
            gap = len(text) - len(text[end:].lstrip(" \t")) - end
            if start != end and text.startswith("#", end + gap) and gap:
                gap = max(1, gap - (len(value) - (end - start)))
                text = text[:start] + value + " " * gap + text[end:].lstrip(" \t")
            else:
                text = text[:start] + value + text[end:]
        # Read it again: the new values, and nothing else changed.
        expected = _with_slots(self.data, {slot: tomllib.loads(f"v = {value}")["v"]
                                           for slot, value in new.items()})
        try:
            edited = tomllib.loads(text)
        except tomllib.TOMLDecodeError:
            edited = None
        if edited != expected:
            raise JobFileError(f"{self.path}: changing {', '.join('.'.join(s) for s in new)} "
                               "in place went wrong; please report this with the job file")
        return text


def _with_slots(data, values):
    """A copy of the parsed job `data` with the values of `values` (slot -> value) set."""
    data = copy.deepcopy(data)
    for slot, value in values.items():
        node = data
        for key in slot[:-1]:
            node = node.setdefault(key, {})
        node[slot[-1]] = value
    return data


def read_toml_job(path, tbxrun):
    """The job at `path`, once tbxrun has found that it can read the text at all."""
    try:
        text = read_text(path, "utf-8")
    except UnicodeDecodeError:
        raise JobFileError(f"{path}: not UTF-8 text, which a TOML file is") from None
    # A finding that names no field is about the whole text (nested too deep).
    stop = next((f for f in errors(check_text(tbxrun, text, os.path.basename(path)))
                 if not f["field"]), None)
    if stop:
        raise JobFileError(stop["message"])
    return TomlJob(text, path)
