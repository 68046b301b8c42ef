// The console bytes of a run, as the end-to-end tests expect them: code page
// 437 text, every line ending in CR LF.
#pragma once

#include <cstddef>
#include <string>

inline const std::string kBanner = "Zettelwandel KART-Konverter V1.7.0\r\n";

inline const std::string kUsage =
    "Ungueltige Anzahl von Parametern\r\n"
    "Aufruf: kartconv KART-File BibTeX-File [Nr2Note]\r\n"
    "DOS-Programm: 8+3-Notation fuer Dateien beachten!\r\n";

// The whole console of a run that wrote `entries` entries: one dot each, the
// count as the 16-bit counter shows it, the count of keys given anew when
// there are any, then `closing` (the Nr2Note line).
inline std::string consoleOfRun(std::size_t entries, const std::string& closing = "",
                                std::size_t renamedKeys = 0, const std::string& codePageLine = "") {
  std::string renamed;
  if (renamedKeys != 0) {
    renamed = std::to_string(renamedKeys) + " Schl\x81ssel neu vergeben (leer oder doppelt)\r\n";
  }
  return kBanner + "Lese ersten Eintrag...\r\nAnalysiere Struktur...\r\n" + codePageLine + "Schreibe Eintraege " +
         std::string(entries, '.') + "\r\n" + std::to_string(entries % 65536) +
         " Eintr\x84ge geschrieben\r\n" + renamed + closing;
}
