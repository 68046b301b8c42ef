#!/usr/bin/env python3
"""Converts the sample export, a generated export, a dirty one (values
that BibTeX and LaTeX misread when written as they stand, keys that clash)
and one export in each code page (code page 437, ISO 8859-1, Windows-1252,
UTF-8) with kartconv and shows that the real BibTeX tools accept every entry:

1. the BibTeX file is printable 7-bit text; the console names the code page
   where it is not the mixed table's ("Zeichensatz: ..."), counts the keys
   given anew ("M Schlüssel neu vergeben") and the characters written as "?"
   exactly when there are some;
2. bibtex with the plain style cites every entry with no error message, and
   the .bbl holds one \\bibitem per record, under the key the model gives;
3. btparse (Perl's Text::BibTeX) reads every entry without a message, with
   the type, key and field values that the model of the export's rules
   (kart_model.py) gives for the record;
4. pdflatex typesets the bibliography of the generated and the dirty export;
   every accented letter of the generated export, and what the dirty export's
   special characters stand for, shows in the PDF's text;
5. biber reads every file without an ERROR and puts every entry in the
   biblatex .bbl, and pdflatex typesets that bibliography without error
   (with the few values left out that biber cannot hand on to pdflatex);
6. pandoc's biblatex reader (to CSL JSON) reads every entry, and in the
   code page exports each record's title, authors and journal or publisher
   as the export says them (the signs pandoc drops and math left out).

The checks run in WORK_DIR, which each run empties first; a run holds the
lock WORK_DIR.lock throughout, so that a second run on the same build (two
ctest commands on one build folder) waits instead of deleting the first's
files. All conversions run one copy of KARTCONV taken at the start, so
that a rebuild of the program while the tools run cannot hand the later
conversions another program or one still being linked.

    run_checks.py KARTCONV SOURCE_DIR WORK_DIR [SEED COUNT]
"""

import fcntl
import json
import os
import re
import shutil
import subprocess
import sys
import unicodedata

# The modules beside this script are imported from the source tree, which
# the package test copies while the other tests run: write no __pycache__
# into it.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kart_model  # noqa: E402
import make_export  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = ["bibtex", "biber", "pdflatex", "pdftotext", "perl", "pandoc"]
CODE_PAGE_RECORDS = 200

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


def convert(kartconv, export, bib, nr2note, encoding=None):
    """Runs the program; an option naming the code page goes first, as
    options may stand anywhere among the words."""
    cmd = [kartconv] + (["--encoding=" + encoding] if encoding else []) + \
        [export, bib] + (["Nr2Note"] if nr2note else [])
    done = subprocess.run(cmd, capture_output=True)
    if done.returncode != 0:
        raise Failure("%s exited with %d: %s" % (" ".join(cmd), done.returncode,
                                                 done.stderr.decode(errors="replace")))
    return done.stdout


def check_output(console, bib, expected, cp):
    """The console names the code page after "Analysiere Struktur..." where
    it is not the mixed table's; right after the count of entries it names
    the keys given anew and then the "?" written for characters without a
    TeX form, each line only when there are some. The BibTeX file is 7-bit
    text."""
    renamed = sum(e.renamed for e in expected)
    unknown = sum(e.unknown for e in expected)
    want = b"\r\n%d Eintr\x84ge geschrieben\r\n" % len(expected)
    if renamed:
        want += b"%d Schl\x81ssel neu vergeben (leer oder doppelt)\r\n" % renamed
    if unknown:
        want += b"%d Zeichen ohne TeX-Form als ? geschrieben\r\n" % unknown
    name = kart_model.CONSOLE_NAME.get(cp)
    reading = b"Analysiere Struktur...\r\n" + (b"Zeichensatz: %s\r\n" % name.encode() if name else b"")
    if want not in console or reading not in console or (not renamed and b"Schl\x81ssel" in console) \
            or (not unknown and b"TeX-Form" in console) or (not name and b"Zeichensatz" in console):
        raise Failure("console: want %r ... %r, shows %r" % (reading, want, console[-300:]))
    with open(bib, "rb") as f:
        stray = sorted({b for b in f.read() if not (32 <= b < 127 or b in (9, 10, 13))})
    if stray:
        raise Failure("%s holds bytes other than printable 7-bit, tab and line ends: %s"
                      % (bib, stray[:20]))
    return renamed


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


PREAMBLE = r"""\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\usepackage{url}
"""
DOCUMENT = PREAMBLE + r"""\pagestyle{empty}
\begin{document}
\nocite{*}
\bibliographystyle{plain}
\bibliography{%s}
\end{document}
"""
BIBLATEX_DOCUMENT = PREAMBLE + r"""\usepackage[backend=biber]{biblatex}
\addbibresource{%s.bib}
\begin{document}
\nocite{*}
\printbibliography
\end{document}
"""


