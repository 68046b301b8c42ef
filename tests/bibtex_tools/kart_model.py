"""What a KART export should give in BibTeX, worked out from the export's
rules alone: how the code page is told, how records and lines are read, the
TeX form of each character, the entry templates and the citation keys. It
shares no code with the converter, so the checks compare two independent
readings of the same rules.

The result is what a BibTeX parser sees, not the bytes of the file: for each
record the entry type, the key and the fields in order, each value with its
quotes or braces taken off, macros expanded, pieces joined by "#" pasted and
runs of blanks collapsed into one. Every value is made safe for BibTeX and
LaTeX on its way out (`safe`), and every entry gets a key of its own
(`unique_keys`).

The export is first read as Unicode text in its code page (`code_page`,
`decode`); each character then gets its TeX form (`tex`), its letters in a
citation key (`citation_key`) or its bytes in a web address (`url`).
"""

import re
import unicodedata

LINE_LIMIT = 255
LAST_BUFFER_LINE = 255

TAGS = ["TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH",
        "SEI", "ISB", "BAN", "HER", "NOZ", "KEY", "LNR"]
# ";" separates names only here.
NAME_TAGS = ("AUT", "HER")

# --- The code page -----------------------------------------------------------

BOM = b"\xef\xbb\xbf"
# Bytes that are letters in ISO 8859-1 but Greek, mathematical or box
# drawing in code page 437, and the bytes 128-159 that Windows-1252 uses for
# signs, not letters.
ISO_LETTER_BYTES = set(range(192, 224)) | {224, 226, 228, 231, 232, 233, 234, 235,
                                           238, 239, 244, 246, 251, 252}
WINDOWS_SIGN_BYTES = {128, 130, 132, 133, 139, 145, 146, 147, 148, 149, 150, 151,
                      153, 155}
# What the console says for each reading; the mixed table's says nothing.
CONSOLE_NAME = {"cp437": "Codepage 437", "latin1": "ISO 8859-1",
                "cp1252": "Windows-1252", "utf8": "UTF-8"}


def code_page(data, forced=None):
    """The reading of the export: the one named by the option, else the one
    its bytes up to the end-of-file mark show, else the mixed table."""
    if forced:
        return forced.lower()
    if data.startswith(BOM):
        return "utf8"
    body = data.split(b"\x1a")[0]
    high = {b for b in body if b > 127}
    if high:
        try:
            body.decode("utf-8")  # strict: no overlong form, surrogate or > U+10FFFF
            return "utf8"
        except UnicodeDecodeError:
            pass
    low = {b for b in high if b < 160}
    letters = bool(high & ISO_LETTER_BYTES)
    if low and not letters:
        return "cp437"
    if letters and not low:
        return "latin1"
    if letters and low <= WINDOWS_SIGN_BYTES:
        return "cp1252"
    return "table"


# The mixed table: code page 437 from 128 to 165, ISO 8859-1 above.
TABLE_CHAR = {b: bytes([b]).decode("cp437" if b < 166 else "latin-1") for b in range(128, 256)}
LETTER_OF_CODE = {b: c for b, c in TABLE_CHAR.items()
                  if b not in range(155, 160) and b not in range(166, 192)
                  and c not in "ÐÞðþ×÷"}


def decode(data, cp):
    """The export as text. A byte that is no character (of a broken UTF-8
    sequence, or undefined in Windows-1252) stands as Python's escape of
    that byte, U+DC80 to U+DCFF."""
    if cp == "utf8":
        return (data[len(BOM):] if data.startswith(BOM) else data).decode("utf-8", "surrogateescape")
    if cp == "table":
        return "".join(TABLE_CHAR.get(b, chr(b)) for b in data)
    return data.decode({"cp437": "cp437", "latin1": "latin-1", "cp1252": "cp1252"}[cp],
                       "surrogateescape")


