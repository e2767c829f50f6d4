#include "HostArray.h"

namespace vuzodo {

int TruncateToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

// The answer that holds nothing: the end mark alone. Also the answer that would pass
// limits::kMaxOutputInts.
int* EndMarkOnly(int& count) {
  int* out = AllocateHostArray<int>(1);
  out[0] = -1;
  count = 1;
  return out;
}

int* ToIntArray(const std::vector<double>& list, int& count, size_t max_ints) {
  if (list.size() + 1 > max_ints) return EndMarkOnly(count);
  StreamingList out(list.size());
  out.Append(list.data(), list.size());
  return out.Finish(count);
}

}  // namespace vuzodo