def typeset(work, doc, text, tool):
    """pdflatex, bibtex or biber, pdflatex: any error fails (bibtex's exit
    code 1 means warnings). Returns what the bibliography tool said."""
    with open(os.path.join(work, doc + ".tex"), "w") as tex:
        tex.write(text)
    latex = ["pdflatex", "-interaction=nonstopmode", "-halt-on-error", doc]
    said = ""
    for cmd in (latex, [tool, doc], latex):
        done = run(cmd, work)
        if done.returncode not in (0, 1) or (cmd[0] != "bibtex" and done.returncode):
            raise Failure("%s failed:\n%s" % (" ".join(cmd), done.stdout.decode("utf-8", "replace")[-3000:]))
        said = done.stdout.decode("utf-8", "replace") if cmd[0] == tool else said
    return said


def pdf_text(work, name):
    doc = name + "-doc"
    typeset(work, doc, DOCUMENT % name, "bibtex")
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


# Letters that T1 fonts lack: TeX builds them from the letter and a cedilla
# or ogonek, or sets Đ as Ð, and pdftotext gives them back as two signs.
PDF_BUILT = set("ĐđĢģĮįĶķĻļŅņŖŗŲų")


def check_pdf(work, name, data, cp, every_letter):
    """Every author's name word that holds an accented letter reads in the
    PDF as it stands in the export; with `every_letter`, so does every
    accented letter of the export's values (but PDF_BUILT)."""
    text = unicodedata.normalize("NFC", pdf_text(work, name))
    flat = squeeze(text)
    accented = set(kart_model.TEX_OF_LETTER) - PDF_BUILT
    records = kart_model.records(data, cp)
    found = {c for r in records for v in r.values() for c in v if c in accented}
    missing = sorted(l for l in found if l not in text) if every_letter else []
    words = set()
    for record in records:
        words.update(w for w in re.split(r"[\s;,]+", kart_model.compose(record.get("AUT", "")))
                     if any(c in accented for c in w) and not PDF_BUILT & set(w))
    lost = sorted(w for w in words if squeeze(w) not in flat)
    if missing or lost:
        raise Failure("PDF of %s: letters missing %s; words not found %s"
                      % (name, missing, lost[:20]))
    return len(found) if every_letter else 0, len(words)


# What values of the dirty export read as in the PDF (squeezed, any case).
DIRTY_SHOWN = ["Vandenhoeck & Ruprecht", "50 % mehr", "Rabatt 100%", "Müller",
               "C# und F#", "§ 12 und 25 °C", "½ Seite × 3 ÷ 2", "Þóra Ðoð þ", "Tilde Wort",
               "Straße", "Glocke Ton Esc[0m Null Byte DEL Zeichen", "Preis 5 $",
               "Menge {a", "Ende }", "}}{ verkehrt"]


def check_dirty_pdf(work, name):
    flat = squeeze(pdf_text(work, name)).casefold()
    lost = [t for t in DIRTY_SHOWN if squeeze(t).casefold() not in flat]
    if lost:
        raise Failure("PDF of %s does not show %s" % (name, lost))
    return len(DIRTY_SHOWN)


# Written values that biber, not LaTeX, cannot hand on to pdflatex; they are
# taken out of the file biber reads, and only there. Byte 184, the cedilla
# alone: biber makes {\c{ }} the combining character U+0327, for which
# pdflatex has no glyph, and with --output-safechars writes \c{{} }, which
# T1's \c cannot take either. TeX's umlaut with nothing to accent: biber
# shortens {\"{}} to {\"}, an accent whose argument is the closing brace.
NOT_FOR_BIBER = {"cedilla alone": b'{\\c{ }}', "umlaut at the end": b'{\\"{}}'}


def check_biblatex(work, name, expected):
    """biber reads the file without an ERROR and writes every entry into the
    .bbl, and pdflatex typesets the bibliography without error. Web
    addresses holding % or # are left out: biblatex reads howpublished as
    text, where \\url cannot take them; so is NOT_FOR_BIBER."""
    doc = name + "-biblatex"
    left_out = dict.fromkeys(["web address with % or #"] + list(NOT_FOR_BIBER), 0)
    with open(os.path.join(work, name + ".bib"), "rb") as bib, \
            open(os.path.join(work, doc + ".bib"), "wb") as out:
        for line in bib:
            if line.startswith(b"    howpublished=") and re.search(rb"[%#]", line):
                left_out["web address with % or #"] += 1
                continue
            for kind, text in NOT_FOR_BIBER.items():
                left_out[kind] += line.count(text)
                line = line.replace(text, b"")
            out.write(line)
    said = typeset(work, doc, BIBLATEX_DOCUMENT % doc, "biber")
    if "ERROR" in said:
        raise Failure("biber on %s.bib:\n%s" % (doc, said[-3000:]))
    with open(os.path.join(work, doc + ".bbl"), encoding="utf-8") as bbl:
        keys = re.findall(r"^\s*\\entry\{([^}]*)\}", bbl.read(), re.M)
    if sorted(keys) != sorted(e.key for e in expected):
        raise Failure("biblatex .bbl of %s: %d entries for %d records (missing e.g. %s)"
                      % (name, len(keys), len(expected),
                         sorted({e.key for e in expected} - set(keys))[:5]))
    warnings = {}
    for text in re.findall(r"WARN - (.*)", said):
        kind = re.sub(r"'[^']*'", "X", text)
        warnings[kind] = warnings.get(kind, 0) + 1
    return len(keys), warnings, left_out


