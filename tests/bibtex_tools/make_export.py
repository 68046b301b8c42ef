#!/usr/bin/env python3
"""Writes a KART export of German literature records for the end-to-end
checks with the BibTeX tools. The same seed and count give the same bytes.

    make_export.py SEED COUNT OUTPUT [dirty|cp437|latin1|cp1252|utf8]

With a code page the export is written in that code page alone
(`codepage_export`). Otherwise the first record holds all fifteen tags;
records of every type key follow (and types that match no key), each record
in code page 437 or ISO 8859-1,
with several authors separated by ";", keys with umlauts and blanks, empty and
non-numeric years, "#" month macros on lines that are written only when not
empty, values up to the line limit, records shorter and longer than the
first, one or more empty lines between records, mostly CR LF line ends (some
records LF alone) and the end-of-file mark 26 at the end. Two records near
the start carry every accented letter of each code page.

Values hold no double quote, brace or character that LaTeX treats as special.
The dirty export holds them all: every record carries values that BibTeX or
LaTeX would misread if written as they stand (quotes, lone braces, & % # $ _ ^,
umlauts typed as TeX, bytes without a letter in the character table, control
codes, tabs, "#" values that name no macro), records of every type get them
in turn (a value that would begin a word of a person's name with a sign or a
lone brace goes to a line other than author and editor), and keys repeat, differ only in letter case or in what cleaning drops,
are empty with and without a running number, or look like a suffixed key. Its
first record holds ";" and an umlaut in the separators of some lines.
"""

import random
import sys
import unicodedata

import kart_model

# Line order of the first record, and so of every record.
ORDER = ["TYP", "KUR", "AUT", "TIT", "UNT", "QUE", "ORT", "JAH", "SEI",
         "ISB", "BAN", "HER", "KEY", "NOZ", "LNR"]
VALUE_LIMIT = 250  # 255 characters less the tag and its two separators

CP437 = dict(zip("ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜáíóúñÑ",
                 list(range(128, 155)) + list(range(160, 166))))
LATIN1 = {chr(c): c for c in range(192, 256)
          if c not in (208, 215, 222, 240, 247, 254)}

SURNAMES = """Müller Schmidt Schneider Fischer Weber Meyer Wagner Becker Schulz
Hoffmann Schäfer Koch Bauer Richter Klein Wolf Schröder Neumann Schwarz
Zimmermann Braun Krüger Hofmann Hartmann Lange Werner Krause Meier Lehmann
Köhler Jäger Böhm Günther Löwe Nüßlein Groß Weiß Strauß Voß Dürrenmatt
Ørsted Ångström Gonçalves Núñez Jiménez Álvarez Peña Sørensen Lévesque
Duchêne Brontë Françoise Noël Âmbar Çelik Rübsam Töpfer Würth Bäumler""".split()
GIVEN = """Hans Jürgen Günter Ursula Renate Käthe Jörg Björn Søren Åsa René
Hélène José Iñigo Zoë Chloé André Ângela João Sérgio Luís Inês Anaïs Ève
Maëlle Zoé Mário Ólafur Ýrr Þóra Eva Karl Fritz Grete Lüder Bärbel""".split()
GIVEN = [g for g in GIVEN if "Þ" not in g and "þ" not in g and "ð" not in g]
TITLE_WORDS = """Die Entwicklung der deutschen Sprache Geschichte Stadt Universität
Untersuchungen zur Wirtschaft Gesellschaft Bildung im Jahrhundert und
Öffentlichkeit Übersetzung Ärzte Straße Gemälde Künstler Bühne Größe Maß Café
Château Façade Zürich Region Schweiz Österreich Kultur Ökonomie
Überblick Einführung in die Theorie Praxis über Literatur Sprachwandel
Mittelalter Frühe Neuzeit Verfassung Rechtsprechung Bürger Dörfer Städte
Erzählungen Märchen Lyrik Schülerinnen Lehrkräfte Hochschule Fußball Grüße
Äußerungen Brücken Flüsse Wälder Gebäude Müllabfuhr Señor Mañana Crème brûlée
Rôle Débâcle Naïveté Fiancée Smörgåsbord Skål Ærø Øresund Ísland""".split()
PLACES = """Berlin München Köln Zürich Göttingen Düsseldorf Würzburg Lübeck
Saarbrücken Tübingen Nürnberg Wien Genève Besançon Malmö Århus Kø São Paulo
Gießen Fürth Jülich Bremen Jena Weißenfels""".split()
PLACES = [p for p in PLACES if p not in ("Kø", "São", "Paulo")] + ["São Paulo"]
JOURNALS = ["Zeitschrift für Sprachwissenschaft", "Historische Zeitschrift",
            "Archiv für Kulturgeschichte", "Jahrbuch der Görres-Gesellschaft",
            "Mitteilungen des Österreichischen Instituts", "Die Zeit",
            "Süddeutsche Monatshefte", "Revue d'Études Françaises"]
