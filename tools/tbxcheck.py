"""What tbxrun says of job files: its findings, from tbxrun --check --json.

The tools ask the program whether it would refuse a job instead of repeating
its rules. Many jobs go to one tbxrun at a time, so that a study of thousands
of jobs is checked in a moment.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

# Job names per tbxrun: a command line well within the system's limit.
BATCH = 500


class ProgramError(Exception):
    """tbxrun cannot be found or did not answer: the message says which and why."""


def find_tbxrun(given=None):
    """The tbxrun to use: given, $TBXRUN, on PATH or beside the running script."""
    beside = os.path.join(os.path.dirname(os.path.realpath(sys.argv[0])), "tbxrun")
    program = given or os.environ.get("TBXRUN") or shutil.which("tbxrun") or shutil.which(beside)
    if not program or not shutil.which(program):
        raise ProgramError("tbxrun not found: put it on PATH or give --tbxrun PROGRAM (or TBXRUN)")
    return os.path.abspath(shutil.which(program))


def check_jobs(tbxrun, folder, names):
    """tbxrun's check of each job NAME (a job name as tbxrun takes it, relative to
    `folder`), in order: dicts with "file", "status" (0 clean, 1 an error, 3
    warnings only), "findings" and "notes"."""
    results = []
    for start in range(0, len(names), BATCH):
        batch = names[start:start + BATCH]
        command = [tbxrun, "--check", "--json", "--", *batch]
        try:
            done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL,
                                  capture_output=True)
        except OSError as e:
            raise ProgramError(f"{tbxrun}: {e.strerror}") from None
        answer = _answers(done, len(batch))
        if answer is None:
            why = done.stderr.decode(errors="replace").strip().splitlines()
            raise ProgramError(
                f"{tbxrun} --check --json gave no answer (exit status {done.returncode}"
                + (f": {why[0]}" if why else "") + ")" +
                (": is it older than these tools?" if done.returncode == 2 else ""))
        results += answer
    return results


def _answers(done, count):
    """The JSON objects of a --check --json run, one per job, or None."""
    if done.returncode not in (0, 1, 3):
        return None
    try:
        answers = [json.loads(line) for line in done.stdout.splitlines()]
    except ValueError:
        return None
    return answers if len(answers) == count else None


def check_text(tbxrun, text, file_name):
    """tbxrun's check of a job's text as the file `file_name` (job.toml) would hold it."""
    with tempfile.TemporaryDirectory(prefix="tbxcheck-") as folder:
        with open(os.path.join(folder, file_name), "w", encoding="utf-8", newline="") as f:
            f.write(text)
        return check_jobs(tbxrun, folder, [os.path.splitext(file_name)[0]])[0]


def errors(result):
    return [f for f in result["findings"] if f["severity"] == "error"]


def finding_text(finding):
    """A finding in one line: "line 14: simulations = -5: expected ... (expected: ...)"."""
    head = finding["field"] + (f" = {finding['value']}" if finding["value"] else "")
    text = ": ".join(part for part in (head, finding["message"]) if part)
    if finding["expected"]:
        text += f" (expected: {finding['expected']})"
    return (f"line {finding['line']}: " if finding["line"] else "") + text