# Signs whose TeX form pandoc reads back; it drops the other signs' commands
# and prints math as the command's name: both are left out of the comparison.
PANDOC_SIGNS = set("§¶£–—“”’…")


def as_pandoc_shows(c):
    """A character of the export as pandoc should show it."""
    if c in "\x14\x15":  # code page 437's pilcrow and section sign
        return "¶" if c == "\x14" else "§"
    if c < "\x80":
        return c if c >= " " else " " if c == "\t" else ""
    if c in kart_model.TEX_OF_LETTER or c in PANDOC_SIGNS:
        return c
    tex = kart_model.tex(c, "")
    return "?" if tex == kart_model.UNKNOWN else " " if tex in ("~", " ") else ""


def pandoc_text(text, from_export):
    """Text as the comparison takes it: the export's characters as pandoc
    should show them, math commands left out of pandoc's; one form of each
    letter, dashes as TeX types them, the apostrophe straight, blanks
    collapsed, any case (pandoc lowers the words of English titles)."""
    if from_export:
        text = "".join(map(as_pandoc_shows, kart_model.compose(text)))
    else:
        text = re.sub(r"\\[A-Za-z]+", "", text)
    text = unicodedata.normalize("NFC", text).replace("—", "---").replace("–", "--").replace("’", "'")
    return " ".join(text.replace("\xa0", " ").split()).casefold()


def check_pandoc(work, name, expected, data=None, cp=None):
    """pandoc's biblatex reader takes every entry. With the export's `data`,
    each record's title, authors and journal (or publisher) read as the
    export says them: returns the records that do and the differences."""
    done = run(["pandoc", "-f", "biblatex", "-t", "csljson", name + ".bib"], work)
    read = json.loads(done.stdout) if done.returncode == 0 else []
    if len(read) != len(expected):
        raise Failure("pandoc read %d of %d entries of %s.bib (exit %d): %s" % (
            len(read), len(expected), name, done.returncode, done.stderr.decode(errors="replace")[:500]))
    if data is None:
        return len(read), []
    by_key = {item["id"]: item for item in read}
    same, differ = 0, []
    for e, r in zip(expected, kart_model.records(data, cp)):
        item = by_key.get(e.key, {})
        source = {"article": "container-title", "book": "publisher"}.get(e.type)
        want = {"title": r["TIT"], "authors": [n for n in r["AUT"].split(";") if n.strip()]}
        got = {"title": item.get("title", ""),
               "authors": [", ".join(p for p in (a.get("family", a.get("literal", "")), a.get("given"))
                                     if p) for a in item.get("author", [])]}
        if source:
            want[source], got[source] = r["QUE"], item.get(source, "")
        want = {k: [pandoc_text(n, True) for n in v] if k == "authors" else pandoc_text(v, True)
                for k, v in want.items()}
        got = {k: [pandoc_text(n, False) for n in v] if k == "authors" else pandoc_text(v, False)
               for k, v in got.items()}
        if want == got:
            same += 1
        else:
            differ.append("%s: %s" % (e.key, "; ".join(
                "%s read %r, export %r" % (k, got[k], want[k]) for k in want if want[k] != got[k])))
    return same, differ


