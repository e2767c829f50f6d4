// Files a machine reads directly: G-code for lasers and plotters driven by GRBL-style
// controllers, HPGL for pen plotters; and the estimate of how long a machine takes to mark a
// text. Every output goes the same way: the drawn streams become a Job (strokes in mm, in
// marking order), a step that reorders the strokes may rework the Job, and a writer or the
// estimate reads it.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace vuzodo_cli {

struct Layers;
struct OutputOptions;
struct Stroke;

// The machine options as given on the command line: unset ones come from the preset.
struct MachineOptions {
  std::string machine;         // grbl-laser, grbl-plotter or hpgl; "" the format's own preset
  std::optional<double> feed;  // marking speed, mm/min
  std::optional<double> travel_feed;            // pen-up (rapid) speed, mm/min
  std::optional<double> accel;                  // mm/s^2, the same for every move
  std::optional<double> lift_time;              // s, one pen lift and the pen down after it
  std::optional<double> power;                  // laser S value
  std::optional<std::string> laser;             // M3 (constant power) or M4 (power follows speed)
  std::optional<std::string> pen_up, pen_down;  // G-code lines instead of a laser
  std::optional<std::string> header, footer;    // lines written after the set-up, before the end
  std::optional<int> pen;                       // HPGL pen number
  std::optional<double> chord;                  // mm: the farthest a chord may leave its arc
  bool no_arcs = false;                         // arcs as chords
  bool Given() const;                           // any of these was given
};

// A machine with every value known: a preset with the options laid over it.
struct Machine {
  std::string name;              // the preset's name
  std::string format;            // gcode or hpgl
  std::string laser;             // M3 or M4; "" when pen_up and pen_down drive a pen
  double power = 0;              // S value while marking
  std::string pen_up, pen_down;  // G-code lines, "\n" between lines
  std::string header, footer;
  int pen = 1;
  double feed = 0, travel_feed = 0;  // mm/min
  double accel = 0;                  // mm/s^2
  double lift_time = 0;              // s per pen lift
  double chord = 0.01;               // mm
  bool arcs = true;
};

// The names of the presets, in the order docs/machines.md lists them.
inline constexpr const char* kMachineNames[3] = {"grbl-laser", "grbl-plotter", "hpgl"};

// A dot (a point record) is marked by a pause this long with the pen down or the laser on, s.
inline constexpr double kDotDwell = 0.05;

// The preset for `o.machine` (or the format's own when it is "") with the options laid over
// it, for writing `format` ("" for the estimate: the preset's format). Returns "" or the one
// line that says which option does not fit and why.
std::string ResolveMachine(const MachineOptions& o, const std::string& format, Machine& m);

// What a machine marks, in marking order: strokes in mm, y up, from the drawing's origin (the
// anchor of the other outputs). A stroke of one point is a dot. The machine starts at
// (start_x, start_y) and ends at (end_x, end_y).
struct Job {
  std::vector<Stroke> strokes;
  double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
};

// The streams of the text laid out now, outline, fill and hatch in that order, as a Job.
Job MakeJob(const Layers& layers, const OutputOptions& o);

// Writers of one file each, returning "" or why the file could not be written.
std::string WriteGcodeFile(const Job& job, const Machine& m, const std::string& path);
std::string WriteHpglFile(const Job& job, const Machine& m, const std::string& path);

// The marking length, the travel length, pen lifts and the time a job takes.
struct Estimate {
  double marking = 0, travel = 0;  // mm
  int lifts = 0;                   // strokes and dots: the pen rises after each one
  double seconds = 0;
};
Estimate EstimateJob(const Job& job, const Machine& m);
// "marking 12.3 mm, travel 4.5 mm, 3 pen lifts, 6.78 s (0:07) at grbl-laser".
std::string EstimateLine(const Estimate& e, const Machine& m);

// Whether a format is one of the machines' (gcode, hpgl).
bool IsMachineFormat(const std::string& format);

// The machine formats' part of writing `path` in `format`: G-code or HPGL is written, then the
// estimate printed on standard error, and 0 returned (1 after a one-line error); machine
// options given for another format are an error (1); otherwise -1, the other writers' turn.
int WriteMachineOutput(const std::string& path, const std::string& format, const Layers& layers,
                       const OutputOptions& o);

// `vuzodo estimate`: prints the estimate of the text laid out now on standard output.
int PrintEstimate(const OutputOptions& o);

// Adds --machine and its overrides to a command.
void AddMachineOptions(CLI::App& command, MachineOptions& o);

}  // namespace vuzodo_cli
