#include "bibtex/entry_keys.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "bibtex/bibtex.h"

std::uint64_t hashText(std::string_view text) {
  // Eight bytes at a time, then the final mix of MurmurHash3, which spreads
  // keys that differ only at the end (Mueller90-2, Mueller90-3) over the
  // whole table.
  constexpr std::uint64_t kMultiplier = 0xff51afd7ed558ccdull;
  std::uint64_t h = text.size() * 0x9E3779B97F4A7C15ull;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    h = (h ^ word) * kMultiplier;
    h ^= h >> 29;
  }
  std::uint64_t rest = 0;
  std::memcpy(&rest, text.data() + i, text.size() - i);
  h = (h ^ rest) * kMultiplier;
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

std::string_view TextSet::textAt(const std::string& block, std::size_t offset) {
  auto size = static_cast<std::size_t>(static_cast<unsigned char>(block[offset]) |
                                       static_cast<unsigned char>(block[offset + 1]) << 8);
  return std::string_view(block).substr(offset + 2, size);
}

std::string_view TextSet::at(std::uint32_t number) const {
  std::uint32_t start = starts_[number];
  return textAt(blocks_[start >> kBlockBits], start & (kBlockSize - 1));
}

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
  // The slots are made anew from the texts, so the old ones go first: the
  // two never take memory at once.
  std::vector<std::uint64_t>().swap(slots_);
  slots_.assign(capacity, 0);
  // The texts are all different: each takes the first free slot from its
  // home.
  for (std::uint32_t n = 0; n < size(); ++n) {
    std::uint64_t hash = hash_(at(n));
    std::size_t i = homeOf(hash, capacity);
    while (slots_[i] != 0) i = i + 1 == capacity ? 0 : i + 1;
    slots_[i] = (hash & kTagBits) | (n + 1);
  }
}

void TextSet::reserve(std::size_t count) {
  // At most three quarters full, so that a search stays short.
  std::size_t capacity = count + count / 3 + 16;
  if (capacity > slots_.size()) grow(capacity);
  starts_.reserve(count);
}

void TextSet::dropIndex() {
  // Swapped with empty ones: assigning {} would keep the memory.
  std::vector<std::uint64_t>().swap(slots_);
  std::vector<std::uint32_t>().swap(starts_);
}

std::uint32_t TextSet::find(std::string_view text) const {
  if (slots_.empty()) return kNone;
  std::uint64_t slot = slots_[slotOf(text, hash_(text))];
  return slot == 0 ? kNone : static_cast<std::uint32_t>(slot) - 1;
}

std::uint32_t TextSet::add(std::string_view text) { return add(text, hash_(text)); }

std::uint32_t TextSet::add(std::string_view text, std::uint64_t hash) {
  if ((size() + 1) * 4 > slots_.size() * 3) grow(slots_.size() * 2 + 16);
  std::uint64_t& slot = slots_[slotOf(text, hash)];
  if (slot != 0) return static_cast<std::uint32_t>(slot) - 1;
  // A key is made of at most a few hundred characters of one value.
  std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
  if (blocks_.empty() || blocks_.back().size() + 2 + length > kBlockSize) {
    blocks_.emplace_back().reserve(kBlockSize);
  }
  std::string& block = blocks_.back();
  auto number = static_cast<std::uint32_t>(size());
  starts_.push_back(static_cast<std::uint32_t>((blocks_.size() - 1) << kBlockBits | block.size()));
  block += static_cast<char>(length & 0xFF);
  block += static_cast<char>(length >> 8);
  block.append(text.substr(0, length));
  slot = (hash & kTagBits) | (number + 1);
  return number;
}