def check_export(kartconv, work, name, export, nr2note, pdf, encoding=None, compare=False):
    """pdf: None for no PDF, "names" for the authors' names, "all" for them
    and every accented letter of the export, "dirty" for DIRTY_SHOWN.
    encoding: the code page the option names, where the export's bytes do
    not tell it. compare: pandoc's reading of titles, authors and journals
    or publishers is compared with the export's text."""
    with open(export, "rb") as f:
        data = f.read()
    cp = kart_model.code_page(data, encoding)
    expected = kart_model.entries(data, nr2note, encoding)
    console = convert(kartconv, export, os.path.join(work, name + ".bib"), nr2note, encoding)
    items, warnings = check_bibtex(work, name, expected)
    parsed = check_btparse(work, name, expected)
    print("%s: %d records, %d \\bibitem, %d entries parsed as modelled"
          % (name, len(expected), items, parsed))
    for kind, n in sorted(warnings.items()):
        print("    bibtex Warning--%s: %d" % (kind, n))
    renamed = check_output(console, os.path.join(work, name + ".bib"), expected, cp)
    print("%s: 7-bit file, console names %d keys given anew, %d characters as ?%s"
          % (name, renamed, sum(e.unknown for e in expected),
             ", code page %s" % kart_model.CONSOLE_NAME[cp] if cp in kart_model.CONSOLE_NAME else ""))
    same, differ = check_pandoc(work, name, expected, data if compare else None, cp)
    if compare:
        print("%s: pandoc reads %d entries; title, authors and journal or publisher as the "
              "export says them in %d of %d records%s" % (
                  name, len(expected), same, len(expected),
                  " (--encoding=%s)" % encoding if encoding else ""))
        if differ:
            raise Failure("pandoc on %s.bib, %d records differ:\n  %s"
                          % (name, len(differ), "\n  ".join(differ[:10])))
    else:
        print("%s: pandoc reads all %d entries" % (name, same))
    if pdf == "dirty":
        print("%s: PDF shows all %d dirty values checked" % (name, check_dirty_pdf(work, name)))
    elif pdf:
        n_letters, n_words = check_pdf(work, name, data, cp, pdf == "all")
        shown = "all %d accented letters and " % n_letters if pdf == "all" else ""
        print("%s: PDF shows %s%d accented name words" % (name, shown, n_words))
    if pdf:  # the exports typeset through plain go through biblatex too
        entries, warnings, left_out = check_biblatex(work, name, expected)
        print("%s: biber and biblatex typeset %d entries%s" % (
            name, entries, "".join("; left out %d %s" % (n, kind)
                                   for kind, n in left_out.items() if n)))
        for kind, n in sorted(warnings.items()):
            print("    biber WARN - %s: %d" % (kind, n))


def main():
    if len(sys.argv) not in (4, 6):
        sys.exit(__doc__)
    kartconv, source, work = sys.argv[1:4]
    seed, count = (int(sys.argv[4]), int(sys.argv[5])) if len(sys.argv) == 6 else (1, 2500)
    absent = [t for t in TOOLS if shutil.which(t) is None]
    if absent:
        sys.exit("missing tools %s: run scripts/install-deps as root" % absent)
    work = os.path.abspath(work)
    os.makedirs(os.path.dirname(work), exist_ok=True)
    lock = open(work + ".lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("another run of these checks uses %s: waiting for it to end" % work, flush=True)
        fcntl.flock(lock, fcntl.LOCK_EX)
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(work)
    program = os.path.join(work, os.path.basename(kartconv))
    shutil.copy2(kartconv, program)
    generated, dirty = os.path.join(work, "generated.txt"), os.path.join(work, "dirty.txt")
    with open(generated, "wb") as f:
        f.write(make_export.generate(seed, count))
    with open(dirty, "wb") as f:
        f.write(make_export.generate(seed, max(count // 4, 100), dirty=True))
    runs = [("generated", generated, False, "all"), ("generated-nr2note", generated, True, None),
            ("dirty", dirty, False, "dirty"), ("dirty-nr2note", dirty, True, "dirty")]
    # One export in each code page, with the option where its bytes do not
    # tell the code page. Typeset are those whose TeX forms the others lack:
    # code page 437's math and box drawing; UTF-8's Latin Extended-A and the
    # signs of Windows-1252.
    for cp in make_export.CODE_PAGES:
        export = os.path.join(work, cp + ".txt")
        with open(export, "wb") as f:
            f.write(make_export.codepage_export(seed, CODE_PAGE_RECORDS, cp))
        with open(export, "rb") as f:
            encoding = None if kart_model.code_page(f.read()) == cp else cp
        runs.append((cp, export, False, "names" if cp in ("cp437", "utf8") else None, encoding, True))
    sample = os.path.join(source, "examples", "literatur.txt")
    if os.path.exists(sample):
        runs += [("sample", sample, False, "names"), ("sample-nr2note", sample, True, None)]
    else:
        print("no sample export at %s: only the generated export is checked" % sample)
    failed = 0
    for name, export, nr2note, pdf, *code_page in runs:
        try:
            check_export(program, work, name, export, nr2note, pdf, *code_page)
        except (Failure, kart_model.ModelError) as e:
            failed += 1
            print("FAILED %s: %s" % (name, e))
    print("bibtex tools: %d of %d runs passed" % (len(runs) - failed, len(runs)))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
