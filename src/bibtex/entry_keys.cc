// Citation keys that are never empty and never repeat. BibTeX compares keys
// without regard to letter case and keeps only the first entry with a key;
// btparse and biber refuse an empty one.
//
// Keys are kept as 64-bit hashes of their lower-case form, with two flags in
// the low bits, in one open addressing table. With every record's key known
// before the first entry is written, that is some ten bytes a record,
// however long the keys are.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "bibtex/bibtex.h"
#include "reader/reader.h"

std::string EntryKey;
std::uint64_t RenamedKeyCount = 0;

namespace {

constexpr std::uint64_t kInExport = 1;  // a record of the export asks for the key
constexpr std::uint64_t kTaken = 2;     // an entry written so far has it
constexpr std::uint64_t kFlags = kInExport | kTaken;

std::vector<std::uint64_t> KeyTable;  // 0: a free slot
std::size_t KeysUsed = 0;

// The first pass's keys, in blocks so that collecting them never copies.
std::vector<std::vector<std::uint64_t>> CollectedKeys;
constexpr std::size_t kBlock = 8192;

// For keys repeated many times, the last suffix given, so that each repeat
// does not try every suffix before it again.
std::unordered_map<std::uint64_t, std::uint32_t> LastSuffix;
constexpr std::uint32_t kTriesBeforeNoting = 8;

// The hash of the lower-case key, its two low bits left free for the flags.
std::uint64_t keyHash(std::string_view key) {
  std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
  for (char c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  }
  // The final mix of MurmurHash3 spreads keys that differ only at the end
  // (Mueller90-2, Mueller90-3) over the table.
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  h &= ~kFlags;
  return h != 0 ? h : kFlags + 1;
}

std::size_t slotOf(const std::vector<std::uint64_t>& table, std::uint64_t hash) {
  std::size_t capacity = table.size();
  std::size_t i = static_cast<std::size_t>((hash >> 2) % capacity);
  while (table[i] != 0 && (table[i] & ~kFlags) != hash) i = i + 1 == capacity ? 0 : i + 1;
  return i;
}

void resizeTable(std::size_t capacity) {
  std::vector<std::uint64_t> bigger(capacity, 0);
  for (std::uint64_t entry : KeyTable) {
    if (entry != 0) bigger[slotOf(bigger, entry & ~kFlags)] = entry;
  }
  KeyTable = std::move(bigger);
}

// The slot of the key's hash, added without flags when it was not there.
std::size_t findOrAdd(std::uint64_t hash) {
  // At most four fifths full, so that probing stays short.
  if ((KeysUsed + 1) * 5 > KeyTable.size() * 4) resizeTable(KeyTable.size() * 2 + 1024);
  std::size_t slot = slotOf(KeyTable, hash);
  if (KeyTable[slot] == 0) {
    KeyTable[slot] = hash;
    ++KeysUsed;
  }
  return slot;
}

bool isKnown(std::uint64_t hash) {
  return KeyTable.size() != 0 && (KeyTable[slotOf(KeyTable, hash)] & kFlags) != 0;
}

}  // namespace

void resetEntryKeys() {
  KeyTable = {};
  KeysUsed = 0;
  CollectedKeys = {};
  LastSuffix = {};
  EntryKey.clear();
  RenamedKeyCount = 0;
}

namespace {

// The key for an empty KUR: "KART" and the running number, or the entry's
// number in the file when that is empty too.
std::string kartKey(std::uint64_t entryNumber) {
  std::string number = citationKey(fieldValue(LNR));
  return "KART" + (number.empty() ? std::to_string(entryNumber) : number);
}

}  // namespace

std::string recordKey(std::uint64_t entryNumber) {
  std::string key = citationKey(fieldValue(KUR));
  return key.empty() ? kartKey(entryNumber) : key;
}

void collectExportKey(std::uint64_t entryNumber) {
  if (CollectedKeys.empty() || CollectedKeys.back().size() == kBlock) {
    CollectedKeys.emplace_back().reserve(kBlock);
  }
  CollectedKeys.back().push_back(keyHash(recordKey(entryNumber)));
}

void endCollectingKeys() {
  std::size_t records = 0;
  for (const auto& block : CollectedKeys) records += block.size();
  // Every entry adds at most one key to the table: its own the first time,
  // a suffixed one when it repeats an earlier entry's key.
  resizeTable(records + records / 4 + 1024);
  for (auto& block : CollectedKeys) {
    for (std::uint64_t hash : block) KeyTable[findOrAdd(hash)] |= kInExport;
    block = {};
  }
  CollectedKeys = {};
}

void giveEntryKey(std::uint64_t entryNumber) {
  std::string key = citationKey(fieldValue(KUR));
  bool renamed = key.empty();
  if (renamed) key = kartKey(entryNumber);
  std::uint64_t hash = keyHash(key);
  std::size_t slot = findOrAdd(hash);
  // An export read only once (a pipe) makes its keys known as it goes.
  if ((KeyTable[slot] & kTaken) == 0) {
    KeyTable[slot] |= kTaken | kInExport;
    EntryKey = std::move(key);
    if (renamed) ++RenamedKeyCount;
    return;
  }
  // A repeat: the smallest suffix from 2 on that gives a key no record asks
  // for and no entry has. Suffixes below the last one given to this key were
  // refused or given before, and stay so.
  auto noted = LastSuffix.find(hash);
  std::uint32_t first = noted == LastSuffix.end() ? 2 : noted->second + 1;
  std::uint32_t suffix = first;
  std::string candidate = key + "-" + std::to_string(suffix);
  std::uint64_t candidateHash = keyHash(candidate);
  while (isKnown(candidateHash)) {
    ++suffix;
    candidate = key + "-" + std::to_string(suffix);
    candidateHash = keyHash(candidate);
  }
  if (noted != LastSuffix.end()) {
    noted->second = suffix;
  } else if (suffix - first >= kTriesBeforeNoting) {
    LastSuffix.emplace(hash, suffix);
  }
  KeyTable[findOrAdd(candidateHash)] |= kTaken;
  EntryKey = std::move(candidate);
  ++RenamedKeyCount;
}
