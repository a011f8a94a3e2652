"""Fields of a tbxrun job file: where each value stands, how to change it, what is valid.

A job file is a stream of tokens separated by blanks, every field followed by
a ";" token of its own, "#" at the start of a token commenting out the rest of
the line; the first field, the title, is free text up to the first ";". The
reader here finds the place of every value so that a value can be replaced
while comments and layout stay as they were, and checks values the way
tbxrun does, so that a study is refused before any job is written.
"""

import math
import re

BLANKS = " \t\r\n"
VARIABLES = ("xc", "Dcoef", "Ccr", "Cs", "n", "t", "to", "temp", "te")
# Names for job folders and charts, and units, of the variables.
LABELS = {"xc": "cover", "Dcoef": "dcoef", "Ccr": "ccr", "Cs": "cs", "n": "n", "t": "t",
          "to": "to", "temp": "temp", "te": "te"}
UNITS = {"xc": "mm", "Dcoef": "1e-12 m2/s", "Ccr": "", "Cs": "", "n": "", "t": "years",
         "to": "days", "temp": "C", "te": "days"}
TYPE_NAMES = {0: "normal", 1: "lognormal", 2: "beta", 7: "deterministic"}
# Parameter names by distribution type: (first, second).
PARAMETER_NAMES = {0: ("mean", "sd"), 1: ("mu", "sigma"), 2: ("a", "b"), 7: ("value", None)}
# The one-value fields, in file order after the title, then after the profile.
HEAD_FIELDS = ("seed_mode", "analysis_mode", "intervals", "points", "predict")
TAIL_FIELDS = ("nsim", "seed", "tp")
SCALAR_HELP = {
    "seed_mode": "seed mode (0: the seed field, 1: the clock)",
    "analysis_mode": "analysis mode (0, 1 or 2)",
    "intervals": "number of time intervals",
    "points": "measured profile points in use",
    "predict": "predict profiles (1: yes)",
    "nsim": "simulations per time point",
    "seed": "seed of the random generator",
    "tp": "prediction age, days",
}
INT_RE = re.compile(r"[+-]?[0-9]+")
REAL_RE = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]{1,3})?")
INT_MIN, INT_MAX = -2**31, 2**31 - 1
# The generator's state is the seed XOR this mask; a state of 0 or of plus
# or minus its modulus stays where it is.
SEED_MASK = 123459876
LEHMER_MODULUS = 2**31 - 1


class JobFileError(Exception):
    """A job file or a value that tbxrun would refuse: the message says which and why."""


# ----------------------------------------------------------------------------
# Values

def check_value(text, kind):
    """The number a value token stands for; JobFileError when tbxrun would refuse it."""
    if kind == "int":
        if len(text) > 11 or not INT_RE.fullmatch(text):
            raise JobFileError(f"'{text}' is not an integer (digits with an optional sign)")
        value = int(text)
        if not INT_MIN <= value <= INT_MAX:
            raise JobFileError(f"'{text}' is out of the range of a 32-bit integer")
        return value
    if not REAL_RE.fullmatch(text):
        raise JobFileError(f"'{text}' is not a number tbxrun reads (digits with an optional "
                           "sign and point, and an exponent of one to three digits)")
    value = float(text)
    if math.isinf(value):
        raise JobFileError(f"'{text}' is out of the range of a double")
    return value


# ----------------------------------------------------------------------------
# The job file

