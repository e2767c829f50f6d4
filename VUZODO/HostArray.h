// The int arrays handed to the host: how they are allocated and released, and how stream
// records (doubles) become their ints, each rounding residue carried on to the next record so
// that the integer pen never drifts from the exact one.
#pragma once

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include "Limits.h"
#include "Memory.h"
#include "RecordStream.h"

namespace vuzodo {

// Arrays handed to the host. One routine for every element type, so that
// either release export can free any of them; zero elements still give a
// distinct, releasable pointer.
template <typename T>
T* AllocateHostArray(size_t count) {
  T* data = static_cast<T*>(::operator new[](count * sizeof(T)));
  platform::AdviseLargeBlock(data, count * sizeof(T));
  return data;
}
inline void ReleaseHostArray(void* data) {
  ::operator delete[](data);
}

// Rounds half away from zero to an int; NaN gives 0 and values beyond the int
// range saturate, so no input can overflow the conversion. Inline, so that the
// chain of roundings below makes no call, around which every live double would
// be stored and reloaded.
inline int RoundHalfAway(double v) {
  if (std::isnan(v)) return 0;
  const double r = v >= 0.0 ? v + 0.5 : v - 0.5;
  if (r >= 2147483647.0) return 2147483647;
  if (r <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(r);
}

// The integer part, saturating like RoundHalfAway.
int TruncateToInt(double v);

// Converts a list of stream records into the host's int array, merging
// consecutive moves, dropping records that round to nothing and carrying the
// rounding residues so that the integer pen never drifts. Returns the array
// (ended by -1, allocated for the host) and stores the count including -1.
// An array that would hold more than `max_ints` ints (limits::kMaxOutputInts;
// tests pass less) is refused: the answer is the end mark alone (count 1). So
// are the whole-text and line arrays below.
int* ToIntArray(const std::vector<double>& list, int& count,
                std::size_t max_ints = limits::kMaxOutputInts);

// The answer that holds nothing: the end mark alone. Also the answer that would pass
// limits::kMaxOutputInts.
int* EndMarkOnly(int& count);

// Rounds with a carried residue: the fraction lost now is added next time.
//
// The residue makes every record wait for the one before it, so the time of a
// whole text is this chain's latency times its records. The usual case takes
// the nearest integer with the 1.5 x 2^52 trick (two adds, no conversion on the
// chain). It agrees with half-away-from-zero rounding of exact + 0.5 except
// near a half, where ties differ and exact + 0.5 may itself round up; those,
// large values and NaN take the plain route, so the results are the same bits.
// The trick needs every double operation rounded to 53 bits: on the x87 stack
// with the 64-bit mantissas many hosts set, the sum keeps eleven bits of
// fraction, nothing is rounded and every record is truncated instead (the
// 32-bit Windows build is therefore compiled for SSE2 arithmetic).
static_assert(
    FLT_EVAL_METHOD == 0 || FLT_EVAL_METHOD == 1,
    "RoundCarry needs double arithmetic in double precision (on i686: -msse2 -mfpmath=sse)");
inline int RoundCarry(double v, double& residue) {
  constexpr double kMagic = 6755399441055744.0;  // 1.5 x 2^52
  const double exact = residue + v;
  const double nearest = (exact + kMagic) - kMagic;
  const double fraction = exact - nearest;  // exact: both are within 2^51
  if (std::fabs(fraction) < 0.4999999 && std::fabs(exact) < 1e9) [[likely]] {
    residue = fraction;
    return static_cast<int>(nearest);
  }
  const int rounded = RoundHalfAway(exact);
  residue = exact - rounded;
  return rounded;
}

// Adds a merged move to a written one. Each part is already within the int range, but their sum
// need not be; it saturates as a single rounded value does.
inline void AddSaturating(int& target, int value) {
  const std::int64_t sum = static_cast<std::int64_t>(target) + value;
  target = static_cast<int>(std::clamp<std::int64_t>(sum, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// Writes stream records as host ints: consecutive moves merge, moves and
// draws that round to nothing are dropped (their fractions carry on in the
// residues), dots are always written. Residues carry from record to record
// and from stream to stream.
struct RecordWriter {
  int* out;
  size_t w = 0;
  double rx = 0.0, ry = 0.0;
  int previous = 41;
  size_t last_move = 0;  // where the dx of the last written move sits

  // Values one record takes: an arc has its centre after the end point.
  static size_t Length(double code) { return TruncateToInt(code) == 42 ? 5 : 3; }

  // One whole record. `arc_end_residues`: an arc's end is rounded with the
  // residues (its centre never is); the older line form rounds all four
  // operands plainly.
  void Record(const double* r, bool arc_end_residues) {
    const int code = TruncateToInt(r[0]);
    if (code == 40 && previous == 40) {
      AddSaturating(out[last_move], RoundCarry(r[1], rx));
      AddSaturating(out[last_move + 1], RoundCarry(r[2], ry));
    } else if (code == 42) {
      out[w++] = 42;
      out[w++] = arc_end_residues ? RoundCarry(r[1], rx) : RoundHalfAway(r[1]);
      out[w++] = arc_end_residues ? RoundCarry(r[2], ry) : RoundHalfAway(r[2]);
      out[w++] = RoundHalfAway(r[3]);
      out[w++] = RoundHalfAway(r[4]);
      previous = 42;
    } else {
      const int dx = RoundCarry(r[1], rx);
      const int dy = RoundCarry(r[2], ry);
      if (code != 466 && dx == 0 && dy == 0) return;
      if (code == 40) last_move = w + 1;
      out[w++] = code;
      out[w++] = dx;
      out[w++] = dy;
      previous = code;
    }
  }

  // A run of draws, most records of a text: the general step without the
  // code's conversion and the branches of other kinds. The residues and the
  // write position stay in locals for the run. Kept in the writer, each
  // rounding waited for its residue's store and reload, which cost the chain
  // of roundings about as much as its own additions (5.5 against 3.2 ns a
  // record).
  struct DrawRun {
    RecordWriter& writer;
    double rx, ry;
    int* at;
    explicit DrawRun(RecordWriter& to) : writer{to}, rx{to.rx}, ry{to.ry}, at{to.out + to.w} {}
    DrawRun(const DrawRun&) = delete;
    DrawRun& operator=(const DrawRun&) = delete;
    ~DrawRun() {
      const int* const start = writer.out + writer.w;
      if (at != start) writer.previous = 41;
      writer.w += static_cast<size_t>(at - start);
      writer.rx = rx;
      writer.ry = ry;
    }
    void Draw(double x, double y) {
      const int dx = RoundCarry(x, rx);
      const int dy = RoundCarry(y, ry);
      if (dx == 0 && dy == 0) return;
      at[0] = 41;
      at[1] = dx;
      at[2] = dy;
      at += 3;
    }
  };

  // Writes the whole records of `n` values and returns how many values they
  // took; a record cut off at the end is left for the caller.
  size_t Records(const double* v, size_t n, bool arc_end_residues) {
    size_t p = 0;
    while (p + 2 < n) {
      if (v[p] == 41.0) {
        DrawRun run(*this);
        do {
          run.Draw(v[p + 1], v[p + 2]);
          p += 3;
        } while (p + 2 < n && v[p] == 41.0);
        continue;
      }
      const size_t length = Length(v[p]);
      if (p + length > n) break;
      Record(v + p, arc_end_residues);
      p += length;
    }
    return p;
  }

  // The first `count` records of a stream, as Records writes them read flat.
  void Records(const RecordStream& stream, size_t count, bool arc_end_residues) {
    const RecordCode* code = stream.codes.data();
    const double* v = stream.values.data();
    const double* const v_end = v + stream.values.size();
    count = std::min(count, stream.codes.size());
    for (size_t r = 0; r < count;) {
      if (code[r] == RecordCode::kDraw && v + 2 <= v_end) {
        DrawRun run(*this);
        do {
          run.Draw(v[0], v[1]);
          v += 2;
        } while (++r < count && code[r] == RecordCode::kDraw && v + 2 <= v_end);
        continue;
      }
      const size_t n = RecordStream::Operands(code[r]);
      if (v + n > v_end) return;
      double record[5] = {RecordStream::CodeValue(code[r])};
      std::copy(v, v + n, record + 1);
      Record(record, arc_end_residues);
      v += n;
      ++r;
    }
  }

  void Write(const RecordStream& stream, bool arc_end_residues) {
    Records(stream, stream.Records(), arc_end_residues);
  }

  // Back to the line start: merged into a closing move, or a move of the
  // truncated sums written even when it is zero.
  void Close(double sx, double sy) {
    if (previous == 40 && w >= 3) {
      AddSaturating(out[last_move], RoundCarry(-sx, rx));
      AddSaturating(out[last_move + 1], RoundCarry(-sy, ry));
    } else {
      last_move = w + 1;
      out[w++] = 40;
      out[w++] = TruncateToInt(-sx);
      out[w++] = TruncateToInt(-sy);
      previous = 40;
    }
  }
};

// A record list that is written into host ints as it grows, so that a whole
// text never exists twice (once as doubles, once as ints). Only the last three
// values of a list are ever changed after they are appended (a line's drop and
// the fold into a closing move), so those three are held back and everything
// before them is converted on arrival. A record cut off by a feed waits in
// `carry_`; one still cut off at the end is dropped, as at the end of a list.
class StreamingList {
 public:
  explicit StreamingList(size_t capacity) : writer_{AllocateHostArray<int>(capacity + 1)} {}
  StreamingList(const StreamingList&) = delete;
  StreamingList& operator=(const StreamingList&) = delete;
  ~StreamingList() { ReleaseHostArray(writer_.out); }

  size_t size() const { return size_; }

  // The k-th value from the end, k = 1..3 (and no more than the size).
  double& FromEnd(size_t k) { return held_[held_n_ - k]; }

  void Append(const double* v, size_t n) {
    size_ += n;
    if (n >= 3) {
      Feed(held_.data(), held_n_);
      Feed(v, n - 3);
      std::copy(v + n - 3, v + n, held_.begin());
      held_n_ = 3;
      return;
    }
    for (size_t i = 0; i < n; ++i) {
      if (held_n_ == 3) {
        Feed(held_.data(), 1);
        held_[0] = held_[1];
        held_[1] = held_[2];
        held_n_ = 2;
      }
      held_[held_n_++] = v[i];
    }
  }
  void Append(std::initializer_list<double> v) { Append(v.begin(), v.size()); }

  // A whole stream, read flat.
  void Append(const RecordStream& stream) {
    if (stream.empty()) return;
    const RecordCode last = stream.codes.back();
    Feed(held_.data(), held_n_);
    held_n_ = 0;
    if (carry_n_ == 0 && RecordStream::Operands(last) == 2 && stream.values.size() >= 2) {
      // Records start where the list stands and the last one is three values long: all but it
      // go straight to the writer, and it is the three values held back.
      size_ += stream.FlatSize();
      writer_.Records(stream, stream.Records() - 1, true);
      const double* v = stream.values.data() + stream.values.size() - 2;
      held_ = {RecordStream::CodeValue(last), v[0], v[1]};
      held_n_ = 3;
      return;
    }
    // Otherwise the flat values in blocks, which the list takes as it would take them at once.
    FlatReader flat(stream);
    std::array<double, 192> block;
    for (size_t p = 0; p < flat.size();) {
      const size_t m = std::min(block.size(), flat.size() - p);
      for (size_t j = 0; j < m; ++j) block[j] = flat[p + j];
      Append(block.data(), m);
      p += m;
    }
  }

  // Ends the list with -1 and hands the array over.
  int* Finish(int& count) {
    Feed(held_.data(), held_n_);
    held_n_ = 0;
    writer_.out[writer_.w++] = -1;
    count = static_cast<int>(writer_.w);
    return std::exchange(writer_.out, nullptr);
  }

 private:
  void Feed(const double* v, size_t n) {
    size_t p = 0;
    while (carry_n_ > 0 && p < n) {
      carry_[carry_n_++] = v[p++];
      if (carry_n_ >= 3 && carry_n_ == RecordWriter::Length(carry_[0])) {
        writer_.Record(carry_.data(), true);
        carry_n_ = 0;
      }
    }
    p += writer_.Records(v + p, n - p, true);
    for (; p < n; ++p) carry_[carry_n_++] = v[p];
  }

  RecordWriter writer_;
  std::array<double, 3> held_{};
  size_t held_n_ = 0;
  std::array<double, 5> carry_{};
  size_t carry_n_ = 0;
  size_t size_ = 0;
};

}  // namespace vuzodo
