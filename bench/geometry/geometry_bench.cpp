// Cost of placing one glyph contour: clone a 50-point polyline, apply the glyph transform and
// write it into a coordinate stream, against a plain copy of 50 pairs of doubles into a new
// vector measured in the same run.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "QELEntity.h"
#include "QELUtility.h"

namespace {

constexpr int kPoints = 50;

std::unique_ptr<CQELPolyLine> Contour() {
  auto polyline = std::make_unique<CQELPolyLine>();
  for (int k = 0; k < kPoints; ++k) {
    const double a = 2 * std::numbers::pi * k / kPoints;
    polyline->AddPoint(300 + 250 * std::cos(a), 400 + 380 * std::sin(a));
  }
  return polyline;
}

std::vector<std::array<double, 2>> Pairs() {
  std::vector<std::array<double, 2>> pairs;
  for (int k = 0; k < kPoints; ++k) pairs.push_back({k * 1.5, k * -0.5});
  return pairs;
}

// Rotation, shear and scale of a glyph, then its pen offset.
constexpr double kA = 0.98, kB = 0.17, kC = -0.17, kD = 0.98, kE = 1234.5, kF = -56.25;

void Reference(const std::vector<std::array<double, 2>>& pairs) {
  std::vector<std::array<double, 2>> copy(pairs);
  benchmark::DoNotOptimize(copy.data());
  benchmark::ClobberMemory();
}

void Subject(const CQELEntity& source, std::vector<CQELEntity*>& list, RecordStream& stream) {
  CQELEntity* clone = source.Clone();
  clone->Transform(kA, kB, kC, kD, kE, kF);
  list[0] = clone;
  stream.clear();
  NURBSPoint pen(0, 0);
  EncodeEntities(list, stream, pen);
  benchmark::DoNotOptimize(stream.values.data());
  delete clone;
}

void SetPerPoint(benchmark::State& state) {
  state.counters["per_point"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kPoints,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_CopyPairsReference(benchmark::State& state) {
  const auto pairs = Pairs();
  for (auto _ : state) Reference(pairs);
  SetPerPoint(state);
}
BENCHMARK(BM_CopyPairsReference);

void BM_ClonePolyLine(benchmark::State& state) {
  const auto contour = Contour();
  for (auto _ : state) {
    std::unique_ptr<CQELEntity> clone(static_cast<const CQELEntity&>(*contour).Clone());
    benchmark::DoNotOptimize(clone.get());
  }
  SetPerPoint(state);
}
BENCHMARK(BM_ClonePolyLine);

void BM_CloneTransformEncode(benchmark::State& state) {
  const auto contour = Contour();
  std::vector<CQELEntity*> list(1);
  RecordStream stream;
  for (auto _ : state) Subject(*contour, list, stream);
  SetPerPoint(state);
}
BENCHMARK(BM_CloneTransformEncode);

// Both loops interleaved in batches so that they share the machine's state; reports each one's
// time per point and the ratio subject / reference.
void BM_RatioCloneTransformEncodeToCopy(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 256;
  const auto pairs = Pairs();
  const auto contour = Contour();
  std::vector<CQELEntity*> list(1);
  RecordStream stream;
  Clock::duration reference{};
  Clock::duration subject{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kBatch; ++i) Reference(pairs);
    const auto t1 = Clock::now();
    for (int i = 0; i < kBatch; ++i) Subject(*contour, list, stream);
    const auto t2 = Clock::now();
    reference += t1 - t0;
    subject += t2 - t1;
  }
  const double points = static_cast<double>(state.iterations()) * kBatch * kPoints;
  const double ref_ns = std::chrono::duration<double, std::nano>(reference).count() / points;
  const double sub_ns = std::chrono::duration<double, std::nano>(subject).count() / points;
  state.counters["reference_ns_per_point"] = ref_ns;
  state.counters["subject_ns_per_point"] = sub_ns;
  state.counters["ratio"] = sub_ns / ref_ns;
}
BENCHMARK(BM_RatioCloneTransformEncodeToCopy);

// The same ratio for the clone alone: what the layout pays per glyph contour before writing.
void BM_RatioCloneToCopy(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kBatch = 256;
  const auto pairs = Pairs();
  const auto contour = Contour();
  Clock::duration reference{};
  Clock::duration subject{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kBatch; ++i) Reference(pairs);
    const auto t1 = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
      std::unique_ptr<CQELEntity> clone(static_cast<const CQELEntity&>(*contour).Clone());
      benchmark::DoNotOptimize(clone.get());
    }
    const auto t2 = Clock::now();
    reference += t1 - t0;
    subject += t2 - t1;
  }
  const double points = static_cast<double>(state.iterations()) * kBatch * kPoints;
  const double ref_ns = std::chrono::duration<double, std::nano>(reference).count() / points;
  const double sub_ns = std::chrono::duration<double, std::nano>(subject).count() / points;
  state.counters["reference_ns_per_point"] = ref_ns;
  state.counters["subject_ns_per_point"] = sub_ns;
  state.counters["ratio"] = sub_ns / ref_ns;
}
BENCHMARK(BM_RatioCloneToCopy);

}  // namespace
