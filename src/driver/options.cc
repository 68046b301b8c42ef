#include "driver/options.h"

CommandLine parseCommandLine(const std::vector<std::string>& words) {
  CommandLine line;
  bool options = true;
  for (const std::string& word : words) {
    if (!options || !word.starts_with("--")) {
      line.words.push_back(word);
    } else if (word == "--") {
      options = false;
    } else if (word == "--help") {
      line.help = true;
    } else if (word == "--version") {
      line.version = true;
    } else if (word.starts_with("--encoding=")) {
      std::string name = word.substr(11);
      CodePage page;
      if (codePageNamed(name, page)) {
        line.encoding = page;
      } else if (line.unknownEncoding.empty()) {
        line.unknownEncoding = name;
      }
    } else if (line.unknownOption.empty()) {
      line.unknownOption = word;
    }
  }
  return line;
}

const char* const kHelpText =
    "Aufruf: kartconv KART-File BibTeX-File [Nr2Note]\r\n"
    "DOS-Programm: 8+3-Notation fuer Dateien beachten!\r\n"
    "\r\n"
    "Optionen (irgendwo unter den Woertern; \"--\" allein beendet sie):\r\n"
    "  --encoding=NAME  Zeichensatz der KART-Datei: cp437, latin1, cp1252, utf8\r\n"
    "                   oder table (die gemischte Tabelle fuer Dateien mit\r\n"
    "                   beiden 8-Bit-Zeichensaetzen). Ohne die Option\r\n"
    "                   entscheidet das Programm nach den Bytes der Datei.\r\n"
    "  --help           zeigt diese Hilfe\r\n"
    "  --version        zeigt die Versionszeile\r\n"
    "\r\n"
    "Exitcodes:\r\n"
    "  0      alle Eintraege geschrieben\r\n"
    "  5      Ein-/Ausgabefehler mit der Fehlernummer 8 oder 9\r\n"
    "  7      KART-Datei und BibTeX-Datei sind dieselbe Datei\r\n"
    "  8      KART-Datei existiert nicht\r\n"
    "  9      falscher Aufruf\r\n"
    "  11     KART-Datei waehrend des Laufs geaendert: noch einmal versuchen\r\n"
    "  N      Fehlernummer N des Systems (\"Runtime error N at ...\")\r\n"
    "  128+N  durch Signal N beendet\r\n";
