"""What a KART export should give in BibTeX, worked out from the export's
rules alone: how records and lines are read, the character table, the entry
templates and the citation keys. It shares no code with the converter, so the
checks compare two independent readings of the same rules.

The result is what a BibTeX parser sees, not the bytes of the file: for each
record the entry type, the key and the fields in order, each value with its
quotes or braces taken off, macros expanded, pieces joined by "#" pasted and
runs of blanks collapsed into one.
"""

import re

LINE_LIMIT = 255
LAST_BUFFER_LINE = 255

TAGS = ["TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH",
        "SEI", "ISB", "BAN", "HER", "NOZ", "KEY", "LNR"]

# The letters of the character table: code page 437 from 128 to 165,
# ISO 8859-1 from 192 to 255. Codes not named here pass unchanged.
CP437_LETTERS = dict(zip(
    list(range(128, 155)) + list(range(160, 166)),
    "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜáíóúñÑ"))
LATIN1_LETTERS = {c: chr(c) for c in range(192, 256)
                  if c not in (208, 215, 222, 240, 247, 254)}
LETTER_OF_CODE = {**CP437_LETTERS, **LATIN1_LETTERS}

# The TeX command for each accent; acute letters take the acute accent.
ACCENT = {"\u0300": "`", "\u0301": "'", "\u0302": "^", "\u0303": "~",
          "\u0308": '"'}
SPECIAL = {"å": "{\\aa}", "Å": "{\\AA}", "æ": "{\\ae}", "Æ": "{\\AE}",
           "ø": "{\\o}", "Ø": "{\\O}", "ß": "\\ss{}",
           "ç": "{\\c{c}}", "Ç": "{\\c{C}}"}


def _tex_of_letter(letter):
    import unicodedata
    if letter in SPECIAL:
        return SPECIAL[letter]
    base, mark = unicodedata.normalize("NFD", letter)
    return "{\\" + ACCENT[mark] + base + "}"


def _plain_of_letter(letter):
    import unicodedata
    if letter in SPECIAL:
        return re.sub(r"[^A-Za-z]", "", SPECIAL[letter].replace("\\c", ""))
    return unicodedata.normalize("NFD", letter)[0]


REPLACEMENT = {code: _tex_of_letter(l) for code, l in LETTER_OF_CODE.items()}
REPLACEMENT[ord(";")] = " and "
# Each replacement read back as the plain letters a citation key keeps.
PLAIN = {REPLACEMENT[c]: _plain_of_letter(l) for c, l in LETTER_OF_CODE.items()}
PLAIN[" and "] = "and"

MONTHS = {m: n for m, n in zip(
    "jan feb mar apr may jun jul aug sep oct nov dec".split(),
    "January February March April May June July August September October "
    "November December".split())}


class ModelError(Exception):
    """The record holds something the checks cannot predict (a bare value
    that names no macro)."""


# --- Reading the export -----------------------------------------------------

def read_lines(data):
    """The lines of the export as the reader takes them, each as bytes."""
    lines, pos, n = [], 0, len(data)

    def at_end():
        return pos >= n or data[pos] == 26

    while not at_end():
        line, taken = bytearray(), 0
        while taken < LINE_LIMIT and pos < n and data[pos] not in (10, 26):
            if data[pos] != 13:
                line.append(data[pos])
            pos += 1
            taken += 1
        while pos < n and data[pos] != 26:
            c = data[pos]
            pos += 1
            if c == 10:
                break
            if c == 13:
                if pos < n and data[pos] == 10:
                    pos += 1
                break
        lines.append(bytes(line))
    return lines


def translate(raw):
    return "".join(REPLACEMENT.get(b, chr(b)) for b in raw)


def letters(raw):
    """The text as it reads: each accented letter as the letter it stands for."""
    return "".join(LETTER_OF_CODE.get(b, chr(b)) for b in raw)


def records(data, convert=translate):
    """The values of every record, as dicts tag -> translated value (or
    whatever `convert` makes of the bytes read)."""
    lines = read_lines(data)
    blocks, current = [], []
    for line in lines + [b""]:
        if line:
            current.append(line)
        elif current:
            blocks.append(current)
            current = []
    if not blocks:
        return []
    first = [convert(l) for l in blocks[0][:LAST_BUFFER_LINE]]
    tag_line = {}
    for i, line in enumerate(first, start=1):
        key = "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c
                      for c in line[:3])
        if key in TAGS:
            tag_line[key] = i
    result = [{t: first[i - 1][5:] for t, i in tag_line.items()}]
    for block in blocks[1:]:
        values = [convert(l[5:]) for l in block[:LAST_BUFFER_LINE]]
        result.append({t: values[i - 1] if i <= len(values) else ""
                       for t, i in tag_line.items()})
    return result


# --- Values as a BibTeX parser delivers them --------------------------------

def collapse(text):
    return " ".join(text.split())


def bare(value):
    """A value written without quotes: a number or a macro name."""
    if value.isdigit() and value.isascii():
        return value
    if value in MONTHS:
        return MONTHS[value]
    raise ModelError("bare value %r is neither a number nor a month" % value)


def citation_key(value):
    out, i = [], 0
    while i < len(value):
        for text, letters in PLAIN.items():
            if value.startswith(text, i):
                out.append(letters)
                i += len(text)
                break
        else:
            c = value[i]
            if " " < c < "\x7f" and c not in ",{}()\"#%'=\\~":
                out.append(c)
            i += 1
    return "".join(out)


