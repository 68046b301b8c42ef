#!/usr/bin/env python3
"""Converts the sample export and a generated export with kartconv and shows
that the real BibTeX tools accept every entry:

1. bibtex with the plain style cites every entry with no error message, and
   the .bbl holds one \\bibitem per record, under the key the record gives;
2. btparse (Perl's Text::BibTeX) reads every entry without a message, with
   the type, key and field values that the model of the export's rules
   (kart_model.py) gives for the record;
3. pdflatex typesets the bibliography of the generated export, and every
   accented letter of the export shows in the PDF's text as that letter.

    run_checks.py KARTCONV SOURCE_DIR WORK_DIR [SEED COUNT]
"""

import json
import os
import re
import shutil
import subprocess
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kart_model  # noqa: E402
import make_export  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = ["bibtex", "pdflatex", "pdftotext", "perl"]

# What plain.bst says when a record lacks data the entry type wants: these
# describe the data, not the file. Any other "Warning--" fails the check.
DATA_WARNINGS = [
    r"empty (.+) in ", r"can't use both author and editor fields in ",
    r"to sort, need .+ in ", r"need .+ to crossref ",
    r"there's a number but no series in ",
    r"can't use both volume and number fields in ",
]


class Failure(Exception):
    pass


def run(cmd, cwd):
    return subprocess.run(cmd, cwd=cwd, capture_output=True)


def convert(kartconv, export, bib, nr2note):
    cmd = [kartconv, export, bib] + (["Nr2Note"] if nr2note else [])
    done = subprocess.run(cmd, capture_output=True)
    if done.returncode != 0:
        raise Failure("%s exited with %d: %s" % (" ".join(cmd), done.returncode,
                                                 done.stderr.decode(errors="replace")))


def check_bibtex(work, name, expected):
    """bibtex with plain on an .aux that cites everything."""
    with open(os.path.join(work, name + ".aux"), "w") as aux:
        aux.write("\\citation{*}\n\\bibdata{%s}\n\\bibstyle{plain}\n" % name)
    done = run(["bibtex", name], work)
    out = done.stdout.decode("latin-1")
    problems = []
    if re.search(r"error message", out) or "I was expecting" in out:
        problems.append("bibtex reported errors")
    if done.returncode not in (0, 1):  # 1: warnings only
        problems.append("bibtex exited with %d" % done.returncode)
    warnings = {}
    keys = {e.key for e in expected}
    for line in out.splitlines():
        if not line.startswith("Warning--"):
            continue
        text = line[len("Warning--"):]
        for pattern in DATA_WARNINGS:
            if re.match(pattern, text):
                kind = " ".join("X's" if w[:-2] in keys and w.endswith("'s") else
                                "X" if w in keys else w for w in text.split(" "))
                warnings[kind] = warnings.get(kind, 0) + 1
                break
        else:
            problems.append("unexpected: " + line)
    with open(os.path.join(work, name + ".bbl"), encoding="latin-1") as bbl:
        items = re.findall(r"^\\bibitem\{([^}]*)\}", bbl.read(), re.M)
    if sorted(items) != sorted(e.key for e in expected):
        missing = sorted(keys - set(items))[:5]
        problems.append("%d \\bibitem for %d records (missing e.g. %s)"
                        % (len(items), len(expected), missing))
    if problems:
        raise Failure("bibtex on %s.bib:\n  %s\n%s" % (name, "\n  ".join(problems[:20]), out[-3000:]))
    return len(items), warnings


def check_btparse(work, name, expected):
    """Text::BibTeX reads each entry as the model says it should."""
    done = run(["perl", os.path.join(HERE, "parse_bib.pl"), name + ".bib"], work)
    if done.returncode != 0 or done.stderr:
        raise Failure("parse_bib.pl on %s.bib: %s" % (name, done.stderr.decode(errors="replace")))
    parsed = [json.loads(l) for l in done.stdout.decode().splitlines()]
    problems = []
    if len(parsed) != len(expected):
        problems.append("%d entries parsed, %d records" % (len(parsed), len(expected)))
    for i, (got, want) in enumerate(zip(parsed, expected), start=1):
        where = "entry %d (%s)" % (i, want.key)
        if not got["ok"] or got["messages"]:
            problems.append("%s: %s" % (where, got["messages"].strip() or "not parsed"))
            continue
        if (got["type"], got["key"]) != (want.type, want.key):
            problems.append("%s: read as @%s{%s" % (where, got["type"], got["key"]))
        fields = [(n, v) for n, v in got["fields"]]
        if fields != want.fields:
            problems.append("%s:\n    read  %s\n    model %s" % (where, fields, want.fields))
    if problems:
        raise Failure("btparse on %s.bib, %d problems:\n  %s"
                      % (name, len(problems), "\n  ".join(problems[:10])))
    return len(parsed)


DOCUMENT = r"""\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\usepackage{url}
\pagestyle{empty}
\begin{document}
\nocite{*}
\bibliographystyle{plain}
\bibliography{%s}
\end{document}
"""


