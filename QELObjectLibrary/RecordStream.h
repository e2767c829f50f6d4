// A coordinate stream held as records: each record's code as one byte, its offsets as doubles.
//
// Read flat, a stream is the list of doubles code, offsets, code, offsets, ... (the codes 40, 41,
// 42 and 466 as doubles). Kept that way, a draw took 24 bytes of which 8 carried one of four
// codes, and a text's outline stream is the largest block a laid-out text holds: apart, a draw
// takes 17 bytes and the offsets stay the very doubles the writers computed. A record's length
// follows from its code (an arc has four offsets, every other record two), so that a position in
// the stream is a mark of (records, offsets) and its flat index is their sum.
#ifndef QELOBJECTLIBRARY_RECORDSTREAM_H
#define QELOBJECTLIBRARY_RECORDSTREAM_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

// A position in a stream: the records before it and the offsets they hold.
struct StreamMark {
  std::uint32_t records = 0;
  std::uint32_t values = 0;

  // The position in the flat list of doubles.
  std::size_t Flat() const { return std::size_t{records} + values; }
  friend bool operator==(const StreamMark&, const StreamMark&) = default;
  friend StreamMark operator+(StreamMark a, StreamMark b) {
    return {a.records + b.records, a.values + b.values};
  }
  friend StreamMark operator-(StreamMark a, StreamMark b) {
    return {a.records - b.records, a.values - b.values};
  }
};

// The record codes, as stored.
enum class RecordCode : std::uint8_t { kMove, kDraw, kArc, kDot };

// An allocator whose resize leaves new elements of a trivial type unset, so that a writer can
// make room for records and write them in place instead of zeroing the room first or copying
// them in from a buffer of its own.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <typename U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  // Only the construction without a value is replaced; the others go to std::construct_at.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
};

// Room for at least `needed` elements, grown by half at least, so that many small appends do
// not copy the list each time. The factor is 1.5, not 2: doubling left up to half of the largest
// block unused, with the old block alive beside the new while it grows.
template <typename List>
void GrowList(List& list, std::size_t needed) {
  if (needed > list.capacity()) {
    list.reserve(std::max(needed, list.capacity() + list.capacity() / 2));
  }
}

// The fields are public so that the lists a layout grows can be reserved, measured, shortened
// and swapped like the line's other lists; the methods keep codes and offsets in step.
struct RecordStream {
  std::vector<RecordCode, UnsetAllocator<RecordCode>> codes;
  std::vector<double, UnsetAllocator<double>> values;  // every record's offsets, drawing units

  // The code as the flat list holds it.
  static double CodeValue(RecordCode code) {
    constexpr double kValues[] = {40.0, 41.0, 42.0, 466.0};
    return kValues[static_cast<std::uint8_t>(code)];
  }
  // Offsets that follow a code.
  static std::size_t Operands(RecordCode code) { return code == RecordCode::kArc ? 4 : 2; }

  bool empty() const { return codes.empty(); }
  std::size_t Records() const { return codes.size(); }
  // Length of the flat list.
  std::size_t FlatSize() const { return codes.size() + values.size(); }
  StreamMark End() const {
    return {static_cast<std::uint32_t>(codes.size()), static_cast<std::uint32_t>(values.size())};
  }

  void clear() {
    codes.clear();
    values.clear();
  }
  // Back to an earlier end.
  void Truncate(StreamMark at) {
    codes.resize(std::min<std::size_t>(at.records, codes.size()));
    values.resize(std::min<std::size_t>(at.values, values.size()));
  }

  // Room for `records` more records of two offsets (see GrowList).
  void Grow(std::size_t records) {
    GrowList(codes, codes.size() + records);
    GrowList(values, values.size() + 2 * records);
  }

  // A move, draw or dot.
  void Put(RecordCode code, double dx, double dy) {
    codes.push_back(code);
    values.push_back(dx);
    values.push_back(dy);
  }
  void PutArc(double ex, double ey, double cx, double cy) {
    codes.push_back(RecordCode::kArc);
    values.insert(values.end(), {ex, ey, cx, cy});
  }
  // Room for `n` draws at the end: their codes set, their 2n offsets left for the caller to
  // write at the pointer returned.
  double* AddDraws(std::size_t n) {
    codes.resize(codes.size() + n, RecordCode::kDraw);
    values.resize(values.size() + 2 * n);
    return values.data() + values.size() - 2 * n;
  }