PUBLISHERS = ["Suhrkamp", "Vandenhoeck und Ruprecht", "C. H. Beck",
              "Böhlau", "Springer", "De Gruyter", "Fischer Taschenbuch",
              "Verlag für Sozialwissenschaften", "Kösel", "Hölder-Pichler-Tempsky"]
SCHOOLS = ["Universität Tübingen", "Universität Zürich", "TU München",
           "Universität Göttingen", "Universität Wien", "Universität zu Köln"]
INSTITUTES = ["Institut für Zeitgeschichte", "Max-Planck-Institut für Bildungsforschung",
              "Deutsches Institut für Normung", "Fraunhofer-Gesellschaft",
              "Bundesamt für Statistik"]
MONTHS = "jan feb mar apr may jun jul aug sep oct nov dec".split()

# First three characters of TYP pick the template; the rest is free text.
TYPES = ["Artikel", "Bericht", "Typ: Forschungsbericht", "Typ: Arbeitspapier",
         "Typ", "Typ:", "Buch", "InBuch", "Diplomarbeit", "Dissertation",
         "Konferenzbeitrag", "Proceedings", "InProceedings", "Manual",
         "Normblatt", "URL-Quelle",
         # no key matches these
         "Zeitungsartikel", "Vortrag", "artikel", "", " Artikel", "Ar", "Sonstiges"]
# Lines written only when not empty, by first three characters of TYP; only
# there may a value begin with "#".
OPTIONAL = {
    "Art": {"QUE", "BAN", "SEI", "NOZ"}, "Buc": {"HER", "QUE", "JAH", "BAN", "ORT", "ISB", "NOZ"},
    "Dip": {"QUE", "ORT", "NOZ"}, "Dis": {"QUE", "ORT", "NOZ"},
    "Kon": {"QUE", "HER", "ORT", "SEI", "NOZ"}, "Pro": {"QUE", "HER", "ORT", "SEI", "NOZ"},
    "InB": {"SEI", "NOZ"}, "InP": {"SEI", "NOZ"},
    "Man": {"QUE", "BAN", "JAH", "ORT", "KEY", "NOZ"},
    "Ber": {"QUE", "JAH", "BAN", "ORT", "KEY", "NOZ"},
    "Typ": {"QUE", "JAH", "BAN", "ORT", "KEY", "NOZ"},
    "Nor": {"QUE", "JAH", "ORT", "KEY", "NOZ"},
    # Not QUE: its howpublished line joins "\url{" # X # "}", and BibTeX
    # reads a brace opened inside quotes as running on to the next "}", so
    # that line holds the text '\url{" # X # "}', never the macro's value.
    "URL": {"JAH", "KEY", "NOZ"},
}
MISC_OPTIONAL = {"QUE", "JAH", "ORT", "KEY", "NOZ"}
NUMBER_LINES = {"JAH"}  # a "#" value there names a year, not a month