def pdf_text(work, name):
    doc = name + "-doc"
    with open(os.path.join(work, doc + ".tex"), "w") as tex:
        tex.write(DOCUMENT % name)
    latex = ["pdflatex", "-interaction=nonstopmode", "-halt-on-error", doc]
    for cmd in (latex, ["bibtex", doc], latex):
        done = run(cmd, work)
        if done.returncode not in (0, 1) or (cmd[0] == "pdflatex" and done.returncode):
            raise Failure("%s failed:\n%s" % (" ".join(cmd), done.stdout.decode("latin-1")[-3000:]))
    done = run(["pdftotext", "-enc", "UTF-8", doc + ".pdf", doc + ".txt"], work)
    if done.returncode:
        raise Failure("pdftotext failed: " + done.stderr.decode(errors="replace"))
    with open(os.path.join(work, doc + ".txt"), encoding="utf-8") as f:
        return f.read()


def squeeze(text):
    """Letters without line breaks, hyphens and ligatures, so that a word
    hyphenated across lines still reads whole."""
    text = unicodedata.normalize("NFC", text.replace("\ufb00", "ff").replace("\ufb01", "fi")
                                 .replace("\ufb02", "fl").replace("\ufb03", "ffi")
                                 .replace("\ufb04", "ffl"))
    return re.sub(r"[\s\-\u2010\u2011\u2013\u2014]+", "", text)


def check_pdf(work, name, data, every_letter):
    """Every author's name word that holds an accented letter reads in the
    PDF as it stands in the export; with `every_letter`, so does every
    accented letter anywhere in the export."""
    text = unicodedata.normalize("NFC", pdf_text(work, name))
    flat = squeeze(text)
    accented = set(kart_model.LETTER_OF_CODE.values())
    found = {kart_model.LETTER_OF_CODE[b] for b in data if b in kart_model.LETTER_OF_CODE}
    missing = sorted(l for l in found if l not in text) if every_letter else []
    words = set()
    for record in kart_model.records(data, kart_model.letters):
        words.update(w for w in re.split(r"[\s;,]+", record.get("AUT", ""))
                     if any(c in accented for c in w))
    lost = sorted(w for w in words if squeeze(w) not in flat)
    if missing or lost:
        raise Failure("PDF of %s: letters missing %s; words not found %s"
                      % (name, missing, lost[:20]))
    return len(found) if every_letter else 0, len(words)


def check_export(kartconv, work, name, export, nr2note, pdf):
    """pdf: None for no PDF, "names" for the authors' names, "all" for them
    and every accented letter of the export."""
    with open(export, "rb") as f:
        data = f.read()
    bib = os.path.join(work, name + ".bib")
    convert(kartconv, export, bib, nr2note)
    with open(bib, "rb") as f:
        if any(b >= 128 for b in f.read()) and name.startswith("generated"):
            raise Failure("%s.bib holds bytes above 127" % name)
    expected = kart_model.entries(data, nr2note)
    items, warnings = check_bibtex(work, name, expected)
    parsed = check_btparse(work, name, expected)
    print("%s: %d records, %d \\bibitem, %d entries parsed as modelled"
          % (name, len(expected), items, parsed))
    for kind, n in sorted(warnings.items()):
        print("    bibtex Warning--%s: %d" % (kind, n))
    if pdf:
        n_letters, n_words = check_pdf(work, name, data, pdf == "all")
        shown = "all %d accented letters and " % n_letters if pdf == "all" else ""
        print("%s: PDF shows %s%d accented name words" % (name, shown, n_words))


def main():
    if len(sys.argv) not in (4, 6):
        sys.exit(__doc__)
    kartconv, source, work = sys.argv[1:4]
    seed, count = (int(sys.argv[4]), int(sys.argv[5])) if len(sys.argv) == 6 else (1, 2500)
    absent = [t for t in TOOLS if shutil.which(t) is None]
    if absent:
        sys.exit("missing tools %s: run scripts/install-deps as root" % absent)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    generated = os.path.join(work, "generated.txt")
    with open(generated, "wb") as f:
        f.write(make_export.generate(seed, count))
    runs = [("generated", generated, False, "all"), ("generated-nr2note", generated, True, None)]
    sample = os.path.join(source, "examples", "literatur.txt")
    if os.path.exists(sample):
        runs += [("sample", sample, False, "names"), ("sample-nr2note", sample, True, None)]
    else:
        print("no sample export at %s: only the generated export is checked" % sample)
    failed = 0
    for name, export, nr2note, pdf in runs:
        try:
            check_export(os.path.abspath(kartconv), work, name, export, nr2note, pdf)
        except (Failure, kart_model.ModelError) as e:
            failed += 1
            print("FAILED %s: %s" % (name, e))
    print("bibtex tools: %d of %d runs passed" % (len(runs) - failed, len(runs)))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