namespace {

// What a record's key is made of, as the export has it: its KUR line; for
// a KUR that may give no key (in some code page), that line, its LNR line
// and, for an LNR that may give none either, its entry number, each after a
// line feed, which no line holds, so that the two kinds never meet. With
// `shared`, only the part of each line that every reading gives alike: what
// the fingerprint is taken of. A KUR line alone is given as it stands.
std::string_view keySource(const KeyLines& lines, std::uint64_t entryNumber, bool shared,
                           std::string& source) {
  std::string_view key = lines.key.substr(0, shared ? lines.keyShared : lines.key.size());
  if (!mayGiveEmptyKey(lines.key)) return key;
  source.assign(key);
  source += '\n';
  source += lines.number.substr(0, shared ? lines.numberShared : lines.number.size());
  if (mayGiveEmptyKey(lines.number)) {
    source += '\n';
    source += std::to_string(entryNumber);
  }
  return source;
}

// The key of a line where isOwnKeyLine(line): its value, which starts after
// the tag, the colon and the blank.
std::string_view ownKeyOf(std::string_view line) { return line.substr(5); }

// Whether every reading gives the lines whole.
bool wholeAlike(const KeyLines& lines) {
  return lines.keyShared >= lines.key.size() && lines.numberShared >= lines.number.size();
}

// The record's fingerprint.
std::uint32_t fingerprintOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

// The key that `source` gives read in `page`, in its own letter case, built
// with `letters` as scratch; false where it is not the KUR's own (the KUR
// gave none).
bool makeKey(std::string_view source, CodePage page, std::string& key, std::string& letters) {
  auto value = [&](std::string_view line) {
    line = cutLine(line, page);
    return line.substr(valueStart(line, page));
  };
  std::size_t numberAt = std::min(source.find('\n'), source.size());
  keyOfValueInto(value(source.substr(0, numberAt)), page, key, letters);
  if (!key.empty() || numberAt == source.size()) return true;
  std::string_view rest = source.substr(numberAt + 1);
  std::size_t entryAt = std::min(rest.find('\n'), rest.size());
  keyOfValueInto(value(rest.substr(0, entryAt)), page, key, letters);
  key.insert(0, "KART");
  if (key.size() == 4) key += rest.substr(entryAt + 1);
  return false;
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

// A key with a suffix is "-" and a number from 2, without a leading zero,
// after the key it extends: that key, and the number in `suffix`; or the
// whole of `key` where it has no such end.
std::string_view splitSuffix(std::string_view key, std::uint32_t& suffix) {
  suffix = 0;
  std::size_t dash = key.rfind('-');
  std::string_view digits = dash == std::string_view::npos ? std::string_view() : key.substr(dash + 1);
  if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return key;
  }
  std::from_chars(digits.data(), digits.data() + digits.size(), suffix);
  return suffix < 2 ? key : key.substr(0, dash);
}

// In the first reading, a record's number in recordKeys_ that is already its
// key's number, not its text's.
constexpr std::uint32_t kKeyNumber = 1u << 31;
}  // namespace

void EntryKeys::noteRecord(const KeyLines& lines, std::uint64_t entryNumber) {
  std::string_view source = keySource(lines, entryNumber, false, source_);
  bool whole = wholeAlike(lines);
  std::uint64_t hash = sources_.hash()(whole ? source : keySource(lines, entryNumber, true, shared_));
  fingerprints_.push_back(fingerprintOf(hash));
  // Most keys are typed as keys: they read alike in every code page, and
  // are known at once. The others wait until the export's code page is.
  if (isOwnKeyLine(lines.key)) {
    lowerCaseInto(ownKeyOf(lines.key), lower_);
    recordKeys_.push_back(askFor(lower_) | kKeyNumber);
    return;
  }
  recordKeys_.push_back(whole ? sources_.add(source, hash) : sources_.add(source));
}

void EntryKeys::makeKeys(CodePage page) {
  page_ = page;
  std::size_t sources = sources_.size();
  sources_.dropIndex();
  keys_.reserve(keys_.size() + sources);
  info_.reserve(keys_.size() + sources);
  std::vector<std::uint32_t> keyOfSource;
  keyOfSource.reserve(sources);
  sources_.drain([&](std::string_view source) {
    makeKey(source, page, key_, letters_);
    lowerCaseInto(key_, lower_);
    keyOfSource.push_back(askFor(lower_));
  });
  for (std::uint32_t& key : recordKeys_) key = (key & kKeyNumber) != 0 ? key & ~kKeyNumber : keyOfSource[key];
  made_ = true;
}

