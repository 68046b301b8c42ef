// Citation keys that are never empty and never repeat. BibTeX compares keys
// without regard to letter case and keeps only the first entry with a key;
// btparse and biber refuse an empty one.
//
// A record asks for the cleaned text of its KUR; for an empty one "KART" and
// the cleaned LNR, or "KART" and its entry number when that is empty too. The
// first entry that asks for a key gets it; a later one gets that key with the
// smallest suffix "-2", "-3", ... that no record asks for and no entry has.
//
// An export on disk is read twice. The first reading notes each record's key
// lines as the export has them (each different text once) and a fingerprint
// of them; the keys are made from those texts only when that reading is
// over, so that the export's code page, which decides how its bytes read,
// is known first.
// The second reading checks every record against the first, so that an
// export changed in between is noticed instead of giving two entries one key.
// An export read once (a pipe) knows the keys asked for so far.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/translate.h"

// Byte strings, each held once, numbered from 0 in the order they came.
// Two texts are the same only when their bytes are; a hash only finds them.
// The texts lie in blocks of 64 KiB: the set grows without copying them, and
// a set drained block by block gives its memory to the next one.
class TextSet {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  using Hash = std::uint64_t (*)(std::string_view text);

  explicit TextSet(Hash hash) : hash_(hash) {}
  // Room for `count` texts without growing the index.
  void reserve(std::size_t count);
  std::uint32_t find(std::string_view text) const;
  // The number of `text`, added when it was not there; `hash` is hash()'s
  // of it, where the caller has it already.
  std::uint32_t add(std::string_view text);
  std::uint32_t add(std::string_view text, std::uint64_t hash);
  std::string_view at(std::uint32_t number) const;
  std::size_t size() const { return starts_.size(); }
  Hash hash() const { return hash_; }

  // Frees what finds the texts; at() and find() no longer work.
  void dropIndex();
  // Calls `visit` with every text in the order of their numbers, freeing
  // each block when its texts are done; the set is empty afterwards.
  template <typename Visit>
  void drain(Visit visit);

 private:
  static constexpr std::size_t kBlockBits = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

  std::size_t slotOf(std::string_view text, std::uint64_t hash) const;
  void grow(std::size_t slots);
  static std::string_view textAt(const std::string& block, std::size_t offset);

  Hash hash_;
  // Each text after its length in two bytes; a text never spans two blocks.
  std::vector<std::string> blocks_;
  std::vector<std::uint32_t> starts_;  // block number and offset of each text
  // Open addressing: the hash's high half and the text's number plus one;
  // 0 is a free slot.
  std::vector<std::uint64_t> slots_;
};

template <typename Visit>
void TextSet::drain(Visit visit) {
  dropIndex();
  for (std::string& block : blocks_) {
    for (std::size_t offset = 0; offset < block.size();) {
      std::string_view text = textAt(block, offset);
      visit(text);
      offset += 2 + text.size();
    }
    std::string().swap(block);
  }
  std::vector<std::string>().swap(blocks_);
}

std::uint64_t hashText(std::string_view text);

// A record's KUR and LNR lines as they stand in the export, and how many of
// their first bytes every reading of an unchanged export gives alike (a
// reading by bytes stops after 255 bytes, one by characters of UTF-8 may
// keep more). The LNR line is given where mayGiveEmptyKey(key).
struct KeyLines {
  std::string_view key;
  std::string_view number;
  std::size_t keyShared = 0;
  std::size_t numberShared = 0;
};

// Why a record of the second reading is not the record the first one saw.
enum class Rereading { kSame, kChanged };

class EntryKeys {
 public:
  explicit EntryKeys(TextSet::Hash hash = hashText) : sources_(hash), keys_(hash) {}

  // The first reading: the KUR and LNR lines of record `entryNumber` (from
  // 1).
  void noteRecord(const KeyLines& lines, std::uint64_t entryNumber);
  // Ends the first reading: makes every record's key from the lines noted,
  // read in `page`.
  void makeKeys(CodePage page);
  bool readTwice() const { return made_; }
  std::uint64_t recordsNoted() const { return fingerprints_.size(); }
  // An export read once is read in `page` from its start.
  void readOnceIn(CodePage page) { page_ = page; }

  // The second reading (or the only one): the key of entry `entryNumber`
  // (from 1), whose KUR and LNR lines are `lines`. kChanged where the export
  // is no longer what the first reading saw; `key` is then not to be used.
  Rereading giveKey(const KeyLines& lines, std::uint64_t entryNumber, std::string& key);

  // The entries whose key is not their cleaned KUR (empty or repeated).
  std::uint64_t renamed() const { return renamed_; }

 private:
  void takeKey(std::uint32_t number, std::string& key);
  // Notes `lower` as a key a record asks for; its number.
  std::uint32_t askFor(std::string_view lower);
  bool maybeSuffixLike(std::string_view lower) const;
  bool isGivenSuffix(std::string_view lower) const;

  // The first reading's texts: a KUR line, or that line and what follows it
  // where it may give no key (see keySource).
  TextSet sources_;
  std::vector<std::uint32_t> fingerprints_;  // a record's text, hashed
  // A record's text's number, then (after makeKeys) its key's number.
  std::vector<std::uint32_t> recordKeys_;
  bool made_ = false;

  // Every key a record asks for, in lower case, and what is known of it. A
  // key given with a suffix is not kept: what a suffix must not meet is
  // told by the key it extends (see takeKey).
  TextSet keys_;
  std::vector<std::uint32_t> info_;
  // One bit per hash of the keys asked for that end like a suffix ("-2"),
  // so that a new suffix mostly needs no look at the table.
  std::array<std::uint64_t, 64> suffixLike_{};
  std::uint64_t renamed_ = 0;
  CodePage page_ = CodePage::kTable;
  std::string source_;
  std::string shared_;
  std::string key_;
  std::string letters_;
  std::string lower_;
};
