// The order in which strokes are drawn, chosen to shorten the pen-up travel between them
// (--optimize). A plotter or a laser spends much of a hatched job moving with the pen up when
// the strokes come in layout order; reordering them, and drawing some of them backwards, wins
// most of that back without touching what is marked.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <vector>

#include "Output.h"

namespace vuzodo_cli {

// The pen-up travel of drawing `strokes` in their order, starting at (sx, sy) and ending at
// (ex, ey), in the strokes' unit. A closed stroke ends where it starts.
double TravelOf(const std::vector<Stroke>& strokes, double sx, double sy, double ex, double ey);

// Reorders `strokes` for a short travel from (sx, sy) to (ex, ey): open strokes may be reversed
// and closed ones may start at another of their vertices, so each draws exactly the same
// line. A nearest-neighbour order is built first, whatever the budget; 2-opt and Or-opt moves
// then shorten it until none helps or `work` is spent (moves weighed, strokes placed, vertices
// tried; --optimize-budget buys 10^8 a second). Returns the work spent.
std::int64_t OrderStrokes(std::vector<Stroke>& strokes, double sx, double sy, double ex, double ey,
                          std::int64_t work);

// The machine outputs' job, ordered as a whole when --optimize asks for it (one tool marks
// everything); prints the travel before and after on standard error.
void OrderJob(Job& job, const OrderOptions& o);

// SVG and DXF: each stream (group, layer) ordered on its own from the start to the end point,
// as a plotter draws one layer per pen. The points are given in mm and taken to the drawing's
// frame: mm = (frame + shift) * mm_per_unit. Prints the travel before and after.
void OrderDrawing(Geometry (&g)[3], const OrderOptions& o, double mm_per_unit, double shift_x,
                  double shift_y);

// Adds --optimize, --optimize-budget, --start and --end to a command.
void AddOrderOptions(CLI::App& command, OrderOptions& o);

}  // namespace vuzodo_cli
