// Every character above 127 that a code page of the export can hold and
// that has a TeX form, and the few letters that have none but still give a
// citation key their base letter: its Unicode code, the TeX text that stands for it in
// the BibTeX file, the letters a citation key keeps of it (none for a sign,
// a Greek letter or a mark), and for an accented letter the combining accent
// that makes it from its base letter (the first of `letters`), so that a
// letter followed by a combining accent reads as the one letter.
//
// Acute letters carry the acute command, grave letters the grave one. Greek
// letters and mathematical signs are math within \ensuremath, so that a
// value's own "$" pairs never meet them. Box-drawing characters, which no
// bibliography holds, are a blank.
#pragma once

#include <array>
#include <string_view>

struct Character {
  char32_t code;
  std::string_view tex;      // 7-bit text without ";"; empty for a letter
                             // that has none (it is written "?")
  std::string_view letters;  // what a citation key keeps of it
  char32_t accent = 0;       // the combining accent it composes from
};

// Sorted by code.
inline constexpr std::array<Character, 270> TranslationTable = {{
    {0x00A0, "~", ""},  // no-break space
    {0x00A1, "{\\textexclamdown}", ""},  // ¡
    {0x00A2, "{\\textcent}", ""},  // ¢
    {0x00A3, "{\\pounds}", ""},  // £
    {0x00A4, "{\\textcurrency}", ""},  // ¤
    {0x00A5, "{\\textyen}", ""},  // ¥
    {0x00A6, "{\\textbrokenbar}", ""},  // ¦
    {0x00A7, "{\\S}", ""},  // §
    {0x00A8, "{\\textasciidieresis}", ""},  // ¨
    {0x00A9, "{\\textcopyright}", ""},  // ©
    {0x00AA, "{\\textordfeminine}", ""},  // ª
    {0x00AB, "{\\guillemetleft}", ""},  // «
    {0x00AC, "{\\textlnot}", ""},  // ¬
    {0x00AD, "\\-", ""},  // soft hyphen
    {0x00AE, "{\\textregistered}", ""},  // ®
    {0x00AF, "{\\textasciimacron}", ""},  // ¯
    {0x00B0, "{\\textdegree}", ""},  // °
    {0x00B1, "{\\textpm}", ""},  // ±
    {0x00B2, "{\\texttwosuperior}", ""},  // ²
    {0x00B3, "{\\textthreesuperior}", ""},  // ³
    {0x00B4, "{\\textasciiacute}", ""},  // ´
    {0x00B5, "{\\textmu}", ""},  // µ
    {0x00B6, "{\\P}", ""},  // ¶
    {0x00B7, "{\\textperiodcentered}", ""},  // ·
    {0x00B8, "{\\c{ }}", ""},  // ¸
    {0x00B9, "{\\textonesuperior}", ""},  // ¹
    {0x00BA, "{\\textordmasculine}", ""},  // º
    {0x00BB, "{\\guillemetright}", ""},  // »
    {0x00BC, "{\\textonequarter}", ""},  // ¼
    {0x00BD, "{\\textonehalf}", ""},  // ½
    {0x00BE, "{\\textthreequarters}", ""},  // ¾
    {0x00BF, "{\\textquestiondown}", ""},  // ¿
    {0x00C0, "{\\`A}", "A", 0x300},  // À
    {0x00C1, "{\\'A}", "A", 0x301},  // Á
    {0x00C2, "{\\^A}", "A", 0x302},  // Â
    {0x00C3, "{\\~A}", "A", 0x303},  // Ã
    {0x00C4, "{\\\"A}", "A", 0x308},  // Ä
    {0x00C5, "{\\AA}", "AA", 0x30A},  // Å
    {0x00C6, "{\\AE}", "AE"},  // Æ
    {0x00C7, "{\\c{C}}", "C", 0x327},  // Ç
    {0x00C8, "{\\`E}", "E", 0x300},  // È
    {0x00C9, "{\\'E}", "E", 0x301},  // É
    {0x00CA, "{\\^E}", "E", 0x302},  // Ê
    {0x00CB, "{\\\"E}", "E", 0x308},  // Ë
    {0x00CC, "{\\`I}", "I", 0x300},  // Ì
    {0x00CD, "{\\'I}", "I", 0x301},  // Í
    {0x00CE, "{\\^I}", "I", 0x302},  // Î
    {0x00CF, "{\\\"I}", "I", 0x308},  // Ï
    {0x00D0, "{\\DH}", ""},  // Ð
    {0x00D1, "{\\~N}", "N", 0x303},  // Ñ
    {0x00D2, "{\\`O}", "O", 0x300},  // Ò
    {0x00D3, "{\\'O}", "O", 0x301},  // Ó
    {0x00D4, "{\\^O}", "O", 0x302},  // Ô
    {0x00D5, "{\\~O}", "O", 0x303},  // Õ
    {0x00D6, "{\\\"O}", "O", 0x308},  // Ö
    {0x00D7, "{\\texttimes}", ""},  // ×
    {0x00D8, "{\\O}", "O"},  // Ø
    {0x00D9, "{\\`U}", "U", 0x300},  // Ù
    {0x00DA, "{\\'U}", "U", 0x301},  // Ú
    {0x00DB, "{\\^U}", "U", 0x302},  // Û
    {0x00DC, "{\\\"U}", "U", 0x308},  // Ü
    {0x00DD, "{\\'Y}", "Y", 0x301},  // Ý
    {0x00DE, "{\\TH}", ""},  // Þ
    {0x00DF, "\\ss{}", "ss"},  // ß
    {0x00E0, "{\\`a}", "a", 0x300},  // à
    {0x00E1, "{\\'a}", "a", 0x301},  // á
    {0x00E2, "{\\^a}", "a", 0x302},  // â
    {0x00E3, "{\\~a}", "a", 0x303},  // ã
    {0x00E4, "{\\\"a}", "a", 0x308},  // ä
    {0x00E5, "{\\aa}", "aa", 0x30A},  // å
    {0x00E6, "{\\ae}", "ae"},  // æ
    {0x00E7, "{\\c{c}}", "c", 0x327},  // ç
    {0x00E8, "{\\`e}", "e", 0x300},  // è
    {0x00E9, "{\\'e}", "e", 0x301},  // é
    {0x00EA, "{\\^e}", "e", 0x302},  // ê
    {0x00EB, "{\\\"e}", "e", 0x308},  // ë
    {0x00EC, "{\\`i}", "i", 0x300},  // ì
    {0x00ED, "{\\'i}", "i", 0x301},  // í
    {0x00EE, "{\\^i}", "i", 0x302},  // î
    {0x00EF, "{\\\"i}", "i", 0x308},  // ï
    {0x00F0, "{\\dh}", ""},  // ð
    {0x00F1, "{\\~n}", "n", 0x303},  // ñ
    {0x00F2, "{\\`o}", "o", 0x300},  // ò
    {0x00F3, "{\\'o}", "o", 0x301},  // ó
    {0x00F4, "{\\^o}", "o", 0x302},  // ô
    {0x00F5, "{\\~o}", "o", 0x303},  // õ
    {0x00F6, "{\\\"o}", "o", 0x308},  // ö
    {0x00F7, "{\\textdiv}", ""},  // ÷
    {0x00F8, "{\\o}", "o"},  // ø
    {0x00F9, "{\\`u}", "u", 0x300},  // ù
    {0x00FA, "{\\'u}", "u", 0x301},  // ú
    {0x00FB, "{\\^u}", "u", 0x302},  // û
    {0x00FC, "{\\\"u}", "u", 0x308},  // ü
    {0x00FD, "{\\'y}", "y", 0x301},  // ý
    {0x00FE, "{\\th}", ""},  // þ
    {0x00FF, "{\\\"y}", "y", 0x308},  // ÿ
    {0x0100, "{\\=A}", "A", 0x304},  // Ā
    {0x0101, "{\\=a}", "a", 0x304},  // ā
    {0x0102, "{\\u{A}}", "A", 0x306},  // Ă
    {0x0103, "{\\u{a}}", "a", 0x306},  // ă
    {0x0104, "{\\k{A}}", "A", 0x328},  // Ą
    {0x0105, "{\\k{a}}", "a", 0x328},  // ą
    {0x0106, "{\\'C}", "C", 0x301},  // Ć
    {0x0107, "{\\'c}", "c", 0x301},  // ć
    {0x0108, "{\\^C}", "C", 0x302},  // Ĉ
    {0x0109, "{\\^c}", "c", 0x302},  // ĉ
    {0x010A, "{\\.C}", "C", 0x307},  // Ċ
    {0x010B, "{\\.c}", "c", 0x307},  // ċ
    {0x010C, "{\\v{C}}", "C", 0x30C},  // Č
    {0x010D, "{\\v{c}}", "c", 0x30C},  // č
    {0x010E, "{\\v{D}}", "D", 0x30C},  // Ď
    {0x010F, "{\\v{d}}", "d", 0x30C},  // ď
    {0x0110, "{\\DJ}", "D"},  // Đ
    {0x0111, "{\\dj}", "d"},  // đ
    {0x0112, "{\\=E}", "E", 0x304},  // Ē
    {0x0113, "{\\=e}", "e", 0x304},  // ē
    {0x0114, "{\\u{E}}", "E", 0x306},  // Ĕ
    {0x0115, "{\\u{e}}", "e", 0x306},  // ĕ
    {0x0116, "{\\.E}", "E", 0x307},  // Ė
    {0x0117, "{\\.e}", "e", 0x307},  // ė
    {0x0118, "{\\k{E}}", "E", 0x328},  // Ę
    {0x0119, "{\\k{e}}", "e", 0x328},  // ę
    {0x011A, "{\\v{E}}", "E", 0x30C},  // Ě
    {0x011B, "{\\v{e}}", "e", 0x30C},  // ě
    {0x011C, "{\\^G}", "G", 0x302},  // Ĝ
    {0x011D, "{\\^g}", "g", 0x302},  // ĝ
    {0x011E, "{\\u{G}}", "G", 0x306},  // Ğ
    {0x011F, "{\\u{g}}", "g", 0x306},  // ğ
    {0x0120, "{\\.G}", "G", 0x307},  // Ġ
    {0x0121, "{\\.g}", "g", 0x307},  // ġ
    {0x0122, "{\\c{G}}", "G", 0x327},  // Ģ
    {0x0123, "{\\c{g}}", "g", 0x327},  // ģ
    {0x0124, "{\\^H}", "H", 0x302},  // Ĥ
    {0x0125, "{\\^h}", "h", 0x302},  // ĥ
    {0x0126, "", "H"},  // Ħ: no TeX form
    {0x0127, "", "h"},  // ħ: no TeX form
    {0x0128, "{\\~I}", "I", 0x303},  // Ĩ
    {0x0129, "{\\~i}", "i", 0x303},  // ĩ
    {0x012A, "{\\=I}", "I", 0x304},  // Ī
    {0x012B, "{\\=i}", "i", 0x304},  // ī
    {0x012C, "{\\u{I}}", "I", 0x306},  // Ĭ
    {0x012D, "{\\u{i}}", "i", 0x306},  // ĭ
    {0x012E, "{\\k{I}}", "I", 0x328},  // Į
    {0x012F, "{\\k{i}}", "i", 0x328},  // į
    {0x0130, "{\\.I}", "I", 0x307},  // İ
    {0x0131, "{\\i}", "i"},  // ı
    {0x0132, "{\\IJ}", "IJ"},  // Ĳ
    {0x0133, "{\\ij}", "ij"},  // ĳ
    {0x0134, "{\\^J}", "J", 0x302},  // Ĵ
    {0x0135, "{\\^j}", "j", 0x302},  // ĵ
    {0x0136, "{\\c{K}}", "K", 0x327},  // Ķ
    {0x0137, "{\\c{k}}", "k", 0x327},  // ķ
    {0x0138, "", "k"},  // ĸ: no TeX form
    {0x0139, "{\\'L}", "L", 0x301},  // Ĺ
    {0x013A, "{\\'l}", "l", 0x301},  // ĺ
    {0x013B, "{\\c{L}}", "L", 0x327},  // Ļ
    {0x013C, "{\\c{l}}", "l", 0x327},  // ļ
    {0x013D, "{\\v{L}}", "L", 0x30C},  // Ľ
    {0x013E, "{\\v{l}}", "l", 0x30C},  // ľ
    {0x013F, "", "L"},  // Ŀ: no TeX form
    {0x0140, "", "l"},  // ŀ: no TeX form
    {0x0141, "{\\L}", "L"},  // Ł
    {0x0142, "{\\l}", "l"},  // ł
    {0x0143, "{\\'N}", "N", 0x301},  // Ń
    {0x0144, "{\\'n}", "n", 0x301},  // ń
    {0x0145, "{\\c{N}}", "N", 0x327},  // Ņ
    {0x0146, "{\\c{n}}", "n", 0x327},  // ņ
    {0x0147, "{\\v{N}}", "N", 0x30C},  // Ň
    {0x0148, "{\\v{n}}", "n", 0x30C},  // ň
    {0x0149, "", "n"},  // ŉ: no TeX form
    {0x014A, "{\\NG}", "NG"},  // Ŋ
    {0x014B, "{\\ng}", "ng"},  // ŋ
    {0x014C, "{\\=O}", "O", 0x304},  // Ō
    {0x014D, "{\\=o}", "o", 0x304},  // ō
    {0x014E, "{\\u{O}}", "O", 0x306},  // Ŏ
    {0x014F, "{\\u{o}}", "o", 0x306},  // ŏ
    {0x0150, "{\\H{O}}", "O", 0x30B},  // Ő
    {0x0151, "{\\H{o}}", "o", 0x30B},  // ő
    {0x0152, "{\\OE}", "OE"},  // Œ
    {0x0153, "{\\oe}", "oe"},  // œ
    {0x0154, "{\\'R}", "R", 0x301},  // Ŕ
    {0x0155, "{\\'r}", "r", 0x301},  // ŕ
    {0x0156, "{\\c{R}}", "R", 0x327},  // Ŗ
    {0x0157, "{\\c{r}}", "r", 0x327},  // ŗ
    {0x0158, "{\\v{R}}", "R", 0x30C},  // Ř
    {0x0159, "{\\v{r}}", "r", 0x30C},  // ř
    {0x015A, "{\\'S}", "S", 0x301},  // Ś
    {0x015B, "{\\'s}", "s", 0x301},  // ś
    {0x015C, "{\\^S}", "S", 0x302},  // Ŝ
    {0x015D, "{\\^s}", "s", 0x302},  // ŝ
    {0x015E, "{\\c{S}}", "S", 0x327},  // Ş
    {0x015F, "{\\c{s}}", "s", 0x327},  // ş
    {0x0160, "{\\v{S}}", "S", 0x30C},  // Š
    {0x0161, "{\\v{s}}", "s", 0x30C},  // š
    {0x0162, "{\\c{T}}", "T", 0x327},  // Ţ
    {0x0163, "{\\c{t}}", "t", 0x327},  // ţ
    {0x0164, "{\\v{T}}", "T", 0x30C},  // Ť
    {0x0165, "{\\v{t}}", "t", 0x30C},  // ť
    {0x0166, "", "T"},  // Ŧ: no TeX form
    {0x0167, "", "t"},  // ŧ: no TeX form
    {0x0168, "{\\~U}", "U", 0x303},  // Ũ
    {0x0169, "{\\~u}", "u", 0x303},  // ũ
    {0x016A, "{\\=U}", "U", 0x304},  // Ū
    {0x016B, "{\\=u}", "u", 0x304},  // ū
    {0x016C, "{\\u{U}}", "U", 0x306},  // Ŭ
    {0x016D, "{\\u{u}}", "u", 0x306},  // ŭ
    {0x016E, "{\\r{U}}", "U", 0x30A},  // Ů
    {0x016F, "{\\r{u}}", "u", 0x30A},  // ů
    {0x0170, "{\\H{U}}", "U", 0x30B},  // Ű
    {0x0171, "{\\H{u}}", "u", 0x30B},  // ű
    {0x0172, "{\\k{U}}", "U", 0x328},  // Ų
    {0x0173, "{\\k{u}}", "u", 0x328},  // ų
    {0x0174, "{\\^W}", "W", 0x302},  // Ŵ
    {0x0175, "{\\^w}", "w", 0x302},  // ŵ
    {0x0176, "{\\^Y}", "Y", 0x302},  // Ŷ
    {0x0177, "{\\^y}", "y", 0x302},  // ŷ
    {0x0178, "{\\\"Y}", "Y", 0x308},  // Ÿ
    {0x0179, "{\\'Z}", "Z", 0x301},  // Ź
    {0x017A, "{\\'z}", "z", 0x301},  // ź
    {0x017B, "{\\.Z}", "Z", 0x307},  // Ż
    {0x017C, "{\\.z}", "z", 0x307},  // ż
    {0x017D, "{\\v{Z}}", "Z", 0x30C},  // Ž
    {0x017E, "{\\v{z}}", "z", 0x30C},  // ž
    {0x017F, "", "s"},  // ſ: no TeX form
    {0x0192, "{\\textflorin}", ""},  // ƒ
    {0x02C6, "{\\textasciicircum}", ""},  // ˆ
    {0x02DC, "{\\textasciitilde}", ""},  // ˜
    {0x0393, "{\\ensuremath{\\Gamma}}", ""},  // Γ
    {0x0398, "{\\ensuremath{\\Theta}}", ""},  // Θ
    {0x03A3, "{\\ensuremath{\\Sigma}}", ""},  // Σ
    {0x03A6, "{\\ensuremath{\\Phi}}", ""},  // Φ
    {0x03A9, "{\\ensuremath{\\Omega}}", ""},  // Ω
    {0x03B1, "{\\ensuremath{\\alpha}}", ""},  // α
    {0x03B4, "{\\ensuremath{\\delta}}", ""},  // δ
    {0x03B5, "{\\ensuremath{\\varepsilon}}", ""},  // ε
    {0x03C0, "{\\ensuremath{\\pi}}", ""},  // π
    {0x03C3, "{\\ensuremath{\\sigma}}", ""},  // σ
    {0x03C4, "{\\ensuremath{\\tau}}", ""},  // τ
    {0x03C6, "{\\ensuremath{\\phi}}", ""},  // φ
    {0x2013, "--", ""},  // en dash
    {0x2014, "---", ""},  // em dash
    {0x2018, "`", ""},  // ‘
    {0x2019, "'", ""},  // ’
    {0x201A, "{\\quotesinglbase}", ""},  // ‚
    {0x201C, "``", ""},  // “
    {0x201D, "''", ""},  // ”
    {0x201E, "{\\quotedblbase}", ""},  // „
    {0x2020, "{\\dag}", ""},  // †
    {0x2021, "{\\ddag}", ""},  // ‡
    {0x2022, "{\\textbullet}", ""},  // •
    {0x2026, "{\\dots}", ""},  // …
    {0x2030, "{\\textperthousand}", ""},  // ‰
    {0x2039, "{\\guilsinglleft}", ""},  // ‹
    {0x203A, "{\\guilsinglright}", ""},  // ›
    {0x207F, "{\\textsuperscript{n}}", ""},  // ⁿ
    {0x20A7, "Pts", ""},  // ₧
    {0x20AC, "{\\texteuro}", ""},  // €
    {0x2122, "{\\texttrademark}", ""},  // ™
    {0x2219, "{\\ensuremath{\\cdot}}", ""},  // ∙
    {0x221A, "{\\ensuremath{\\surd}}", ""},  // √
    {0x221E, "{\\ensuremath{\\infty}}", ""},  // ∞
    {0x2229, "{\\ensuremath{\\cap}}", ""},  // ∩
    {0x2248, "{\\ensuremath{\\approx}}", ""},  // ≈
    {0x2261, "{\\ensuremath{\\equiv}}", ""},  // ≡
    {0x2264, "{\\ensuremath{\\le}}", ""},  // ≤
    {0x2265, "{\\ensuremath{\\ge}}", ""},  // ≥
    {0x2310, "{\\textlnot}", ""},  // ⌐
    {0x2320, " ", ""},  // ⌠ (integral's upper half, a drawing piece)
    {0x2321, " ", ""},  // ⌡
    {0x25A0, " ", ""},  // ■
}};