# Bytes that have no letter in the character table (as Latin-1 characters;
# 155 to 159 stand for code page 437's signs).
NO_ROW = [155, 156, 157, 158, 159] + list(range(166, 192)) + [208, 215, 222, 240, 247, 254]
# Values of the dirty export that need care to reach BibTeX and LaTeX intact.
# None holds a comma (they go into author lists too) or a backslash that does
# not start a TeX command.
DIRTY = [
    "Vandenhoeck & Ruprecht", 'Der "Zauberberg"', '"Zitat" am Anfang und Ende "',
    "50 % mehr", "Rabatt 100%", "Proze{\\ss", "a}b", "{{Doppelt}", "}}{ verkehrt",
    "Menge \\{a", "Menge \\{a b\\}", "Ende \\}", 'M\\"uller', 'M\\"{u}ller',
    'Umlaut am Ende \\"', 'M{\\"u}ller', "{\\em Titel} ok",
    "\\& ok \\% ok \\# ok", "$x_1$ und a_b", "Preis 5 $", "$a$ und $b",
    "$\\alpha$ und $\\beta^2$", "10^6", "x^2_i", "a^^b", "C# und F#",
    "Tilde~Wort", "Stra\\ss{}e", "Absatz\x14 und Paragraph\x15 12",
    "Glocke\x07Ton Esc\x1b[0m Null\x00Byte DEL\x7fZeichen",
    "Tab\tgetrennt\tmit\x0bvtab\x0cff", "§ 12 und 25 °C", "½ Seite × 3 ÷ 2",
    "Krieg; Frieden",
    "Þóra Ðoð þ", "Zeichen" + "".join(map(chr, NO_ROW)),
    " #jan mit Blank davor", "#jan", "#Dec", "#12", "#0815", "#nomacro here",
    "#1990/91", "##jan", "#jän", "#12a", "#-5", "#",
]
# Names of persons hold letters: a word of an author or editor never begins
# with one of these (bytes without a letter, the control codes that read as
# pilcrow and section sign) or with a brace the value leaves unmatched. Inside
# a word, and in every other line, they go as they come.
SIGNS = set(map(chr, NO_ROW)) | {"\x14", "\x15"}
NAME_LINES = {"AUT", "HER"}
# Two values holding these join into one that even a careful user would not
# type: which "$" strays, or which brace a "\\{" pairs with.
TEX = set("${}\\")
# Values of the web address line: what a URI cannot hold is percent-encoded
# (a letter as its UTF-8 bytes), blanks and tabs at the ends are dropped, and
# "#" names no macro there.
WEB = ["http://x.org/a_b%20#c", "https://example.de/suche?q=a&b=c_d~e$f^g",
       "http://x.org/{a", "http://x.org/a}", 'http://x.org/"zitat"',
       'http://x.org/M\\"uller', "http://x.org/a\x07b\tc", "#/anker",
       "http://x.org/100%", "http://x.org/§°", " \thttp://x.org/Müller|a`b<c>[1] "]
# Running numbers: they end the note and make the key of a record without one.
NUMBERS = ["#12", "#jan", "#x y", "12 a", "7 & 8", "", "0815"]
# Groups of citation keys that one BibTeX key would hold: repeated, in other
# letter case, different only in what cleaning drops, one like a suffixed
# key, and empty ones, with and without a running number, as (KUR, LNR).
KEY_GROUPS = [
    [("Doppelt90", "1"), ("Doppelt90", "2"), ("Doppelt90-2", "3"), ("Doppelt90", "4")],
    [("Fall90", "5"), ("fall90", "6"), ("FALL90", "")],
    [("Müller 90", "7"), ("Muller90", "8"), ('M{\\"u}ller 90', "9"), ("Mül ler90", "")],
    [("", "77"), ("", "77"), ("kart77", ""), ("KART77-2", "11")],
    [("", ""), ("", ""), ("{ } #%", ""), ("", "#12"), ("KART12", "")],
    [("Vandenhoeck & Ruprecht 1990", "13"), ("Vandenhoeck&Ruprecht1990", "14")],
    # Signs no reader takes in a key: they leave nothing.
    [("c^2 1", "15"), ("c21", "16"), ("A|B<C>@x", "17"), ("[Lit]!*?$&;Nr.1", ""),
     ("Lit:Nr.1", "19")],
]


