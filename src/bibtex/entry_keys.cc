#include "bibtex/entry_keys.h"

#include <algorithm>
#include <charconv>

#include "bibtex/bibtex.h"
#include "convert/translate.h"

std::string EntryKey;

std::uint64_t hashText(std::string_view text) {
  // FNV-1a, then the final mix of MurmurHash3, which spreads keys that differ
  // only at the end (Mueller90-2, Mueller90-3) over the whole table.
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

namespace {

constexpr std::uint64_t kTagBits = 0xFFFFFFFF00000000ull;

// The low half of the hash scaled to the table: no division.
std::size_t homeOf(std::uint64_t hash, std::size_t capacity) {
  return static_cast<std::size_t>(((hash & 0xFFFFFFFFu) * capacity) >> 32);
}

}  // namespace

std::size_t TextSet::slotOf(std::string_view text, std::uint64_t hash) const {
  std::size_t capacity = slots_.size();
  std::uint64_t tag = hash & kTagBits;
  for (std::size_t i = homeOf(hash, capacity);; i = i + 1 == capacity ? 0 : i + 1) {
    std::uint64_t slot = slots_[i];
    if (slot == 0) return i;
    if ((slot & kTagBits) == tag && at(static_cast<std::uint32_t>(slot) - 1) == text) return i;
  }
}

void TextSet::grow(std::size_t capacity) {
  slots_.assign(capacity, 0);
  for (std::uint32_t n = 0; n < size(); ++n) {
    std::uint64_t hash = hash_(at(n));
    slots_[slotOf(at(n), hash)] = (hash & kTagBits) | (n + 1);
  }
}

void TextSet::reserve(std::size_t count) {
  // At most three quarters full, so that a search stays short.
  std::size_t capacity = count + count / 3 + 16;
  if (capacity > slots_.size()) grow(capacity);
  ends_.reserve(count);
}

std::uint32_t TextSet::find(std::string_view text) const {
  if (slots_.empty()) return kNone;
  std::uint64_t slot = slots_[slotOf(text, hash_(text))];
  return slot == 0 ? kNone : static_cast<std::uint32_t>(slot) - 1;
}

std::uint32_t TextSet::add(std::string_view text) {
  if ((size() + 1) * 4 > slots_.size() * 3) grow(slots_.size() * 2 + 16);
  std::uint64_t hash = hash_(text);
  std::uint64_t& slot = slots_[slotOf(text, hash)];
  if (slot != 0) return static_cast<std::uint32_t>(slot) - 1;
  auto number = static_cast<std::uint32_t>(size());
  bytes_.append(text);
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  slot = (hash & kTagBits) | (number + 1);
  return number;
}

namespace {

// What a record's key is made of, as the export has it: its KUR; for a KUR
// that gives no key, its LNR; for an LNR that gives none either, its entry
// number. A letter tells which, so that a KUR and an LNR of the same text
// stay apart.
void keySource(std::string_view keyValue, std::string_view numberValue,
               std::uint64_t entryNumber, std::string& source) {
  source.clear();
  if (!givesEmptyKey(keyValue)) {
    source += 'K';
    source += keyValue;
  } else if (!givesEmptyKey(numberValue)) {
    source += 'L';
    source += numberValue;
  } else {
    source += 'N';
    source += std::to_string(entryNumber);
  }
}

// The key that `source` gives, its values translated as `translate` does.
std::string keyOfSource(std::string_view source) {
  std::string_view value = source.substr(1);
  if (source[0] == 'N') return "KART" + std::string(value);
  std::string translated;
  translateInto(value, translated);
  std::string key = citationKey(translated);
  return source[0] == 'L' ? "KART" + key : key;
}

void lowerCaseInto(std::string_view text, std::string& lower) {
  lower.assign(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

// A key's state: asked for by a record, given to an entry, and for a key
// that repeats, the last suffix given to it, so that a repeat does not try
// every suffix before it again (those were refused or given, and stay so).
constexpr std::uint32_t kAsked = 1u << 31;
constexpr std::uint32_t kGiven = 1u << 30;
constexpr std::uint32_t kLastSuffix = kGiven - 1;

std::uint32_t fingerprintOf(std::string_view source, TextSet::Hash hash) {
  return static_cast<std::uint32_t>(hash(source) >> 32);
}

}  // namespace

void EntryKeys::noteRecord(std::string_view keyValue, std::string_view numberValue,
                           std::uint64_t entryNumber) {
  keySource(keyValue, numberValue, entryNumber, scratch_);
  fingerprints_.push_back(fingerprintOf(scratch_, sources_.hash()));
  recordKeys_.push_back(sources_.add(scratch_));
}

void EntryKeys::makeKeys() {
  keys_.reserve(sources_.size());
  std::vector<std::uint32_t> keyOf(sources_.size());
  for (std::uint32_t n = 0; n < sources_.size(); ++n) {
    lowerCaseInto(keyOfSource(sources_.at(n)), scratch_);
    keyOf[n] = keys_.add(scratch_);
  }
  sources_ = TextSet(sources_.hash());
  info_.assign(keys_.size(), kAsked);
  for (std::uint32_t& key : recordKeys_) key = keyOf[key];
  made_ = true;
}

Rereading EntryKeys::giveKey(std::string_view keyValue, std::string_view numberValue,
                             std::string_view translatedKey, std::string_view translatedNumber,
                             std::uint64_t entryNumber, std::string& key) {
  key = citationKey(translatedKey);
  bool renamed = key.empty();
  if (renamed) {
    key = citationKey(translatedNumber);
    key.insert(0, "KART");
    if (key.size() == 4) key += std::to_string(entryNumber);
  }
  std::uint32_t number;
  if (made_) {
    // The record must be the one the first reading saw at this place.
    if (entryNumber > recordKeys_.size()) return Rereading::kChanged;
    keySource(keyValue, numberValue, entryNumber, scratch_);
    if (fingerprintOf(scratch_, keys_.hash()) != fingerprints_[entryNumber - 1]) {
      return Rereading::kChanged;
    }
    number = recordKeys_[entryNumber - 1];
  } else {
    // Read once: the key is known from now on.
    lowerCaseInto(key, scratch_);
    number = keys_.add(scratch_);
    if (number == info_.size()) info_.push_back(0);
    info_[number] |= kAsked;
  }
  std::size_t length = key.size();
  takeKey(number, key);
  if (renamed || key.size() != length) ++renamed_;
  return Rereading::kSame;
}

// The entry's key is key number `number`, whose text (in any letter case) is
// `key`. The first entry gets it; a later one gets it with the smallest
// suffix that no record asks for and no entry has, appended to `key`.
void EntryKeys::takeKey(std::uint32_t number, std::string& key) {
  if ((info_[number] & kGiven) == 0) {
    info_[number] |= kGiven;
    return;
  }
  std::uint32_t suffix = std::max<std::uint32_t>(info_[number] & kLastSuffix, 1);
  char text[16];
  text[0] = '-';
  std::string_view tail;
  std::string& candidate = scratch_;
  do {
    tail = std::string_view(text, std::to_chars(text + 1, text + sizeof text, ++suffix).ptr);
    candidate.assign(keys_.at(number));
    candidate += tail;
  } while (keys_.find(candidate) != TextSet::kNone);
  info_[number] = (info_[number] & ~kLastSuffix) | suffix;
  key += tail;
  keys_.add(candidate);
  info_.push_back(kGiven);
}