Rereading EntryKeys::giveKey(const KeyLines& lines, std::uint64_t entryNumber, std::string& key) {
  std::string_view source = keySource(lines, entryNumber, false, source_);
  bool renamed = false;
  if (isOwnKeyLine(lines.key)) {
    key.assign(ownKeyOf(lines.key));
  } else {
    renamed = !makeKey(source, page_, key, letters_);
  }
  std::uint32_t number;
  if (made_) {
    // The record must be the one the first reading saw at this place; then
    // it asks for the key that reading found for it.
    if (entryNumber > fingerprints_.size()) return Rereading::kChanged;
    if (!wholeAlike(lines)) source = keySource(lines, entryNumber, true, shared_);
    if (fingerprintOf(sources_.hash()(source)) != fingerprints_[entryNumber - 1]) return Rereading::kChanged;
    number = recordKeys_[entryNumber - 1];
  } else {
    // Read once: the key is known as asked for from here on. One that an
    // earlier entry got as its key with a suffix is given already.
    lowerCaseInto(key, lower_);
    std::size_t known = keys_.size();
    number = askFor(lower_);
    if (number == known && isGivenSuffix(lower_)) info_[number] |= kGiven;
  }
  std::size_t length = key.size();
  takeKey(number, key);
  if (renamed || key.size() != length) ++renamed_;
  return Rereading::kSame;
}


std::uint32_t EntryKeys::askFor(std::string_view lower) {
  std::uint32_t number = keys_.add(lower);
  if (number == info_.size()) {
    info_.push_back(kAsked);
    std::uint32_t suffix = 0;
    if (splitSuffix(lower, suffix).size() != lower.size()) {
      std::uint64_t bit = keys_.hash()(lower) % (suffixLike_.size() * 64);
      suffixLike_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
  }
  return number;
}

bool EntryKeys::maybeSuffixLike(std::string_view lower) const {
  std::uint64_t bit = keys_.hash()(lower) % (suffixLike_.size() * 64);
  return (suffixLike_[bit / 64] >> (bit % 64) & 1) != 0;
}

// An earlier entry got `lower` as its key with a suffix where the key it
// extends has given that suffix or a later one: each suffix up to its last
// was either asked for by a record (and so known, which `lower` was not
// until now) or given.
bool EntryKeys::isGivenSuffix(std::string_view lower) const {
  std::uint32_t suffix = 0;
  std::string_view base = splitSuffix(lower, suffix);
  if (base.size() == lower.size()) return false;
  std::uint32_t number = keys_.find(base);
  return number != TextSet::kNone && (info_[number] & kLastSuffix) >= suffix;
}

// The entry's key is key number `number`, `key` in any letter case. The
// first entry that asks for it gets it; a later one gets it with the
// smallest suffix that no record asks for and no entry has, appended to
// `key`. The suffix is decided here, as the entry is written, alike for an
// export read twice and one read once.
void EntryKeys::takeKey(std::uint32_t number, std::string& key) {
  if ((info_[number] & kGiven) == 0) {
    info_[number] |= kGiven;
    return;
  }
  std::uint32_t suffix = std::max<std::uint32_t>(info_[number] & kLastSuffix, 1);
  char text[16];
  text[0] = '-';
  std::string_view tail;
  // The entry's key is that key's text, in its own letter case.
  lowerCaseInto(key, lower_);
  std::size_t length = lower_.size();
  // A key that is there is asked for or given; the first one that is not
  // is added, given.
  // A suffix is refused where a record asks for that key (few keys look
  // like a key with a suffix: most suffixes need no look at the table). No
  // entry has it: the suffixes of one key only grow, and another key's
  // suffixes end in their own number after their own key.
  do {
    tail = std::string_view(text, std::to_chars(text + 1, text + sizeof text, ++suffix).ptr);
    lower_.resize(length);
    lower_ += tail;
  } while (maybeSuffixLike(lower_) && keys_.find(lower_) != TextSet::kNone);
  info_[number] = (info_[number] & ~kLastSuffix) | suffix;
  key += tail;
}