class Generator:
    def __init__(self, seed, dirty=False):
        self.rng = random.Random(seed)
        self.serial = 0
        self.dirty = dirty
        self.next_dirty = {}  # per type key, the next value of DIRTY to use
        self.next_web = 0  # the next value of WEB to use

    def choice(self, items):
        return self.rng.choice(items)

    def person(self, latin1):
        name = self.choice(SURNAMES) + ", " + self.choice(GIVEN)
        return name if latin1 or fits_cp437(name) else self.person(latin1)

    def persons(self, latin1):
        names = [self.person(latin1) for _ in range(self.rng.choice([1, 1, 2, 2, 3, 4]))]
        return self.choice([";", "; "]).join(names)

    def words(self, pool, latin1, low, high, limit=VALUE_LIMIT):
        usable = [w for w in pool if latin1 or fits_cp437(w)]
        text = ""
        for _ in range(self.rng.randint(low, high)):
            word = self.choice(usable)
            if len(text) + 1 + len(word) > limit:
                break
            text = (text + " " + word).strip()
        return text

    def up_to_limit(self, latin1):
        """A value that fills the line to its last character."""
        text = self.words(TITLE_WORDS, latin1, 200, 200)
        filler = "Nachtrag"
        while len(text) < VALUE_LIMIT:
            text += (" " + filler)[: VALUE_LIMIT - len(text)]
        return text

    def pick(self, pool, latin1):
        usable = [p for p in pool if latin1 or fits_cp437(p)]
        return self.choice(usable)

    def key(self, latin1):
        self.serial += 1
        stem = self.choice(SURNAMES) if self.rng.random() < 0.8 else "Meier;Schulze"
        while not latin1 and not fits_cp437(stem):
            stem = self.choice(SURNAMES)
        return "%s %d-%d" % (stem, self.rng.randint(1950, 2020), self.serial)

    def year(self):
        return self.choice(["1990", "2004", "1978", "1865", "2019", "o.J.",
                            "1990/91", "", "ca. 1850", "1999"])

    def record(self, typ, latin1, parent_key=""):
        r = {t: "" for t in ORDER}
        r["TYP"] = typ
        r["KUR"] = self.key(latin1)
        if self.rng.random() < 0.9:
            r["AUT"] = self.persons(latin1)
        r["TIT"] = self.words(TITLE_WORDS, latin1, 2, 9) if self.rng.random() < 0.95 else ""
        if self.rng.random() < 0.4:
            r["UNT"] = self.words(TITLE_WORDS, latin1, 2, 6)
        prefix = typ[:3]
        r["QUE"] = parent_key or self.source(prefix, latin1)
        if self.rng.random() < 0.7:
            r["ORT"] = self.pick(PLACES, latin1)
        r["JAH"] = self.year()
        if self.rng.random() < 0.5:
            r["SEI"] = self.choice(["12--34", "S. 101-117", "245", "1--9"])
        if prefix == "Buc" and self.rng.random() < 0.5:
            r["ISB"] = "3-%03d-%05d-%d" % (self.rng.randint(100, 999),
                                           self.rng.randint(0, 99999), self.rng.randint(0, 9))
        if self.rng.random() < 0.5:
            r["BAN"] = self.choice(["12", "3", "2. Auflage", "Nr. 7", "Bd. 4"])
        if self.rng.random() < 0.3:
            r["HER"] = self.persons(latin1)
        if self.rng.random() < 0.2:
            r["KEY"] = self.words(TITLE_WORDS, latin1, 1, 2)
        if self.rng.random() < 0.3:
            r["NOZ"] = self.choice(["Leihgabe der Stadtbibliothek", "Signatur: A 17/3",
                                    "vergriffen", "Rezension in der Zeit",
                                    "übersetzt aus dem Französischen"])
            if not latin1 and not fits_cp437(r["NOZ"]):
                r["NOZ"] = "vergriffen"
        r["LNR"] = str(self.serial) if self.rng.random() < 0.9 else ""
        if self.rng.random() < 0.05:
            r["TIT"] = self.up_to_limit(latin1)
        self.bare_values(r, prefix)
        if self.dirty:
            self.soil(r, prefix)
        return r

    def soil(self, r, prefix):
        """Three values of DIRTY, the next ones for this type key, go into
        random lines of the record: one beginning with "#" replaces the value
        (it counts only there), any other joins it. Now and then a line is
        filled to the limit with one character that the writing lengthens.
        A web address record's address is the next value of WEB."""
        tags = ["AUT", "TIT", "UNT", "ORT", "JAH", "SEI", "ISB", "BAN", "HER", "KEY", "NOZ"]
        if prefix == "URL":
            r["QUE"] = WEB[self.next_web % len(WEB)]
            self.next_web += 1
        elif prefix not in ("InB", "InP"):  # there QUE names the parent entry
            tags.append("QUE")
        if r["TYP"].startswith("Typ:"):
            tags.append("TYP")
        start = self.next_dirty.setdefault(prefix, self.rng.randrange(len(DIRTY)))
        self.next_dirty[prefix] = start + 3
        for n in range(start, start + 3):
            value = DIRTY[n % len(DIRTY)]
            tag = self.choice(tags if fits_name(value) else
                              [t for t in tags if t not in NAME_LINES])
            if tag == "TYP":
                value = "Typ: " + value
            elif value.startswith("#") and tag in NUMBER_LINES and value[1:].isalpha():
                value = "#1875"  # a year line names no month
            elif not value.startswith("#") and r[tag] and len(r[tag]) + len(value) < VALUE_LIMIT \
                    and not (TEX & set(value) and TEX & set(r[tag])):
                words = r[tag].split(" ")
                at = self.rng.randint(0, len(words))
                if value.endswith('\\"'):  # an umlaut with nothing to accent
                    at = len(words)
                value = " ".join(words[:at] + [value] + words[at:])
            r[tag] = value
        if self.rng.random() < 0.05:
            filler = self.choice(["&", '"', "{", "_", "\x15", chr(191)])
            r[self.choice(["TIT", "UNT", "NOZ"])] = filler * VALUE_LIMIT
        if self.rng.random() < 0.2:
            r["LNR"] = self.choice(NUMBERS)

    def source(self, prefix, latin1):
        if prefix == "Art":
            return self.pick(JOURNALS, latin1)
        if prefix in ("Buc",):
            return self.pick(PUBLISHERS, latin1)
        if prefix in ("Dip", "Dis"):
            return self.pick(SCHOOLS, latin1)
        if prefix in ("Kon", "Pro"):
            return "Tagungsband " + self.words(TITLE_WORDS, latin1, 2, 4)
        if prefix == "URL":
            return "https://www.example.de/katalog/eintrag-%d.html" % self.serial
        if self.rng.random() < 0.3:
            return ""
        return self.pick(INSTITUTES + PUBLISHERS, latin1)

    def bare_values(self, r, prefix):
        """Now and then a value of an optional line becomes "#" and a month
        macro (a year on the year line), so that it is written bare."""
        if self.rng.random() >= 0.25:
            return
        tag = self.choice(sorted(OPTIONAL.get(prefix, MISC_OPTIONAL)))
        if tag in NUMBER_LINES:
            r[tag] = "#" + self.choice(["1990", "2001", "1875"])
        else:
            r[tag] = "#" + self.choice(MONTHS)


