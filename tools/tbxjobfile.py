"""Fields of a tbxrun job file: where each value stands and how to change it.

A job file is a stream of tokens separated by blanks, every field followed by
a ";" token of its own, "#" at the start of a token commenting out the rest of
the line; the first field, the title, is free text up to the first ";". The
reader here finds the place of every value so that a value can be replaced
while comments and layout stay as they were. Whether the values are valid is
tbxrun's to say: a study asks tbxrun --check about every job it makes.
"""

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
# A value replaces one token: no blank, no comment, no control character.
TOKEN_RE = re.compile(r"[^\s#;\x00-\x1f\x7f]+")


class JobFileError(Exception):
    """A job file or a value that tbxsweep cannot use: the message says which and why."""


# ----------------------------------------------------------------------------
# Values

def check_token(text):
    """JobFileError unless `text` can stand in the job file as one value token."""
    if not TOKEN_RE.fullmatch(text):
        raise JobFileError(f"'{text}' is not one value: a value has no blanks, '#' or ';'")
    return text


# ----------------------------------------------------------------------------
# The job file

class JobFile:
    """A job file's text and the place of every value token in it.

    `slots` maps a slot name to (start, end): "seed_mode", ..., "tp" for
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

    def token(self, slot):
        start, end = self.slots[slot]
        return self.text[start:end]

    def with_values(self, new):
        """The job file's text with the slots of `new` (slot -> text) replaced."""
        text = self.text
        for slot in sorted(new, key=lambda s: self.slots[s][0], reverse=True):
            start, end = self.slots[slot]
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
        rows = [[name] for name in HEAD_FIELDS]
        rows += [[f"{row}.{v}" for v in VARIABLES] for row in ("type", "p1", "p2")]
        rows += [[f"{row}.{i}" for i in range(1, 13)] for row in ("depth", "content")]
        rows += [[name] for name in TAIL_FIELDS]
        for row in rows:
            for slot in row:
                self.slots[slot] = self._token()
            self._semicolon(row[-1])


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
