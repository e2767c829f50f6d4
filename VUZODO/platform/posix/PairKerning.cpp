#include "PairKerning.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace vuzodo::platform::posix {
namespace {

// Big-endian reads that never leave the table: a read past the end yields 0
// and marks the view bad, so a damaged table gives fewer pairs, never a crash.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint16_t U16(size_t at) {
    if (at > data_.size() || data_.size() - at < 2) return Fail();
    return static_cast<std::uint16_t>(data_[at] << 8 | data_[at + 1]);
  }
  std::int16_t S16(size_t at) { return static_cast<std::int16_t>(U16(at)); }
  std::uint32_t U32(size_t at) { return static_cast<std::uint32_t>(U16(at)) << 16 | U16(at + 2); }
  bool ok() const { return ok_; }
  size_t size() const { return data_.size(); }

 private:
  std::uint16_t Fail() {
    ok_ = false;
    return 0;
  }
  std::span<const std::uint8_t> data_;
  bool ok_ = true;
};

constexpr std::uint32_t Tag(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
         static_cast<std::uint32_t>(c) << 8 | static_cast<std::uint32_t>(d);
}

// Binary search of `count` range records (start glyph, end glyph, a value:
// 6 bytes each, sorted by start) beginning at `first`, shared by coverage
// and class definition tables of format 2. Returns the offset of the record
// whose range holds `glyph`, or 0 when none does (no record starts at 0).
size_t RangeRecord(Reader& r, size_t first, std::uint16_t count, std::uint16_t glyph) {
  int lo = 0, hi = count - 1;
  while (lo <= hi && r.ok()) {
    const int mid = (lo + hi) / 2;
    const size_t rec = first + 6 * static_cast<size_t>(mid);
    const std::uint16_t start = r.U16(rec), end = r.U16(rec + 2);
    if (glyph < start)
      hi = mid - 1;
    else if (glyph > end)
      lo = mid + 1;
    else
      return rec;
  }
  return 0;
}

// Coverage table: glyph -> coverage index, or -1.
int CoverageIndex(Reader& r, size_t at, std::uint16_t glyph) {
  const std::uint16_t format = r.U16(at);
  const std::uint16_t count = r.U16(at + 2);
  if (format == 1) {
    // Sorted glyph array: binary search.
    int lo = 0, hi = count - 1;
    while (lo <= hi && r.ok()) {
      const int mid = (lo + hi) / 2;
      const std::uint16_t g = r.U16(at + 4 + 2 * static_cast<size_t>(mid));
      if (g == glyph) return mid;
      if (g < glyph)
        lo = mid + 1;
      else
        hi = mid - 1;
    }
  } else if (format == 2) {
    if (const size_t rec = RangeRecord(r, at + 4, count, glyph)) {
      return r.U16(rec + 4) + (glyph - r.U16(rec));
    }
  }
  return -1;
}

// Class definition table: glyph -> class (0 when not listed).
std::uint16_t ClassOf(Reader& r, size_t at, std::uint16_t glyph) {
  const std::uint16_t format = r.U16(at);
  if (format == 1) {
    const std::uint16_t start = r.U16(at + 2), count = r.U16(at + 4);
    if (glyph >= start && glyph - start < count) return r.U16(at + 6 + 2 * (glyph - start));
  } else if (format == 2) {
    if (const size_t rec = RangeRecord(r, at + 4, r.U16(at + 2), glyph)) return r.U16(rec + 4);
  }
  return 0;
}

// Bytes of a value record of this format, and the offset of its x advance
// inside it (-1 when the record carries none).
size_t ValueSize(std::uint16_t format) {
  return 2 * std::popcount(format & 0xFFu);
}
int XAdvanceOffset(std::uint16_t format) {
  if (!(format & 0x0004)) return -1;
  return 2 * std::popcount(format & 0x0003u);
}

using PairKey = std::uint32_t;  // left << 16 | right
PairKey Key(std::uint16_t l, std::uint16_t r) {
  return static_cast<PairKey>(l) << 16 | r;
}

// What one lookup has decided so far. A pair is decided by the first subtable
// of the lookup that covers it: a format 1 subtable covers the pairs it lists,
// a format 2 subtable every pair whose first glyph is in its coverage (even
// with a zero value), so later subtables of the lookup never see them.
struct LookupState {
  explicit LookupState(size_t glyph_count) : left_done(glyph_count, false) {}
  std::vector<bool> left_done;               // by position in the glyph list
  std::unordered_map<PairKey, bool> listed;  // pairs decided by format 1 subtables
  std::vector<GlyphKern> amounts;            // decided pairs with a nonzero amount
};