def fits_name(value):
    """No word of the value, as the converter writes it, begins with a sign
    or with an unmatched brace (TeX's \\{ included). Words part at blanks,
    tabs, ties and hyphens, as biber's initials do."""
    text = "".join(c for c in value if c >= " " or c in "\t\x14\x15")
    lone = kart_model.lone_braces(text)
    for i, c in enumerate(text):
        if i and text[i - 1] not in " \t~-":
            continue
        if c == "\\" and text[i + 1:i + 2] in ("{", "}"):
            i, c = i + 1, text[i + 1]
        if c in SIGNS or i in lone:
            return False
    return True


def fits_cp437(text):
    return all(c < "\x80" or c in CP437 for c in text)


def encode(text, latin1):
    """Letters in the record's code page; the bytes without a letter as
    they are."""
    table = LATIN1 if latin1 else CP437
    return bytes(table[c] if c >= "\x80" and ord(c) not in NO_ROW else ord(c) for c in text)


def lines_of(record, latin1, length, extra, separators={}):
    out = []
    for tag in ORDER[:length]:
        assert len(record[tag]) <= VALUE_LIMIT, (tag, record[tag])
        out.append(encode(tag + separators.get(tag, ": ") + record[tag], latin1))
    for i in range(extra):
        out.append(encode("BEM: Zusatzzeile %d, nicht ausgewertet" % (i + 1), latin1))
    return out