def compose(text):
    """A letter and the combining accent after it as the one letter Unicode
    composes from them, where there is one."""
    out = []
    for c in text:
        if out and unicodedata.combining(c) and unicodedata.category(out[-1]).startswith("L"):
            joined = unicodedata.normalize("NFC", out[-1] + c)
            if len(joined) == 1:
                out[-1] = joined
                continue
        out.append(c)
    return "".join(out)


# --- Each character's TeX form -----------------------------------------------

# Accents as TeX writes them: signs before the letter alone, letters around
# it in braces.
ACCENT = {"\u0300": "`", "\u0301": "'", "\u0302": "^", "\u0303": "~", "\u0304": "=",
          "\u0307": ".", "\u0308": '"'}
NAMED_ACCENT = {"\u0306": "u", "\u030a": "r", "\u030b": "H", "\u030c": "v",
                "\u0327": "c", "\u0328": "k"}
# Letters with a command of their own.
OWN = {"å": r"{\aa}", "Å": r"{\AA}", "æ": r"{\ae}", "Æ": r"{\AE}", "ø": r"{\o}",
       "Ø": r"{\O}", "ß": r"\ss{}", "Đ": r"{\DJ}", "đ": r"{\dj}", "ı": r"{\i}",
       "Ĳ": r"{\IJ}", "ĳ": r"{\ij}", "Ł": r"{\L}", "ł": r"{\l}", "Ŋ": r"{\NG}",
       "ŋ": r"{\ng}", "Œ": r"{\OE}", "œ": r"{\oe}"}


def _letter(c):
    """The TeX form and the plain letters of a letter of ISO 8859-1 or Latin
    Extended-A, or None."""
    if c in OWN:
        return OWN[c], re.sub(r"[^A-Za-z]", "", OWN[c].replace("ss{}", "ss"))
    if not ("\xc0" <= c <= "\u017f") or c in "ÐÞðþ×÷":
        return None
    parts = unicodedata.normalize("NFD", c)
    if len(parts) != 2:
        return None
    base, mark = parts
    if mark in ACCENT:
        return "{\\" + ACCENT[mark] + base + "}", base
    if mark in NAMED_ACCENT:
        return "{\\" + NAMED_ACCENT[mark] + "{" + base + "}}", base
    return None


LETTERS = {c: f for c, f in ((chr(n), _letter(chr(n))) for n in range(0xc0, 0x180)) if f}
TEX_OF_LETTER = {c: f[0] for c, f in LETTERS.items()}
# The letters a key keeps of each letter: the base letter of an accented
# one, the letters of its command for one with a command of its own (ß ss,
# œ oe, ł l), and the base letter of those of Latin Extended-A with a stroke
# or a middle dot and of the long s and ŉ (Đ D, Ħ H, Ŀ L, ſ s), whose text
# gets {\DJ} or "?".
PLAIN = {c: f[1] for c, f in LETTERS.items()}
PLAIN.update(zip("ĐđĦħŦŧĿŀŉſ", "DdHhTtLlns"))

