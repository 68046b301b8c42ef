"""What a KART export should give in BibTeX, worked out from the export's
rules alone: how records and lines are read, the character table, the entry
templates and the citation keys. It shares no code with the converter, so the
checks compare two independent readings of the same rules.

The result is what a BibTeX parser sees, not the bytes of the file: for each
record the entry type, the key and the fields in order, each value with its
quotes or braces taken off, macros expanded, pieces joined by "#" pasted and
runs of blanks collapsed into one. Every value is made safe for BibTeX and
LaTeX on its way out (`safe`), and every entry gets a key of its own
(`unique_keys`).
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

# Bytes without a letter in the table, as TeX text: 155 to 159 read as code
# page 437, the others as ISO 8859-1; the two control codes that code page 437
# shows as pilcrow and section sign.
TEXT_COMMAND = {
    20: r"{\P}", 21: r"{\S}", 155: r"{\textcent}", 156: r"{\pounds}",
    157: r"{\textyen}", 158: "Pts", 159: r"{\textflorin}",
    166: r"{\textbrokenbar}", 167: r"{\S}", 168: r"{\textasciidieresis}",
    169: r"{\textcopyright}", 170: r"{\textordfeminine}",
    171: r"{\guillemetleft}", 172: r"{\textlnot}", 173: r"\-",
    174: r"{\textregistered}", 175: r"{\textasciimacron}",
    176: r"{\textdegree}", 177: r"{\textpm}", 178: r"{\texttwosuperior}",
    179: r"{\textthreesuperior}", 180: r"{\textasciiacute}", 181: r"{\textmu}",
    182: r"{\P}", 183: r"{\textperiodcentered}", 184: r"{\c{ }}",
    185: r"{\textonesuperior}", 186: r"{\textordmasculine}",
    187: r"{\guillemetright}", 188: r"{\textonequarter}",
    189: r"{\textonehalf}", 190: r"{\textthreequarters}",
    191: r"{\textquestiondown}", 208: r"{\DH}", 215: r"{\texttimes}",
    222: r"{\TH}", 240: r"{\dh}", 247: r"{\textdiv}", 254: r"{\th}"}

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
    # The first record's tags as its lines stand (a tag holding an 8-bit
    # byte or ";" names no field); every record, the first included, is cut
    # to its values before they are translated.
    tag_line = {}
    for i, line in enumerate(blocks[0][:LAST_BUFFER_LINE], start=1):
        tag = bytes(c - 32 if 97 <= c <= 122 else c for c in line[:3]).decode("latin-1")
        if tag in TAGS:
            tag_line[tag] = i
    result = []
    for block in blocks:
        values = [convert(l[5:]) for l in block[:LAST_BUFFER_LINE]]
        result.append({t: values[i - 1] if i <= len(values) else ""
                       for t, i in tag_line.items()})
    return result


# --- Values as a BibTeX parser delivers them --------------------------------

def collapse(text):
    """Runs of blanks as btparse reads them: one blank, none at the ends
    (a tab is no blank there)."""
    return " ".join(w for w in text.split(" ") if w)


def lone_braces(text):
    """The positions of the braces in `text` that find no partner."""
    opened, lone = [], set()
    for i, c in enumerate(text):
        if c == "{":
            opened.append(i)
        elif c == "}":
            if opened:
                opened.pop()
            else:
                lone.add(i)
    lone.update(opened)
    return lone


def safe(value, web=False):
    """The value as it is written between quotes or braces: 7-bit bytes,
    balanced braces, no double quote outside braces and, except in a web
    address (which \\url reads verbatim), LaTeX's special characters
    escaped outside math."""
    # Bytes: the table's gaps as TeX text, control codes dropped, tab kept.
    text = "".join(TEXT_COMMAND.get(ord(c), "" if (c < " " and c != "\t") or c == "\x7f" else c)
                   for c in value)
    # Braces: one that finds no partner is written as a brace sign, and a
    # backslash right before it (TeX's \{) goes with it.
    lone = lone_braces(text)
    out = []
    for i, c in enumerate(text):
        if i in lone:
            if out and out[-1] == "\\":
                out.pop()
            out.append("{\\textbraceleft}" if c == "{" else "{\\textbraceright}")
        else:
            out.append(c)
    text = "".join(out)
    # Double quotes outside braces: TeX's umlaut goes into braces with the
    # letter, command or group it accents; any other quote is braced alone.
    out, depth, i = [], 0, 0
    while i < len(text):
        c = text[i]
        if depth == 0 and text.startswith('\\"', i):
            j = i + 2
            if j == len(text):
                accented = "{}"
            elif text[j] == "\\":
                accented = "\\" + re.match(r"[A-Za-z]*", text[j + 1:]).group()
            elif text[j] == "{":
                k, level = j, 0
                while True:
                    level += {"{": 1, "}": -1}.get(text[k], 0)
                    k += 1
                    if level == 0:
                        break
                accented = text[j:k]
            else:
                accented = text[j]
            out.append('{\\"' + accented + "}")
            i = j + (0 if j == len(text) else len(accented))
            continue
        depth += {"{": 1, "}": -1}.get(c, 0)
        out.append('{"}' if c == '"' and depth == 0 else c)
        i += 1
    text = "".join(out)
    if web:
        return text
    # LaTeX's specials: & % # escaped; $ paired from the left as math, an
    # odd last one escaped; _ and ^ escaped outside math.
    free = [i for i, c in enumerate(text) if c == "$" and text[i - 1:i] != "\\"]
    odd = free[-1] if len(free) % 2 else None
    out, math = [], False
    for i, c in enumerate(text):
        if text[i - 1:i] == "\\":
            out.append(c)
        elif c in "&%#" or i == odd:
            out.append("\\" + c)
        elif c == "$":
            math = not math
            out.append(c)
        elif c == "_" and not math:
            out.append("\\_")
        elif c == "^" and not math:
            out.append("\\^{}")
        else:
            out.append(c)
    return "".join(out)


BARE = re.compile(r"[0-9]+|[A-Za-z][A-Za-z0-9_.:+/-]*")


def bare(value):
    """What BibTeX reads for a value written bare: a number, or the macro it
    names (the months of the standard styles, in any letter case)."""
    if value.isdigit():
        return value
    if value.lower() in MONTHS:
        return MONTHS[value.lower()]
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


class Fixed(str):
    """Text of the line itself, written as it stands, not made safe."""


class Entry:
    def __init__(self, type_, key):
        self.type, self.key, self.fields = type_, key, []
        self.renamed = False  # the key is not the record's cleaned KUR

    def always(self, name, *pieces):
        """A line written also when empty: values made safe, fixed text not."""
        self.fields.append((name, collapse("".join(
            p if isinstance(p, Fixed) else safe(p) for p in pieces))))

    def optional(self, name, value, prefix="", suffix="", web=False):
        """A line left out when empty; "#" and a number or macro name make the
        value bare, joined to any fixed text around it. Any other value,
        "#" included, is made safe."""
        if value.startswith("#") and BARE.fullmatch(value[1:]):
            self.fields.append((name, collapse(prefix + bare(value[1:]) + suffix)))
        elif value and value != "#":
            self.fields.append((name, collapse(prefix + safe(value, web) + suffix)))

    def number(self, name, value, optional):
        """Year and edition: digits bare, other text quoted, empty no line."""
        if optional:
            self.optional(name, value)
        elif value:
            self.always(name, value)


def _key_line(e, r, title_prefix=""):
    if not r["AUT"]:
        e.optional("key", r["TIT"], prefix=title_prefix)
    else:
        e.optional("key", r["KEY"])


def _title_with_subtitle(e, r, braces=False):
    if r["TIT"]:
        subtitle = (Fixed(", "), r["UNT"]) if r["UNT"] else ()
        if braces:
            e.always("title", Fixed("{"), r["TIT"], *subtitle, Fixed("}"))
        else:
            e.always("title", r["TIT"], *subtitle)
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
    if citation_key(r["QUE"]):  # a key, written as cleaned
        e.fields.append(("crossref", citation_key(r["QUE"])))


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
    e.optional("howpublished", r["QUE"], prefix="\\url{", suffix="}", web=True)
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
        e.always("note", note, Fixed(" \\\\ Database entry No: "), number)


def entry(record, nr2note):
    r = {t: record.get(t, "") for t in TAGS}
    type_, write = TEMPLATES.get(r["TYP"][:3], ("misc", _misc))
    e = Entry(type_, citation_key(r["KUR"]))
    write(e, r)
    _note(e, r, nr2note)
    return e


def unique_keys(entries, records):
    """Keys as BibTeX compares them, without regard to letter case: an empty
    key becomes KART and the cleaned LNR, or KART and the entry's number; the
    first entry with a key keeps it, each later one gets the smallest suffix
    -2, -3, ... that no record's key and no earlier entry's key holds."""
    wanted = []
    for n, (e, r) in enumerate(zip(entries, records), start=1):
        wanted.append(e.key or "KART" + (citation_key(r.get("LNR", "")) or str(n)))
    of_records, given = {k.lower() for k in wanted}, set()
    for e, key in zip(entries, wanted):
        final, n = key, 2
        while final.lower() in given or (final != key and final.lower() in of_records):
            final, n = "%s-%d" % (key, n), n + 1
        given.add(final.lower())
        e.renamed, e.key = final != e.key, final


def entries(data, nr2note):
    rs = records(data)
    result = [entry(r, nr2note) for r in rs]
    unique_keys(result, rs)
    return result