// One pair adjustment subtable over the glyphs of interest (sorted).
void ReadPairSubtable(Reader& r, size_t at, const std::vector<std::uint16_t>& glyphs,
                      LookupState& state) {
  const std::uint16_t format = r.U16(at);
  const size_t coverage = at + r.U16(at + 2);
  const std::uint16_t vf1 = r.U16(at + 4), vf2 = r.U16(at + 6);
  const size_t v1 = ValueSize(vf1), v2 = ValueSize(vf2);
  const int xadv = XAdvanceOffset(vf1);
  if (!r.ok()) return;
  if (format == 1) {
    const std::uint16_t set_count = r.U16(at + 8);
    for (size_t i = 0; i < glyphs.size() && r.ok(); ++i) {
      const std::uint16_t left = glyphs[i];
      if (state.left_done[i]) continue;
      const int index = CoverageIndex(r, coverage, left);
      if (index < 0 || index >= set_count) continue;
      const size_t set = at + r.U16(at + 10 + 2 * static_cast<size_t>(index));
      const std::uint16_t count = r.U16(set);
      const size_t rec_size = 2 + v1 + v2;
      for (std::uint16_t k = 0; k < count && r.ok(); ++k) {
        const size_t rec = set + 2 + rec_size * k;
        const std::uint16_t right = r.U16(rec);
        if (!std::binary_search(glyphs.begin(), glyphs.end(), right)) continue;
        if (!state.listed.try_emplace(Key(left, right), true).second) continue;
        const std::int32_t amount = xadv < 0 ? 0 : r.S16(rec + 2 + static_cast<size_t>(xadv));
        if (amount != 0) state.amounts.push_back({left, right, amount});
      }
    }
  } else if (format == 2) {
    const size_t class_def1 = at + r.U16(at + 8), class_def2 = at + r.U16(at + 10);
    const std::uint16_t class1_count = r.U16(at + 12), class2_count = r.U16(at + 14);
    if (!r.ok()) return;
    std::vector<std::uint16_t> class2(glyphs.size());
    for (size_t j = 0; j < glyphs.size(); ++j) class2[j] = ClassOf(r, class_def2, glyphs[j]);
    const size_t rec_size = v1 + v2;
    std::vector<std::int32_t> row(class2_count);
    for (size_t i = 0; i < glyphs.size() && r.ok(); ++i) {
      const std::uint16_t left = glyphs[i];
      if (state.left_done[i] || CoverageIndex(r, coverage, left) < 0) continue;
      const std::uint16_t c1 = ClassOf(r, class_def1, left);
      if (c1 >= class1_count) continue;
      state.left_done[i] = true;
      if (xadv < 0) continue;
      for (std::uint16_t c2 = 0; c2 < class2_count; ++c2) {
        const size_t rec = at + 16 + (static_cast<size_t>(c1) * class2_count + c2) * rec_size;
        row[c2] = r.S16(rec + static_cast<size_t>(xadv));
      }
      for (size_t j = 0; j < glyphs.size(); ++j) {
        if (class2[j] >= class2_count || row[class2[j]] == 0) continue;
        if (!state.listed.empty() && state.listed.count(Key(left, glyphs[j]))) continue;
        state.amounts.push_back({left, glyphs[j], row[class2[j]]});
      }
    }
  }
}

// Lookup indices of the kern features of the chosen script's default language.
std::vector<std::uint16_t> KernLookups(Reader& r) {
  const size_t script_list = r.U16(4), feature_list = r.U16(6);
  const std::uint16_t feature_count = r.U16(feature_list);
  auto is_kern = [&](std::uint16_t feature) {
    return feature < feature_count &&
           r.U32(feature_list + 2 + 6 * static_cast<size_t>(feature)) == Tag('k', 'e', 'r', 'n');
  };
  std::vector<std::uint16_t> features;
  const std::uint16_t script_count = r.U16(script_list);
  for (std::uint32_t wanted : {Tag('l', 'a', 't', 'n'), Tag('D', 'F', 'L', 'T')}) {
    for (std::uint16_t s = 0; s < script_count && r.ok() && features.empty(); ++s) {
      const size_t rec = script_list + 2 + 6 * static_cast<size_t>(s);
      if (r.U32(rec) != wanted) continue;
      const size_t script = script_list + r.U16(rec + 4);
      const std::uint16_t lang_off = r.U16(script);
      if (lang_off == 0) continue;
      const size_t lang = script + lang_off;
      const std::uint16_t count = r.U16(lang + 4);
      for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        const std::uint16_t feature = r.U16(lang + 6 + 2 * static_cast<size_t>(i));
        if (is_kern(feature)) features.push_back(feature);
      }
    }
    if (!features.empty()) break;
  }
  if (features.empty()) {
    for (std::uint16_t f = 0; f < feature_count && r.ok(); ++f) {
      if (is_kern(f)) features.push_back(f);
    }
  }
  // A shaper applies each lookup once, in lookup list order. A hostile font may list one
  // feature, or features sharing one lookup table, thousands of times: each table is read
  // once and each lookup marked once, so neither time nor memory grows with the repeats (a
  // list of every repeat took a gigabyte).
  std::vector<bool> table_read(65536), used(65536);
  for (std::uint16_t f : features) {
    const std::uint16_t offset = r.U16(feature_list + 2 + 6 * static_cast<size_t>(f) + 4);
    if (table_read[offset]) continue;
    table_read[offset] = true;
    const size_t table = feature_list + offset;
    const std::uint16_t count = r.U16(table + 2);
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
      used[r.U16(table + 4 + 2 * static_cast<size_t>(i))] = true;
    }
  }
  std::vector<std::uint16_t> lookups;
  for (std::size_t l = 0; l < used.size(); ++l) {
    if (used[l]) lookups.push_back(static_cast<std::uint16_t>(l));
  }
  return lookups;
}

}  // namespace