def alphabet_records(gen):
    """Two records whose authors and places carry every accented letter of
    code page 437 and of ISO 8859-1, in fields printed as they stand."""
    cp_letters = "".join(CP437)
    la_letters = "".join(LATIN1)
    result = []
    for latin1, letters in ((False, cp_letters), (True, la_letters)):
        r = gen.record("Buch", latin1)
        chunks = [letters[i:i + 6] for i in range(0, len(letters), 6)]
        r["AUT"] = "; ".join("Z%s, Alfa%s" % (c, c) for c in chunks)
        r["ORT"] = "Ort" + letters
        r["HER"] = ""
        result.append((r, latin1))
    return result


def generate(seed, count, dirty=False):
    gen = Generator(seed, dirty)
    first = gen.record("Buch", True)
    first.update({"AUT": "Müller, Jürgen; Weiß, Renate", "TIT": "Geschichte der Stadt Zürich",
                  "UNT": "Eine Einführung", "QUE": "Böhlau", "ORT": "Köln", "JAH": "1990",
                  "SEI": "245", "ISB": "3-518-38776-4", "BAN": "2. Auflage",
                  "HER": gen.persons(True), "KEY": "Entwicklung",
                  "NOZ": "Leihgabe der Universitätsbibliothek", "LNR": str(gen.serial)})
    planned = [(first, True)] + alphabet_records(gen)
    while len(planned) < count:
        latin1 = gen.rng.random() < 0.5
        typ = gen.choice(TYPES)
        if typ in ("InBuch", "InProceedings") and len(planned) + 3 <= count:
            # Children come before the entry they cross-reference, as BibTeX
            # wants it; the parent's key is given as the export writes it.
            parent_type = "Buch" if typ == "InBuch" else "Proceedings"
            parent = gen.record(parent_type, latin1)
            parent["AUT"] = "" if parent_type == "Proceedings" else parent["AUT"]
            for _ in range(gen.rng.randint(1, 2)):
                planned.append((gen.record(typ, latin1, parent["KUR"]), latin1))
            planned.append((parent, latin1))
        elif typ not in ("InBuch", "InProceedings"):
            planned.append((gen.record(typ, latin1), latin1))
        else:
            planned.append((gen.record("Buch", latin1), latin1))
    planned = planned[:count]
    if dirty:
        same_keys(gen, planned)
        # Read as the first record's title: "TIT", a separator and "ber Sachen".
        planned[0][0]["TIT"] = "ber Sachen"
    out = bytearray()
    for i, (record, latin1) in enumerate(planned):
        length, extra = len(ORDER), 0
        if i > 0:
            shape = gen.rng.random()
            if shape < 0.1:
                length = gen.rng.randint(8, len(ORDER) - 1)
            elif shape < 0.2:
                extra = gen.rng.randint(1, 3)
        end = b"\r\n" if gen.rng.random() < 0.9 else b"\n"
        separators = {"AUT": ";;", "TIT": ":Ü", "NOZ": "Ö "} if dirty and i == 0 else {}
        for line in lines_of(record, latin1, length, extra, separators):
            out += line + end
        out += end * (1 if gen.rng.random() < 0.9 else gen.rng.randint(2, 3))
    return bytes(out) + b"\x1a"  # the end-of-file mark DOS programs write


