// Citation keys that are never empty and never repeat. BibTeX compares keys
// without regard to letter case and keeps only the first entry with a key;
// btparse and biber refuse an empty one.
//
// Keys are kept as 64-bit hashes of their lower-case form in one open
// addressing table of 12-byte slots, however long the keys are. With every
// record's key known before the first entry is written, the table holds the
// records' keys alone (some 16 bytes a record) and each entry's suffix is
// decided before the first is written (8 bytes a record); an export read
// once (a pipe) fills the table with every key given, growing it as needed.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <charconv>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "platform/platform.h"
#include "reader/reader.h"

std::string EntryKey;
std::uint64_t RenamedKeyCount = 0;

namespace {

// An array of `T`, all bytes zero at first, in memory from the system: the
// key tables are large and filled in no order, and the system can back such
// memory with large pages.
template <typename T>
class ZeroedArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ZeroedArray() = default;
  explicit ZeroedArray(std::size_t size)
      : data_(static_cast<T*>(std::calloc(size, sizeof(T)))), size_(size) {
    if (data_ == nullptr) throw std::bad_alloc();
  }
  ZeroedArray(ZeroedArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  ZeroedArray& operator=(ZeroedArray&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~ZeroedArray() { std::free(data_); }

  std::size_t size() const { return size_; }
  T* data() { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

struct KeySlot {
  std::uint32_t hashHigh = 0;  // hash 0: a free slot
  std::uint32_t hashLow = 0;
  // Two flags, and for a key that repeats the last suffix given to it, so
  // that a repeat does not try every suffix before it again.
  std::uint32_t info = 0;
};
constexpr std::uint32_t kInExport = 1u << 31;  // a record of the export asks for the key
constexpr std::uint32_t kTaken = 1u << 30;     // an entry written so far has it
constexpr std::uint32_t kLastSuffix = kTaken - 1;

ZeroedArray<KeySlot> KeyTable;
std::size_t KeysUsed = 0;

// The first pass's keys as FNV states (see below), in blocks so that
// collecting them never copies. endCollectingKeys turns each into what its
// entry gets: 0 for the key it asks for, else the suffix number.
std::vector<ZeroedArray<std::uint64_t>> CollectedKeys;
// The first block is small, so that a short export (and the fuzzer, which
// converts many) takes no 2 MiB block; the later ones are 2 MiB each.
constexpr std::size_t kFirstBlock = 8192;
constexpr std::size_t kBlock = 262144;

// The collected entry `i` (from 0).
std::uint64_t& collectedAt(std::size_t i) {
  if (i < kFirstBlock) return CollectedKeys[0][i];
  i -= kFirstBlock;
  return CollectedKeys[1 + i / kBlock][i % kBlock];
}
std::size_t CollectedCount = 0;
bool KeysCollected = false;
// How many of the collected keys end in "-" and digits, as a repeat's key
// with its suffix does. With none, no suffix can meet a record's key.
std::size_t SuffixLikeKeys = 0;

// FNV-1a over the lower-case key, continued from `h`: a suffix is hashed on
// from the state of the key it extends.
constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;
std::uint64_t fnvStep(std::uint64_t h, char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return (h ^ static_cast<unsigned char>(c)) * kFnvPrime;
}
std::uint64_t fnv(std::uint64_t h, std::string_view text) {
  for (char c : text) h = fnvStep(h, c);
  return h;
}

// The table's hash of a key with FNV state `h`, its two low bits left free
// for the flags. The final mix of MurmurHash3 spreads keys that differ only
// at the end (Mueller90-2, Mueller90-3) over the table.
std::uint64_t finish(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h != 0 ? h : 1;
}

bool holds(const KeySlot& slot, std::uint64_t hash) {
  return slot.hashHigh == static_cast<std::uint32_t>(hash >> 32) &&
         slot.hashLow == static_cast<std::uint32_t>(hash);
}

bool isFree(const KeySlot& slot) { return slot.hashHigh == 0 && slot.hashLow == 0; }

// The high half of the hash scaled to the table: no division.
std::size_t homeOf(std::size_t capacity, std::uint64_t hash) {
  return static_cast<std::size_t>(((hash >> 32) * capacity) >> 32);
}

std::size_t slotOf(const ZeroedArray<KeySlot>& table, std::uint64_t hash) {
  std::size_t capacity = table.size();
  std::size_t i = homeOf(capacity, hash);
  while (!isFree(table[i]) && !holds(table[i], hash)) i = i + 1 == capacity ? 0 : i + 1;
  return i;
}

std::uint64_t hashOf(const KeySlot& slot) {
  return (static_cast<std::uint64_t>(slot.hashHigh) << 32) | slot.hashLow;
}

void resizeTable(std::size_t capacity) {
  ZeroedArray<KeySlot> bigger(capacity);
  for (const KeySlot& slot : KeyTable) {
    if (!isFree(slot)) bigger[slotOf(bigger, hashOf(slot))] = slot;
  }
  KeyTable = std::move(bigger);
}

// The slot of the key's hash, added without flags when it was not there.
KeySlot& findOrAdd(std::uint64_t hash) {
  // At most three quarters full, so that the search for a free suffix stays
  // short.
  if ((KeysUsed + 1) * 4 > KeyTable.size() * 3) resizeTable(KeyTable.size() * 2 + 1024);
  KeySlot& slot = KeyTable[slotOf(KeyTable, hash)];
  if (isFree(slot)) {
    slot.hashHigh = static_cast<std::uint32_t>(hash >> 32);
    slot.hashLow = static_cast<std::uint32_t>(hash);
    ++KeysUsed;
  }
  return slot;
}

bool isKnown(std::uint64_t hash) {
  return KeyTable.size() != 0 && (KeyTable[slotOf(KeyTable, hash)].info & (kInExport | kTaken)) != 0;
}

}  // namespace

void resetEntryKeys() {
  KeyTable = ZeroedArray<KeySlot>();
  KeysUsed = 0;
  CollectedKeys.clear();
  CollectedCount = 0;
  KeysCollected = false;
  SuffixLikeKeys = 0;
  EntryKey.clear();
  RenamedKeyCount = 0;
}

namespace {

// The key for an empty KUR: "KART" and the running number (translated
// `lnr`), or the entry's number in the file when that is empty too.
std::string kartKey(std::string_view lnr, std::uint64_t entryNumber) {
  std::string number = citationKey(lnr);
  std::string key = "KART";
  key += number.empty() ? std::to_string(entryNumber) : number;
  return key;
}

// Notes the key of the next collected entry, and whether it ends in "-" and
// at least one digit.
void collectKey(std::string_view key) {
  std::uint64_t h = kFnvStart;
  std::size_t digits = 0;
  char beforeDigits = 0;
  for (char c : key) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      digits = 0;
      beforeDigits = c;
    }
    h = fnvStep(h, c);
  }
  collectedAt(CollectedCount) = h;
  ++CollectedCount;
  if (digits != 0 && beforeDigits == '-') ++SuffixLikeKeys;
}

}  // namespace

void collectExportKey(std::uint64_t entryNumber) {
  if (CollectedCount == 0) CollectedKeys.emplace_back(kFirstBlock);
  if (CollectedCount >= kFirstBlock && (CollectedCount - kFirstBlock) % kBlock == 0) {
    CollectedKeys.emplace_back(kBlock);
  }
  // Most keys are read straight from the value as it stands; a typed accent
  // command or an empty key needs the translated values, as the entry
  // will have them.
  static std::string key;
  static std::string translated;
  if (!lowerKeyOfExportValue(fieldValue(KUR), key) || key.empty()) {
    translateInto(fieldValue(KUR), translated);
    key = citationKey(translated);
    if (key.empty()) {
      translateInto(fieldValue(LNR), translated);
      key = kartKey(translated, entryNumber);
    }
  }
  collectKey(key);
}

namespace {

// Asks the processor to fetch the slot where a search for `hash` begins, a
// few keys ahead of its use: the table is larger than the caches, and each
// key is one jump to an unforeseeable place in it.
void prefetchHome(std::uint64_t hash) {
#if defined(__GNUC__)
  __builtin_prefetch(&KeyTable[homeOf(KeyTable.size(), hash)]);
#else
  (void)hash;
#endif
}
constexpr std::size_t kAhead = 8;

// Calls `visit(state)` for every collected key in order, with the slot of
// the key `kAhead` places later already on its way.
template <typename Visit>
void forEachCollected(Visit visit) {
  std::size_t left = CollectedCount;
  for (ZeroedArray<std::uint64_t>& block : CollectedKeys) {
    std::size_t count = std::min(left, block.size());
    std::uint64_t* states = block.data();
    for (std::size_t i = 0; i < count; ++i) {
      if (i + kAhead < count && states[i + kAhead] != 0) prefetchHome(finish(states[i + kAhead]));
      visit(states[i]);
    }
    left -= count;
  }
}

// "-" and `suffix`, written into `buffer`: the text a repeated key gets.
std::string_view suffixText(std::uint64_t suffix, char (&buffer)[16]) {
  buffer[0] = '-';
  char* end = std::to_chars(buffer + 1, buffer + sizeof buffer, suffix).ptr;
  return {buffer, static_cast<std::size_t>(end - buffer)};
}

// The smallest suffix from 2 on that, appended to the key of FNV state
// `state` (held in the slot at `slotIndex`), gives a key no record asks for
// and no entry has; that key is noted as taken. Suffixes below the last one
// given to this key were refused or given before, and stay so. Returns its
// text, written into `buffer`.
std::string_view giveSuffix(std::uint64_t state, std::size_t slotIndex, char (&buffer)[16]) {
  std::uint32_t suffix = std::max<std::uint32_t>(KeyTable[slotIndex].info & kLastSuffix, 1);
  std::string_view tail;
  std::uint64_t candidateHash;
  do {
    tail = suffixText(++suffix, buffer);
    candidateHash = finish(fnv(state, tail));
  } while (isKnown(candidateHash));
  KeyTable[slotIndex].info = (KeyTable[slotIndex].info & ~kLastSuffix) | suffix;
  // Adding may move the table: the slot is not used after this.
  findOrAdd(candidateHash).info |= kTaken;
  return tail;
}

// One bit per hash of the export's keys, some eight bits a record: a suffix
// is mostly checked against this, which stays in the processor's cache,
// and only on a set bit against the table.
ZeroedArray<std::uint64_t> RecordKeyBits;

std::size_t recordKeyBit(std::uint64_t hash) {
  // The low half of the hash, as the table uses the high half.
  return static_cast<std::size_t>(((hash & 0xffffffffu) * (RecordKeyBits.size() * 64)) >> 32);
}

bool isRecordKey(std::uint64_t hash) {
  std::size_t bit = recordKeyBit(hash);
  if ((RecordKeyBits[bit / 64] >> (bit % 64) & 1) == 0) return false;
  const KeySlot& slot = KeyTable[slotOf(KeyTable, hash)];
  return (slot.info & kInExport) != 0;
}

// giveSuffix once every record's key is known. A suffixed key cannot be
// another entry's: what follows its last "-" is the number, so the key it
// extends is its own, and the suffixes of one key only grow. So the table
// holds only the records' keys, and a suffix is checked against those.
std::uint32_t giveCollectedSuffix(std::uint64_t state) {
  KeySlot& slot = KeyTable[slotOf(KeyTable, finish(state))];
  std::uint32_t suffix = std::max<std::uint32_t>(slot.info & kLastSuffix, 1);
  char buffer[16];
  while (isRecordKey(finish(fnv(state, suffixText(++suffix, buffer))))) {
  }
  slot.info = (slot.info & ~kLastSuffix) | suffix;
  return suffix;
}


// About how many different keys set the bits: each sets one of `bits` at
// random, so the share of bits left clear tells their number.
std::size_t estimatedKeys(std::size_t bits) {
  std::size_t clear = 0;
  for (std::uint64_t word : RecordKeyBits) clear += 64 - static_cast<std::size_t>(std::popcount(word));
  if (clear == 0) return bits;
  return static_cast<std::size_t>(-static_cast<double>(bits) *
                                  std::log(static_cast<double>(clear) / static_cast<double>(bits)));
}

}  // namespace

void endCollectingKeys() {
  RecordKeyBits = ZeroedArray<std::uint64_t>(CollectedCount / 8 + 1);
  for (std::size_t i = 0; i < CollectedCount; ++i) {
    std::size_t bit = recordKeyBit(finish(collectedAt(i)));
    RecordKeyBits[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
  // The table holds the different keys of the records, at most one a record:
  // sized for as many as the bits tell (a few more, and it grows if they were
  // more still), so that an export whose keys repeat much needs a small one,
  // which stays in the processor's cache.
  std::size_t keys = std::min(CollectedCount, estimatedKeys(RecordKeyBits.size() * 64) * 9 / 8);
  // Without suffixes to check, the bits have done their work.
  if (SuffixLikeKeys == 0) RecordKeyBits = ZeroedArray<std::uint64_t>();
  resizeTable(keys + keys / 3 + 1024);
  if (SuffixLikeKeys == 0) {
    // No record's key looks like a key with a suffix, so no suffix is ever
    // refused: each repeat takes the one after its key's last, and one
    // sweep in the order of the entries decides them all.
    forEachCollected([](std::uint64_t& state) {
      KeySlot& slot = findOrAdd(finish(state));
      if ((slot.info & kInExport) == 0) {
        slot.info |= kInExport;
        state = 0;
        return;
      }
      std::uint32_t suffix = std::max<std::uint32_t>(slot.info & kLastSuffix, 1) + 1;
      slot.info = (slot.info & ~kLastSuffix) | suffix;
      state = suffix;
    });
  } else {
    // Every record's key first; one that an earlier record asks for already
    // keeps its state, the others become 0: their entries keep their keys.
    forEachCollected([](std::uint64_t& state) {
      KeySlot& slot = findOrAdd(finish(state));
      if ((slot.info & kInExport) == 0) state = 0;
      slot.info |= kInExport;
    });
    // Then, in the order of the entries, each repeat's suffix.
    forEachCollected([](std::uint64_t& state) {
      if (state != 0) state = giveCollectedSuffix(state);
    });
  }
  RecordKeyBits = ZeroedArray<std::uint64_t>();
  KeysCollected = true;
}

void giveEntryKey(std::uint64_t entryNumber) {
  std::string key = citationKey(fieldValue(KUR));
  bool renamed = key.empty();
  if (renamed) key = kartKey(fieldValue(LNR), entryNumber);
  // Both passes count the same records; the check keeps a stray entry
  // number from reading past what the first pass noted.
  bool collected = KeysCollected && entryNumber <= CollectedCount;
  if (collected) {
    std::uint64_t suffix = collectedAt(entryNumber - 1);
    EntryKey = std::move(key);
    if (suffix != 0) {
      char buffer[16];
      EntryKey += suffixText(suffix, buffer);
      renamed = true;
    }
    if (renamed) ++RenamedKeyCount;
    return;
  }
  std::uint64_t state = fnv(kFnvStart, key);
  KeySlot& slot = findOrAdd(finish(state));
  // An export read only once (a pipe) makes its keys known as it goes. A
  // record the first pass did not see (the export grew in between) keeps its
  // key only where no record asks for it either: the first record that does
  // has it.
  if ((slot.info & (kTaken | kInExport)) == 0) {
    slot.info |= kTaken | kInExport;
    EntryKey = std::move(key);
    if (renamed) ++RenamedKeyCount;
    return;
  }
  char buffer[16];
  std::string_view tail = giveSuffix(state, static_cast<std::size_t>(&slot - KeyTable.data()), buffer);
  EntryKey = std::move(key);
  EntryKey += tail;
  ++RenamedKeyCount;
}