# Signs as TeX text: those of ISO 8859-1, code page 437 and Windows-1252,
# and the control codes that code page 437 shows as pilcrow and section sign.
SIGN = {
    "\x14": r"{\P}", "\x15": r"{\S}", "\xa0": "~", "¡": r"{\textexclamdown}",
    "¢": r"{\textcent}", "£": r"{\pounds}", "¤": r"{\textcurrency}", "¥": r"{\textyen}",
    "¦": r"{\textbrokenbar}", "§": r"{\S}", "¨": r"{\textasciidieresis}",
    "©": r"{\textcopyright}", "ª": r"{\textordfeminine}", "«": r"{\guillemetleft}",
    "¬": r"{\textlnot}", "\xad": r"\-", "®": r"{\textregistered}", "¯": r"{\textasciimacron}",
    "°": r"{\textdegree}", "±": r"{\textpm}", "²": r"{\texttwosuperior}",
    "³": r"{\textthreesuperior}", "´": r"{\textasciiacute}", "µ": r"{\textmu}",
    "¶": r"{\P}", "·": r"{\textperiodcentered}", "¸": r"{\c{ }}",
    "¹": r"{\textonesuperior}", "º": r"{\textordmasculine}", "»": r"{\guillemetright}",
    "¼": r"{\textonequarter}", "½": r"{\textonehalf}", "¾": r"{\textthreequarters}",
    "¿": r"{\textquestiondown}", "Ð": r"{\DH}", "×": r"{\texttimes}", "Þ": r"{\TH}",
    "ð": r"{\dh}", "÷": r"{\textdiv}", "þ": r"{\th}",
    "₧": "Pts", "ƒ": r"{\textflorin}", "⌐": r"{\textlnot}", "ⁿ": r"{\textsuperscript{n}}",
    "–": "--", "—": "---", "„": r"{\quotedblbase}", "“": "``", "”": "''",
    "‚": r"{\quotesinglbase}", "‘": "`", "’": "'", "‹": r"{\guilsinglleft}",
    "›": r"{\guilsinglright}", "…": r"{\dots}", "€": r"{\texteuro}", "†": r"{\dag}",
    "‡": r"{\ddag}", "•": r"{\textbullet}", "‰": r"{\textperthousand}",
    "™": r"{\texttrademark}", "ˆ": r"{\textasciicircum}", "˜": r"{\textasciitilde}",
}
# Code page 437's Greek letters and mathematical signs, as math.
MATH = dict(zip("αΓπΣστΦΘΩδ∞φε∩≡≥≤≈∙√", (
    "alpha Gamma pi Sigma sigma tau Phi Theta Omega delta infty phi varepsilon "
    "cap equiv ge le approx cdot surd").split()))
SIGN.update({c: "{\\ensuremath{\\%s}}" % name for c, name in MATH.items()})
# Code page 437's box drawing and blocks: a blank.
SIGN.update({bytes([b]).decode("cp437"): " " for b in list(range(176, 224)) + [244, 245, 254]})

# Written for a character without a TeX form; the BibTeX file holds "?".
UNKNOWN = "\ufffd"


def tex(text, tag):
    """A value's characters as TeX text, a letter and its combining accent
    as one letter. Control codes stay (the safe-value steps drop them); ";"
    separates names in AUT and HER."""
    out = []
    for c in compose(text):
        if c < "\x80":
            out.append(" and " if c == ";" and tag in NAME_TAGS else SIGN.get(c, c))
        elif c < "\xa0":
            pass  # control codes of ISO 8859-1 and of Unicode
        else:
            out.append(TEX_OF_LETTER.get(c) or SIGN.get(c) or UNKNOWN)
    return "".join(out)


def url(text):
    """A web address as a URI holds it: blanks and tabs at the ends dropped,
    what a URI cannot hold percent-encoded, characters above 127 as their
    UTF-8 bytes (a combining accent too), a byte that is no character as
    itself."""
    out = []
    for c in text.strip(" \t"):
        if "\udc80" <= c <= "\udcff":
            out.append("%%%02X" % (ord(c) - 0xdc00))
        elif c < " " or c == "\x7f" or c in ' "<>\\^`{|}':
            out.append("%%%02X" % ord(c))
        elif c > "\x7f":
            out.append("".join("%%%02X" % b for b in c.encode("utf-8")))
        else:
            out.append(c)
    return "".join(out)


MONTHS = {m: n for m, n in zip(
    "jan feb mar apr may jun jul aug sep oct nov dec".split(),
    "January February March April May June July August September October "
    "November December".split())}


class ModelError(Exception):
    """The record holds something the checks cannot predict (a bare value
    that names no macro)."""


# --- Reading the export -----------------------------------------------------