def same_keys(gen, planned):
    """Gives the keys of KEY_GROUPS to records at random places, never to
    the first record or to one that another cross-references; one more
    record's key is, in other letter case, the KART key that an entry
    without key and running number gets."""
    parents = {r["QUE"] for r, _ in planned if r["TYP"][:3] in ("InB", "InP")}
    free = [i for i, (r, _) in enumerate(planned) if i > 0 and r["KUR"] not in parents]
    places = gen.rng.sample(free, sum(map(len, KEY_GROUPS)) + 1)
    keys = [k for group in KEY_GROUPS for k in group]
    for (kur, number), i in zip(keys, places):
        planned[i][0].update({"KUR": kur, "LNR": number})
    planned[places[-1]][0]["KUR"] = "Kart%d" % (places[keys.index(("", ""))] + 1)


# --- Exports in one code page ------------------------------------------------

CODE_PAGES = ["cp437", "latin1", "cp1252", "utf8"]
# Windows-1252's signs that tell it from code page 437 (the others, such as
# "Š" or "‰", make an export read by the mixed table unless an option names
# the code page).
CP1252_SIGNS = "€‚„…‹‘’“”•–—™›"
# Letters of Latin Extended-A, for the UTF-8 export.
EXTENDED_SURNAMES = """Čapek Dvořák Łukasiewicz Erdős Wałęsa Kołłątaj Ševčík
Gazdağ Šťastný Žižek Ōtomo Ŭlsan Ģirts Ņikita Ķeņģe Dąbrowski""".split()
EXTENDED_GIVEN = """Bożena Łukasz Jiří Tomáš Ľudovít Małgorzata Zoltán Ştefan
Gülşen Ōsaka Rūta Māris Ērika Ĉiro Ĝoja Ŝanto Ĥano""".split()
EXTENDED_WORDS = """Łódź Kraków Gdańsk Ostrava Brno Plzeň Győr Braşov Vilnius
Rīga Kaunas Tartu Ljubljana Mikołajki""".split()
# Signs and punctuation in titles and sources; each export takes those its
# code page holds. pandoc knows § ¶ £, the dashes, ASCII and English quotes
# and the ellipsis; it drops the others and prints math as the command's name.
SIGN_PHRASES = ["§ 12", "¶ 3", "£ 5", "Krieg; Frieden", "A & B", "50 % mehr",
                "1914--1918", "Ost–West", "1914—1918", "it's", "l'Histoire",
                'der "Zauberberg"', "„Heimat“", "“Quoted”", "10^6", "x_1", "C#",
                "Grüße…", "25 °C", "± 3", "5 µm", "½ Seite", "€ 12", "¿Qué?",
                "«Le Monde»", "α-Strahlung", "x ≥ 1", "√2", "β-Zerfall", "ẞ-Frage"]
SOURCES = ["Presses Universitaires; Paris", "Revue d'Études Françaises",
           "Zeitschrift für Sprachwissenschaft", "Böhlau", "Fischer & Söhne",
           "Nordisk Tidskrift för Språk", "Ediciones Cátedra; Madrid",
           "Universitetsforlaget Ålesund", "Wydawnictwo Łódzkie", "Nakladatelství Čeřovský"]


def encode_as(text, cp):
    """The text in the code page, or None where it cannot hold it."""
    try:
        if cp == "cp437":
            return b"".join(b"\x15" if c == "§" else b"\x14" if c == "¶" else c.encode("cp437")
                            for c in text)
        if cp == "cp1252" and not all(c < "\x80" or "\xa0" <= c <= "\xff" or c in CP1252_SIGNS
                                      for c in text):
            return None
        return text.encode({"latin1": "latin-1", "cp1252": "cp1252", "utf8": "utf-8"}[cp])
    except UnicodeEncodeError:
        return None