class Entry:
    def __init__(self, type_, key):
        self.type, self.key, self.fields = type_, key, []

    def always(self, name, value):
        self.fields.append((name, collapse(value)))

    def optional(self, name, value, prefix="", suffix=""):
        """A line left out when empty; a leading "#" makes the value bare,
        joined to any fixed text around it."""
        if value.startswith("#"):
            value = value[1:]
            if value:
                self.fields.append((name, collapse(prefix + bare(value) + suffix)))
        elif value:
            self.fields.append((name, collapse(prefix + value + suffix)))

    def number(self, name, value, optional):
        """Year and edition: digits bare, other text quoted, empty no line."""
        if optional and value.startswith("#"):
            self.optional(name, value)
        elif value:
            self.fields.append((name, collapse(value)))


def _key_line(e, r, title_prefix=""):
    if not r["AUT"]:
        e.optional("key", r["TIT"], prefix=title_prefix)
    else:
        e.optional("key", r["KEY"])


def _title_with_subtitle(e, r, braces=False):
    if r["TIT"]:
        title = r["TIT"] + (", " + r["UNT"] if r["UNT"] else "")
        e.always("title", "{" + title + "}" if braces else title)
    else:
        e.optional("title", r["UNT"])


def _thesis(e, r):
    e.always("author", r["AUT"])
    e.always("title", r["TIT"])
    e.optional("school", r["QUE"])
    e.optional("address", r["ORT"])
    e.number("year", r["JAH"], False)


def _article(e, r):
    e.always("author", r["AUT"])
    e.always("title", r["TIT"])
    e.optional("journal", r["QUE"])
    e.optional("volume", r["BAN"])
    e.optional("pages", r["SEI"])
    e.number("year", r["JAH"], False)


def _meeting(e, r):
    e.always("author", r["AUT"])
    e.always("title", r["TIT"])
    e.optional("booktitle", r["QUE"])
    e.number("year", r["JAH"], False)
    e.optional("editor", r["HER"])
    e.optional("address", r["ORT"])
    e.optional("pages", r["SEI"])


def _part(e, r):
    e.always("author", r["AUT"])
    e.always("title", r["TIT"])
    e.optional("pages", r["SEI"])
    e.optional("crossref", citation_key(r["QUE"]))


def _book(e, r):
    e.always("author", r["AUT"])
    e.optional("editor", r["HER"])
    e.always("title", r["TIT"])
    e.optional("publisher", r["QUE"])
    e.number("year", r["JAH"], True)
    e.optional("edition", r["BAN"])
    e.optional("address", r["ORT"])
    e.optional("isbn", r["ISB"])


def _manual(e, r):
    e.optional("author", r["AUT"])
    _key_line(e, r)
    e.always("title", r["TIT"])
    e.optional("organization", r["QUE"])
    e.number("edition", r["BAN"], True)
    e.number("year", r["JAH"], True)
    e.optional("address", r["ORT"])


def _report(e, r):
    e.optional("author", r["AUT"])
    _key_line(e, r)
    e.always("title", r["TIT"])
    if r["TYP"].startswith("Typ:"):
        e.always("type", r["TYP"][5:])
    e.optional("institution", r["QUE"])
    e.number("year", r["JAH"], True)
    e.optional("number", r["BAN"])
    e.optional("address", r["ORT"])


def _misc(e, r):
    e.optional("author", r["AUT"])
    _key_line(e, r)
    _title_with_subtitle(e, r)
    e.optional("institution", r["QUE"])
    e.number("year", r["JAH"], True)
    e.optional("address", r["ORT"])


def _norm(e, r):
    e.optional("author", r["AUT"])
    _key_line(e, r, title_prefix="aaa ")
    _title_with_subtitle(e, r, braces=True)
    e.optional("organization", r["QUE"])
    e.number("year", r["JAH"], True)
    e.optional("address", r["ORT"])


def _web(e, r):
    e.optional("author", r["AUT"])
    _key_line(e, r)
    _title_with_subtitle(e, r)
    e.optional("howpublished", r["QUE"], prefix="\\url{", suffix="}")
    e.number("year", r["JAH"], True)


TEMPLATES = {
    "Art": ("article", _article), "Ber": ("techreport", _report),
    "Typ": ("techreport", _report), "Buc": ("book", _book),
    "InB": ("inbook", _part), "Dip": ("mastersthesis", _thesis),
    "Dis": ("phdthesis", _thesis), "Kon": ("conference", _meeting),
    "Pro": ("proceedings", _meeting), "InP": ("inproceedings", _part),
    "Man": ("manual", _manual), "Nor": ("manual", _norm),
    "URL": ("misc", _web),
}


def _note(e, r, nr2note):
    note, number = r["NOZ"], r["LNR"]
    if not nr2note:
        e.optional("note", note)
    elif not note:
        e.optional("note", number, prefix="Database entry No: ")
    elif not number:
        e.always("note", note)
    else:
        e.always("note", note + " \\\\ Database entry No: " + number)


def entry(record, nr2note):
    r = {t: record.get(t, "") for t in TAGS}
    type_, write = TEMPLATES.get(r["TYP"][:3], ("misc", _misc))
    e = Entry(type_, citation_key(r["KUR"]))
    write(e, r)
    _note(e, r, nr2note)
    return e


def entries(data, nr2note):
    return [entry(r, nr2note) for r in records(data)]