std::vector<GlyphKern> ReadKernTable(std::span<const std::uint8_t> kern) {
  Reader r(kern);
  std::vector<GlyphKern> pairs;
  if (r.U16(0) != 0) return pairs;  // the 32-bit versioned layout is not read
  const std::uint16_t tables = r.U16(2);
  size_t at = 4;
  for (std::uint16_t t = 0; t < tables && r.ok(); ++t) {
    const std::uint16_t length = r.U16(at + 2);
    const std::uint16_t coverage = r.U16(at + 4);
    // Format 0 (high byte), horizontal (bit 0), not minimum (bit 1), not
    // cross-stream (bit 2).
    if ((coverage >> 8) == 0 && (coverage & 0x7) == 0x1) {
      const std::uint16_t count = r.U16(at + 6);
      for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        const size_t rec = at + 14 + 6 * static_cast<size_t>(i);
        GlyphKern k{r.U16(rec), r.U16(rec + 2), r.S16(rec + 4)};
        if (r.ok()) pairs.push_back(k);
      }
    }
    if (length < 6) break;  // a damaged length would loop in place
    at += length;
  }
  return pairs;
}

std::vector<GlyphKern> ReadGposKerning(std::span<const std::uint8_t> gpos,
                                       const std::vector<std::uint16_t>& glyphs_in) {
  Reader r(gpos);
  std::vector<GlyphKern> result;
  if (r.U16(0) != 1 || !r.ok()) return result;
  std::vector<std::uint16_t> glyphs = glyphs_in;
  std::sort(glyphs.begin(), glyphs.end());
  glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());

  const size_t lookup_list = r.U16(8);
  const std::uint16_t lookup_count = r.U16(lookup_list);
  std::vector<GlyphKern> all;
  for (std::uint16_t index : KernLookups(r)) {
    if (index >= lookup_count || !r.ok()) continue;
    const size_t lookup = lookup_list + r.U16(lookup_list + 2 + 2 * static_cast<size_t>(index));
    const std::uint16_t type = r.U16(lookup);
    const std::uint16_t count = r.U16(lookup + 4);
    LookupState state(glyphs.size());
    for (std::uint16_t s = 0; s < count && r.ok(); ++s) {
      size_t sub = lookup + r.U16(lookup + 6 + 2 * static_cast<size_t>(s));
      std::uint16_t sub_type = type;
      if (type == 9) {  // extension: the real subtable lies at a 32-bit offset
        sub_type = r.U16(sub + 2);
        sub += r.U32(sub + 4);
      }
      if (sub_type == 2 && r.ok()) ReadPairSubtable(r, sub, glyphs, state);
    }
    all.insert(all.end(), state.amounts.begin(), state.amounts.end());
  }
  if (!r.ok()) return {};
  // Lookups add up: merge equal pairs, drop those that cancel out.
  std::sort(all.begin(), all.end(), [](const GlyphKern& a, const GlyphKern& b) {
    return Key(a.left, a.right) < Key(b.left, b.right);
  });
  for (const GlyphKern& k : all) {
    if (!result.empty() && result.back().left == k.left && result.back().right == k.right) {
      result.back().amount += k.amount;
    } else {
      result.push_back(k);
    }
  }
  std::erase_if(result, [](const GlyphKern& k) { return k.amount == 0; });
  return result;
}

}  // namespace vuzodo::platform::posix