class JobFile:
    """A job file's text and the place of every value token in it.

    `slots` maps a slot name to (start, end, kind): "seed_mode", ..., "tp" for
    the one-value fields; "type.xc", "p1.xc", "p2.xc", ... for the variable
    block; "depth.1" ... "depth.12" and "content.1" ... for the profile.
    """

    def __init__(self, text, path):
        self.text = text
        self.path = path
        self.slots = {}
        self._pos = 0
        self._line = 1
        self._scan()

    def value(self, slot):
        start, end, kind = self.slots[slot]
        return check_value(self.text[start:end], kind)

    def with_values(self, new):
        """The job file's text with the slots of `new` (slot -> text) replaced."""
        text = self.text
        for slot in sorted(new, key=lambda s: self.slots[s][0], reverse=True):
            start, end, _ = self.slots[slot]
            # A shorter value is padded, so that columns stay in line.
            text = text[:start] + new[slot].ljust(end - start) + text[end:]
        return text

    # The scanner follows tbxrun's reader: the first thing that does not fit
    # ends it with the line where it stands.
    def _fail(self, message):
        raise JobFileError(f"{self.path}: line {self._line}: {message}")

    def _next(self):
        if self._pos >= len(self.text):
            self._fail("the file ends before the last field")
        c = self.text[self._pos]
        self._pos += 1
        if c == "\n":
            self._line += 1
        return c

    def _skip_comment(self):
        while self._next() != "\n":
            pass

    def _first_visible(self):
        """The next character that is neither blank nor in a comment."""
        while True:
            c = self._next()
            if c == "#":
                self._skip_comment()
            elif c not in BLANKS:
                return c

    def _token(self):
        """(start, end) of the next token; the blank after it is consumed."""
        self._first_visible()
        start = self._pos - 1
        while True:
            c = self._next()
            if c in BLANKS:
                return start, self._pos - 1
            if c == "#":
                self._fail("'#' inside a token")

    def _semicolon(self, after):
        start, end = self._token()
        if self.text[start:end] != ";":
            self._fail(f"expected ';' after {after}, found '{self.text[start:end]}'")

    def _scan(self):
        # The title: free text up to the first ";" (its first character is
        # taken whatever it is), comments removed.
        self._first_visible()
        while True:
            c = self._next()
            if c == "#":
                self._skip_comment()
            elif c == ";":
                break
        rows = [[(name, "int")] for name in HEAD_FIELDS]
        rows += [[(f"{row}.{v}", kind) for v in VARIABLES]
                 for row, kind in (("type", "int"), ("p1", "real"), ("p2", "real"))]
        rows += [[(f"{row}.{i}", "real") for i in range(1, 13)] for row in ("depth", "content")]
        rows += [[(name, "int")] for name in TAIL_FIELDS]
        for row in rows:
            for slot, kind in row:
                start, end = self._token()
                self.slots[slot] = (start, end, kind)
                try:
                    check_value(self.text[start:end], kind)
                except JobFileError as e:
                    self._fail(f"{slot}: {e}")
            self._semicolon(row[-1][0])


def read_text(path, encoding):
    """The whole file as text; JobFileError where it cannot be read."""
    try:
        with open(path, encoding=encoding, newline="") as f:
            return f.read()
    except OSError as e:
        raise JobFileError(f"{path}: {e.strerror}") from None


def read_job_file(path):
    # Comments may hold any byte; latin-1 keeps every byte as it is.
    return JobFile(read_text(path, "latin-1"), path)


# ----------------------------------------------------------------------------
# Field names

class Field:
    """A field a study can vary: its slot in the job file and how to name it."""

    def __init__(self, name, slot, kind, label, unit="", variable=None, parameter=None):
        self.name = name          # as the user wrote it, canonical case
        self.slot = slot
        self.kind = kind
        self.label = label        # for job folders and charts
        self.unit = unit
        self.variable = variable  # for parameters named by distribution type
        self.parameter = parameter


def field_names():
    """Every name a field may be given by, for messages."""
    names = list(HEAD_FIELDS) + list(TAIL_FIELDS)
    for v in VARIABLES:
        names += [f"{v}.type", f"{v}.p1", f"{v}.p2"]
    return names + ["depth.N", "content.N (N = 1 to 12)"]