  // The records from `from` up to `to` of `other`, appended.
  void AppendRange(const RecordStream& other, StreamMark from, StreamMark to) {
    codes.insert(codes.end(), other.codes.begin() + from.records, other.codes.begin() + to.records);
    values.insert(values.end(), other.values.begin() + from.values,
                  other.values.begin() + to.values);
  }

  // A mark that lies in the stream: one past it in either part gives the end.
  StreamMark Clamp(StreamMark at) const {
    return at.records > codes.size() || at.values > values.size() ? End() : at;
  }

  // Calls f(code, offsets) for each record from `from` up to `to` (or the stream's end),
  // stopping where the offsets run out.
  template <typename F>
  void ForEach(StreamMark from, StreamMark to, F&& f) const {
    std::size_t v = from.values;
    const std::size_t last = std::min<std::size_t>(to.records, codes.size());
    for (std::size_t r = from.records; r < last; ++r) {
      const std::size_t n = Operands(codes[r]);
      if (v + n > values.size()) return;
      f(codes[r], values.data() + v);
      v += n;
    }
  }

  // The flat doubles from `from` up to `to`, appended to `out`.
  void AppendFlat(std::vector<double>& out, StreamMark from, StreamMark to) const {
    ForEach(from, to, [&out](RecordCode code, const double* v) {
      out.push_back(CodeValue(code));
      out.insert(out.end(), v, v + Operands(code));
    });
  }
  std::vector<double> Flat() const {
    std::vector<double> out;
    out.reserve(FlatSize());
    AppendFlat(out, {}, End());
    return out;
  }

  // The stream of a flat list (hand-written streams of tests and tools). Reading stops at a
  // value that is no code or at a record cut off by the end.
  static RecordStream FromFlat(std::initializer_list<double> flat) {
    return FromFlat(flat.begin(), flat.size());
  }
  static RecordStream FromFlat(const double* flat, std::size_t n) {
    RecordStream s;
    for (std::size_t p = 0; p < n;) {
      RecordCode code;
      if (flat[p] == 40.0) {
        code = RecordCode::kMove;
      } else if (flat[p] == 41.0) {
        code = RecordCode::kDraw;
      } else if (flat[p] == 42.0) {
        code = RecordCode::kArc;
      } else if (flat[p] == 466.0) {
        code = RecordCode::kDot;
      } else {
        break;
      }
      const std::size_t k = Operands(code);
      if (p + 1 + k > n) break;
      s.codes.push_back(code);
      s.values.insert(s.values.end(), flat + p + 1, flat + p + 1 + k);
      p += 1 + k;
    }
    return s;
  }
};

// Reads a stream's flat list by index, for the walks that step through it in fixed strides
// regardless of record lengths. Each read starts from the record of the read before, so reads
// that move little cost little.
class FlatReader {
 public:
  explicit FlatReader(const RecordStream& stream) : s_(stream) {}
  // Reading near a mark of the stream (one that Clamp gives back unchanged).
  FlatReader(const RecordStream& stream, StreamMark at)
      : s_(stream), record_(at.records), start_(at.Flat()), value_(at.values) {}

  std::size_t size() const { return s_.FlatSize(); }

  // The value at flat index p (below size()); 0 where a stream whose parts are out of step
  // holds nothing.
  double operator[](std::size_t p) {
    while (p < start_) {
      if (record_ == 0) return 0.0;
      --record_;
      const std::size_t n = RecordStream::Operands(s_.codes[record_]);
      start_ -= n + 1;
      value_ -= n;
    }
    for (;;) {
      if (record_ >= s_.codes.size()) return 0.0;
      const std::size_t n = RecordStream::Operands(s_.codes[record_]);
      if (p <= start_ + n) break;
      start_ += n + 1;
      value_ += n;
      ++record_;
    }
    if (p == start_) return RecordStream::CodeValue(s_.codes[record_]);
    const std::size_t v = value_ + (p - start_ - 1);
    return v < s_.values.size() ? s_.values[v] : 0.0;
  }

 private:
  const RecordStream& s_;
  std::size_t record_ = 0;  // the record that holds the last index read
  std::size_t start_ = 0;   // its flat index
  std::size_t value_ = 0;   // its first offset in `values`
};

#endif  // QELOBJECTLIBRARY_RECORDSTREAM_H