def alphabet(cp):
    """Every character of the code page above 127 that an export holds
    (Windows-1252: its letters and the signs that keep it told apart; UTF-8:
    ISO 8859-1, Latin Extended-A, the signs of Windows-1252 and code page
    437, a C1 control and a combining accent left over)."""
    if cp == "cp437":
        return bytes(range(128, 256)).decode("cp437") + "§¶"
    latin1 = bytes(range(160, 256)).decode("latin-1")
    if cp == "latin1":
        return latin1
    if cp == "cp1252":
        return latin1 + CP1252_SIGNS
    return (latin1 + "".join(map(chr, range(0x100, 0x180))) + bytes(range(128, 160)).decode(
        "cp1252", "ignore") + bytes(range(128, 256)).decode("cp437") + "\x85x\u0301")


def codepage_export(seed, count, cp):
    """An export written in one code page (UTF-8 with the byte-order mark):
    articles and books, some web addresses, whose titles, authors, journals
    and publishers hold the code page's letters and the signs above, ";"
    outside names included. The first records' places, notes, ISBNs and
    editions hold every character of the code page, their authors every letter; in UTF-8 every eighth record
    is written with combining accents, and the place ends in bytes that are
    no UTF-8."""
    rng = random.Random(seed)

    def fitting(pool):
        return [w for w in pool if encode_as(w, cp) is not None]
    surnames = fitting(SURNAMES + EXTENDED_SURNAMES)
    given = fitting(GIVEN + EXTENDED_GIVEN)
    words = fitting(TITLE_WORDS + EXTENDED_WORDS) + fitting(SIGN_PHRASES)
    sources, places = fitting(SOURCES), fitting(PLACES + EXTENDED_WORDS)
    # Authors of the first records: every letter that pandoc knows, in
    # names of eight letters, five names a record.
    letters = "".join(c for c in alphabet(cp) if c in kart_model.TEX_OF_LETTER and c not in "ĐđĲĳŊŋ")
    names = ["Z%s, Alfa%s" % (letters[i:i + 8], letters[i:i + 8]) for i in range(0, len(letters), 8)]
    signs = alphabet(cp)
    out = bytearray(kart_model.BOM if cp == "utf8" else b"")
    for n in range(1, count + 1):
        r = {t: "" for t in ORDER}
        r["TYP"] = rng.choice(["Artikel", "Buch", "Artikel", "Buch", "URL"])
        r["AUT"] = rng.choice(["; ", ";"]).join(
            "%s, %s" % (rng.choice(surnames), rng.choice(given)) for _ in range(rng.randint(1, 3)))
        r["KUR"] = "%s %d-%d" % (r["AUT"].split(",")[0], rng.randint(1900, 2020), n)
        r["TIT"] = " ".join(rng.choice(words) for _ in range(rng.randint(2, 8)))
        r["QUE"] = rng.choice(sources)
        if r["TYP"] == "URL":
            r["QUE"] = " http://x.org/%s?q=%s " % (rng.choice(places), rng.choice(words))
        r["ORT"], r["JAH"], r["LNR"] = rng.choice(places), str(rng.randint(1900, 2020)), str(n)
        if names:
            r["TYP"], r["AUT"], names = "Buch", "; ".join(names[:5]), names[5:]
            for tag in ("ORT", "NOZ", "ISB", "BAN"):
                r[tag], signs = signs[:120], signs[120:]
        for tag in ORDER:
            text = tag + ": " + r[tag]
            if cp == "utf8" and n % 8 == 0:
                text = unicodedata.normalize("NFD", text)
            out += encode_as(text, cp)
            if cp == "utf8" and n == 1 and tag == "ORT":
                out += b" \xe2\x82x \xff \xed\xa0\x80"
            out += b"\r\n"
        out += b"\r\n"
    return bytes(out) + b"\x1a"


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit("usage: make_export.py SEED COUNT OUTPUT [dirty|%s]" % "|".join(CODE_PAGES))
    kind = sys.argv[4] if len(sys.argv) == 5 else ""
    if kind in CODE_PAGES:
        data = codepage_export(int(sys.argv[1]), int(sys.argv[2]), kind)
    else:
        data = generate(int(sys.argv[1]), int(sys.argv[2]), kind == "dirty")
    with open(sys.argv[3], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