def parse_field(name):
    """The Field for a name such as xc.mean, Dcoef.sd, t.last, nsim or depth.3."""
    lower = name.lower()
    for scalar in HEAD_FIELDS + TAIL_FIELDS:
        if lower == scalar:
            return Field(scalar, scalar, "int", scalar)
    head, _, tail = name.partition(".")
    if head.lower() in ("depth", "content") and tail.isdigit() and 1 <= int(tail) <= 12:
        canon = f"{head.lower()}.{int(tail)}"
        return Field(canon, canon, "real", canon, "cm" if head.lower() == "depth" else "")
    variable = next((v for v in VARIABLES if v.lower() == head.lower()), None)
    if variable is None or not tail:
        raise JobFileError(f"unknown field '{name}': fields are {', '.join(field_names())}; "
                           "a variable's parameters may also be named by its distribution: "
                           "mean/sd (normal), mu/sigma (lognormal), a/b (beta), value "
                           "(deterministic), first/last (t)")
    tail = tail.lower()
    label, unit = LABELS[variable], UNITS[variable]
    if tail == "type":
        return Field(f"{variable}.type", f"type.{variable}", "int", f"{label}.type", "",
                     variable, "type")
    first = {"p1", "mean", "mu", "a", "value"} | ({"first"} if variable == "t" else set())
    second = {"p2", "sd", "sigma", "b"} | ({"last"} if variable == "t" else set())
    if tail in first:
        return Field(f"{variable}.{tail}", f"p1.{variable}", "real", label,
                     unit if tail in ("mean", "value", "first", "p1") else "", variable, tail)
    if tail in second:
        return Field(f"{variable}.{tail}", f"p2.{variable}", "real", f"{label}.{tail}",
                     unit if tail in ("sd", "last") else "", variable, tail)
    raise JobFileError(f"unknown field '{name}': {variable} has type, p1, p2 and the "
                       "parameter names of its distribution (mean/sd, mu/sigma, a/b, value"
                       + (", first/last" if variable == "t" else "") + ")")


def parameter_fits_type(field, dist_type):
    """None when the field's parameter name fits the variable's type, else why not."""
    if field.parameter in (None, "type", "p1", "p2") or dist_type not in PARAMETER_NAMES:
        return None
    if field.variable == "t" and field.parameter in ("first", "last"):
        return None
    if field.parameter in PARAMETER_NAMES[dist_type]:
        return None
    names = [n for n in PARAMETER_NAMES[dist_type] if n]
    return (f"{field.name} names a parameter that a {TYPE_NAMES[dist_type]} {field.variable} "
            f"does not have: use {' or '.join(f'{field.variable}.{n}' for n in names)}, or "
            f"{field.variable}.p1/{field.variable}.p2")


# ----------------------------------------------------------------------------
# The checks tbxrun makes after reading a job

def validation_error(get):
    """The first rule of tbxrun's job checks that the values break, or None.

    `get(slot)` returns a slot's number.
    """
    analysis, points = get("analysis_mode"), get("points")
    if analysis not in (0, 1, 2):
        return "analysis_mode must be 0, 1 or 2"
    if get("seed_mode") not in (0, 1):
        return "seed_mode must be 0 or 1"
    intervals = get("intervals")
    if intervals < 1:
        return "intervals must be at least 1"
    if analysis == 2 and not 5 <= points <= 12:
        return "points must be 5 to 12 with analysis_mode 2"
    if analysis != 2 and points > 0:
        return "points must be 0 unless analysis_mode is 2"
    for v in VARIABLES:
        if get(f"type.{v}") not in TYPE_NAMES:
            return f"{v}.type must be 0, 1, 2 or 7"
    for i in range(1, points + 1):
        if get(f"depth.{i}") < 0:
            return f"depth.{i} must not be negative"
        if get(f"content.{i}") < 0:
            return f"content.{i} must not be negative"
        if i < points and get(f"depth.{i + 1}") < get(f"depth.{i}"):
            return f"depth.{i + 1} must not be below depth.{i}"
    if get("nsim") < 0:
        return "nsim must not be negative"
    tmin, tmax = get("p1.t"), get("p2.t")
    if intervals == 1:
        if tmin < 1:
            return "a single time point (intervals 1) needs t.first of at least 1"
        if tmax != 0:
            return "a single time point (intervals 1) needs t.last equal to 0"
    elif 0 < tmax < tmin:
        return "t.last must not be below t.first"
    if intervals > 1 and tmax == 0:
        return "a series (intervals above 1) needs t.last other than 0"
    if get("predict") == 1 and get("tp") < 1:
        return "tp must be at least 1 with predict 1"
    if get("seed_mode") == 0 and (get("seed") ^ SEED_MASK) in (0, LEHMER_MODULUS,
                                                               -LEHMER_MODULUS):
        return f"seed {get('seed')} makes the random generator constant"
    return None
