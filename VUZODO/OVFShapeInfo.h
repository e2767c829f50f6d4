// One glyph of an OVF outline font: its table entry and, once decoded, its outline entities.
#ifndef VUZODO_OVFSHAPEINFO_H
#define VUZODO_OVFSHAPEINFO_H

#include <cstdint>
#include <memory>
#include <vector>

#include "QELEntity.h"

// A placement record of the glyph table: eight little-endian 4-byte words, 32 bytes.
struct OVFPlacement {
  float a = 1.0f, b = 0.0f, c = 0.0f, d = 1.0f;  // x' = a x + b y + e, y' = c x + d y + f
  float e = 0.0f, f = 0.0f;                      // font units
  std::int32_t length = 0;                       // byte length of the drawing data
  std::int32_t offset = 0;                       // file offset of the drawing data
};

class OVFShapeInfo {
 public:
  OVFShapeInfo() = default;
  OVFShapeInfo(const OVFShapeInfo&) = delete;
  OVFShapeInfo& operator=(const OVFShapeInfo&) = delete;
  OVFShapeInfo(OVFShapeInfo&&) = default;
  OVFShapeInfo& operator=(OVFShapeInfo&&) = default;
  ~OVFShapeInfo() = default;

  std::int32_t GetCode() const { return code_; }
  // Box from the table entry: (0, bottom) to (e0 + e1 + e2, top), font units.
  const NURBSPoint& GetMin() const { return min_; }
  const NURBSPoint& GetMax() const { return max_; }
  double GetAdvance() const { return advance_; }
  float GetE0() const { return e0_; }
  float GetE1() const { return e1_; }
  float GetE2() const { return e2_; }
  float GetBottom() const { return bottom_; }
  float GetTop() const { return top_; }
  std::int32_t GetRecordCount() const { return record_count_; }
  const std::vector<OVFPlacement>& GetRecords() const { return records_; }
  bool IsDecoded() const { return decoded_; }
  // The decoded outline, placement matrix applied; empty before decoding.
  const std::vector<std::unique_ptr<CQELEntity>>& GetEntities() const { return entities_; }
  // Copies of the decoded outline (caller owns them).
  [[nodiscard]] std::vector<CQELEntity*> CloneEntities() const;

  // Reads one table entry at `cursor` of `file` and moves the cursor past it. False (and the
  // cursor unchanged) when the entry, with all its placement records, does not fit in the file.
  bool ReadEntry(const std::vector<std::uint8_t>& file, std::size_t& cursor);

  // Decodes the drawing data of the first placement record from `file` into the entity list,
  // once; later calls do nothing. Every read is checked against the end of the file.
  void Decode(const std::vector<std::uint8_t>& file);

 private:
  NURBSPoint min_;                                     // (0, bottom)
  NURBSPoint max_;                                     // (e0 + e1 + e2, top)
  std::int32_t code_ = 0;                              // character code
  double advance_ = 0.0;                               // set by drawing command 0, font units
  float e0_ = 0.0f, e1_ = 0.0f, e2_ = 0.0f;            // horizontal extents, font units
  float bottom_ = 0.0f, top_ = 0.0f;                   // vertical extents, font units
  std::int32_t record_count_ = 0;                      // as read
  std::vector<OVFPlacement> records_;                  // every record; only the first is drawn
  std::vector<std::unique_ptr<CQELEntity>> entities_;  // decoded outline
  bool decoded_ = false;
};

// Flattens the cubic segment (p0, c1, c2, p3) into `out` the way OVF glyphs are drawn, all in
// single precision: p0, then B(t) for t = 0, 0.1f, 0.2f, ... while t < 1 (t grows by adding
// 0.1f, so it visits ten values up to 0.9000001f), then B(1): twelve points per segment.
void FlattenOVFBezierSegment(const float p0[2], const float c1[2], const float c2[2],
                             const float p3[2], std::vector<NURBSPoint>& out);

#endif  // VUZODO_OVFSHAPEINFO_H