def read_lines(text):
    """The lines of the export as the reader takes them, each as text: the
    line limit counts characters."""
    lines, pos, n = [], 0, len(text)

    def at_end():
        return pos >= n or text[pos] == "\x1a"

    while not at_end():
        line, taken = [], 0
        while taken < LINE_LIMIT and pos < n and text[pos] not in "\n\x1a":
            if text[pos] != "\r":
                line.append(text[pos])
            pos += 1
            taken += 1
        while pos < n and text[pos] != "\x1a":
            c = text[pos]
            pos += 1
            if c == "\n":
                break
            if c == "\r":
                if pos < n and text[pos] == "\n":
                    pos += 1
                break
        lines.append("".join(line))
    return lines


def records(data, cp=None):
    """The values of every record as text in the export's code page (`cp`,
    else as `code_page` tells it), as dicts tag -> value."""
    cp = cp or code_page(data)
    lines = read_lines(decode(data, cp))
    blocks, current = [], []
    for line in lines + [""]:
        if line:
            current.append(line)
        elif current:
            blocks.append(current)
            current = []
    if not blocks:
        return []
    # The first record's tags as its lines stand (a tag holding a character
    # above 127 names no field); every record, the first included, is cut
    # to its values before their characters are looked at.
    tag_line = {}
    for i, line in enumerate(blocks[0][:LAST_BUFFER_LINE], start=1):
        tag = "".join(chr(ord(c) - 32) if "a" <= c <= "z" else c for c in line[:3])
        if tag in TAGS:
            tag_line[tag] = i
    result = []
    for block in blocks:
        values = [l[5:] for l in block[:LAST_BUFFER_LINE]]
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


def safe(value):
    """The value (TeX text) as it is written between quotes or braces:
    printable 7-bit text, balanced braces, no double quote outside braces,
    LaTeX's special characters escaped outside math."""
    # Control codes dropped, tab kept.
    text = "".join("" if (c < " " and c != "\t") or c == "\x7f" else c for c in value)
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
    # LaTeX's specials: & % # escaped; $ paired from the left as math, an
    # odd last one escaped; outside math _ escaped and ^ a text circumflex.
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
            out.append("{\\textasciicircum}")
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


KEY_CHARS = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_:./+")


def citation_key(value):
    """A key every reader takes, from the value's characters: a letter
    gives its plain letters, ASCII letters, digits and - _ : . / + stay,
    everything else (signs, Greek, marks, blanks, the other ASCII signs)
    gives nothing."""
    return "".join(c if c in KEY_CHARS else PLAIN.get(c, "") for c in value)


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
        "#" included, is made safe (a web address is safe as it comes)."""
        if value.startswith("#") and BARE.fullmatch(value[1:]):
            self.fields.append((name, collapse(prefix + bare(value[1:]) + suffix)))
        elif value and value != "#":
            self.fields.append((name, collapse(prefix + (value if web else safe(value)) + suffix)))

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
    if citation_key(r.text["QUE"]):  # a key, written as cleaned
        e.fields.append(("crossref", citation_key(r.text["QUE"])))


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
    e.optional("howpublished", url(r.text["QUE"]), prefix="\\url{", suffix="}", web=True)
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


class Values(dict):
    """A record's values as TeX text by tag; `text` holds them as read."""

    def __init__(self, record):
        self.text = {t: record.get(t, "") for t in TAGS}
        super().__init__((t, tex(v, t)) for t, v in self.text.items())


def entry(record, nr2note):
    """The record's entry; `unknown` counts the "?" written for characters
    without a TeX form."""
    r = Values(record)
    type_, write = TEMPLATES.get(r["TYP"][:3], ("misc", _misc))
    e = Entry(type_, citation_key(r.text["KUR"]))
    write(e, r)
    _note(e, r, nr2note)
    e.unknown = sum(v.count(UNKNOWN) for _, v in e.fields)
    e.fields = [(n, v.replace(UNKNOWN, "?")) for n, v in e.fields]
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


def entries(data, nr2note, encoding=None):
    """The entries of the export, read as `encoding` names or, without it,
    as `code_page` tells."""
    rs = records(data, code_page(data, encoding))
    result = [entry(r, nr2note) for r in rs]
    unique_keys(result, rs)
    return result
