// G-code and HPGL writers, the machine presets and their options.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>
#include <tuple>

#include "Commands.h"
#include "Machine.h"
#include "Order.h"
#include "Output.h"

namespace vuzodo_cli {
namespace {

// The presets, as docs/machines.md lists them.
Machine Preset(const std::string& name) {
  Machine m;
  m.name = name;
  if (name == "hpgl") {
    m.format = "hpgl";
    m.feed = 6000;  // 10 cm/s
    m.travel_feed = 12000;
    m.accel = 1000;
    m.lift_time = 0.1;
    return m;
  }
  m.format = "gcode";
  m.footer = "M2";
  if (name == "grbl-plotter") {
    m.pen_up = "G0 Z1";
    m.pen_down = "G1 Z0 F500";
    m.feed = 2000;
    m.travel_feed = 5000;
    m.accel = 500;
    m.lift_time = 0.2;
    return m;
  }
  m.laser = "M4";
  m.power = 1000;
  m.feed = 1000;
  m.travel_feed = 3000;
  m.accel = 1000;
  return m;
}

const char* FormatName(const std::string& format) {
  return format == "hpgl" ? "HPGL" : "G-code";
}

// The points after the start of the chords standing in for an arc, none farther than `tol`
// from it.
std::vector<std::pair<double, double>> Chords(double x0, double y0, double x1, double y1,
                                              double bulge, double tol) {
  const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
  const double step = tol < a.radius ? 2 * std::acos(1 - tol / a.radius) : std::numbers::pi / 2;
  const int n = static_cast<int>(
      std::min(100000.0, std::max(1.0, std::ceil(std::abs(a.turn) / std::min(step, 1.5)))));
  std::vector<std::pair<double, double>> points;
  const double start = std::atan2(y0 - a.cy, x0 - a.cx);
  for (int k = 1; k < n; ++k) {
    const double t = start + a.turn * k / n;
    points.emplace_back(a.cx + a.radius * std::cos(t), a.cy + a.radius * std::sin(t));
  }
  points.emplace_back(x1, y1);  // the end exactly, not as the circle's rounding gives it
  return points;
}

// Lines of a user's text: "\n" (as typed or as the two characters) starts a new one.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool typed = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n';
    if (text[i] == '\n' || typed) {
      lines.push_back(line);
      line.clear();
      i += typed ? 1 : 0;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// G-code numbers: micrometres, written as mm with up to three decimals.
long long Micro(double mm) {
  return std::llround(mm * 1000);
}
std::string Mm(long long micro) {
  const long long a = std::llabs(micro);
  std::string s = (micro < 0 ? "-" : "") + std::to_string(a / 1000);
  if (a % 1000 != 0) {
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%03lld", a % 1000);
    std::string f = frac;
    while (f.back() == '0') f.pop_back();
    s += f;
  }
  return s;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

}  // namespace

double MillimetresPerUnit(const OutputOptions& o) {
  const std::string& name = o.unit_name;
  const double mm = name == "in" ? 25.4 : name == "cm" ? 10.0 : name == "m" ? 1000.0 : 1.0;
  return mm * o.unit_length / o.unit;
}

bool MachineOptions::Given() const {
  return !machine.empty() || feed || travel_feed || accel || lift_time || power || laser ||
         pen_up || pen_down || header || footer || pen || chord || no_arcs;
}

bool IsMachineFormat(const std::string& format) {
  return format == "gcode" || format == "hpgl";
}

std::string ResolveMachine(const MachineOptions& o, const std::string& format, Machine& m) {
  const std::string name = !o.machine.empty() ? o.machine
                           : format == "hpgl" ? "hpgl"
                                              : "grbl-laser";
  m = Preset(name);
  if (!format.empty() && format != m.format) {
    return "--machine " + name + ": it takes " + FormatName(m.format) + ", but the output is " +
           FormatName(format) + " (-o's name or --format)";
  }
  const bool hpgl = m.format == "hpgl";
  const char* gcode_only = hpgl ? (o.pen_up     ? "--pen-up"
                                   : o.pen_down ? "--pen-down"
                                   : o.laser    ? "--laser"
                                   : o.power    ? "--power"
                                                : nullptr)
                                : nullptr;
  if (gcode_only != nullptr) {
    return std::string(gcode_only) + ": a G-code option; the " + name +
           " machine writes HPGL, which lifts its pen with PU";
  }
  if (o.pen && !hpgl) {
    return "--pen " + std::to_string(*o.pen) + ": an HPGL option; the " + name +
           " machine writes G-code";
  }
  if (o.pen_up.has_value() != o.pen_down.has_value()) {
    return o.pen_up ? "--pen-up without --pen-down: a pen needs both commands"
                    : "--pen-down without --pen-up: a pen needs both commands";
  }
  if (o.pen_up) {
    m.laser.clear();
    m.pen_up = *o.pen_up;
    m.pen_down = *o.pen_down;
  }
  if ((o.laser || o.power) && !hpgl && m.laser.empty()) {
    return std::string(o.laser ? "--laser" : "--power") + ": " +
           (o.pen_up ? "--pen-up and --pen-down drive" : "the " + name + " machine drives") +
           " a pen, not a laser";
  }
  if (o.laser) m.laser = *o.laser;
  if (o.power) m.power = *o.power;
  if (o.pen) m.pen = *o.pen;
  if (o.header) m.header = *o.header;
  if (o.footer) m.footer = *o.footer;
  if (o.feed) m.feed = *o.feed;
  if (o.travel_feed) m.travel_feed = *o.travel_feed;
  if (o.accel) m.accel = *o.accel;
  if (o.lift_time) m.lift_time = *o.lift_time;
  if (o.chord) m.chord = *o.chord;
  m.arcs = !o.no_arcs;
  return "";
}

Job MakeJob(const Layers& layers, const OutputOptions& o) {
  Geometry g[3] = {ToGeometry(layers.outline), ToGeometry(layers.fill), ToGeometry(layers.hatch)};
  const auto [sx, sy] = DrawingShift(o, g);
  const double s = MillimetresPerUnit(o);
  Job job;
  if (o.order.start.size() == 2) job.start_x = o.order.start[0], job.start_y = o.order.start[1];
  if (o.order.end.size() == 2) job.end_x = o.order.end[0], job.end_y = o.order.end[1];
  for (Geometry& one : g) {
    for (Stroke& stroke : one.strokes) {
      for (double& x : stroke.x) x = (x + sx) * s;
      for (double& y : stroke.y) y = (y + sy) * s;
      job.strokes.push_back(std::move(stroke));
    }
    for (const auto& [x, y] : one.dots) {
      job.strokes.push_back(Stroke{{(x + sx) * s}, {(y + sy) * s}, {0.0}, false});
    }
  }
  return job;
}

std::string WriteGcodeFile(const Job& job, const Machine& m, const std::string& path) {
  std::ofstream out(path);
  if (!out) return std::strerror(errno);
  const bool laser = !m.laser.empty();
  const std::vector<std::string> up = laser ? std::vector<std::string>{"S0"} : Lines(m.pen_up);
  const std::vector<std::string> down =
      laser ? std::vector<std::string>{"S" + Number(m.power)} : Lines(m.pen_down);
  auto lines = [&out](const std::vector<std::string>& list) {
    for (const std::string& line : list) out << line << '\n';
  };
  out << "; vuzodo, " << m.name << ", mm; strokes: " << job.strokes.size() << "\nG21\nG90\n";
  lines(Lines(m.header));
  // A laser waits armed at zero power; a pen starts lifted.
  if (laser) {
    out << m.laser << " S0\n";
  } else {
    lines(up);
  }
  long long px = 0, py = 0;  // where the last written move ends, micrometres
  auto move = [&](const char* code, double x, double y) {
    px = Micro(x);
    py = Micro(y);
    out << code << " X" << Mm(px) << " Y" << Mm(py);
  };
  for (const Stroke& s : job.strokes) {
    move("G0", s.x[0], s.y[0]);
    out << '\n';
    lines(down);
    if (s.x.size() == 1) out << "G4 P" << Number(kDotDwell) << '\n';
    bool feed = true;  // the pen-down lines may have set a feed of their own
    auto marked = [&] {
      if (feed) out << " F" << Number(m.feed);
      feed = false;
      out << '\n';
    };
    Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
      const long long ex = Micro(x1), ey = Micro(y1);
      if (ex == px && ey == py) return;  // shorter than a micrometre: a G2 there is a circle
      // An arc flatter than half a micrometre is its chord.
      const double sagitta = std::abs(bulge) * std::hypot(x1 - x0, y1 - y0) / 2;
      if (bulge == 0 || sagitta < 0.0005) {
        move("G1", x1, y1);
        marked();
      } else if (m.arcs) {
        const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
        const long long i = Micro(a.cx) - px, j = Micro(a.cy) - py;
        move(bulge > 0 ? "G3" : "G2", x1, y1);
        out << " I" << Mm(i) << " J" << Mm(j);
        marked();
      } else {
        for (const auto& [x, y] : Chords(x0, y0, x1, y1, bulge, m.chord)) {
          if (Micro(x) == px && Micro(y) == py) continue;
          move("G1", x, y);
          marked();
        }
      }
    });
    lines(up);
  }
  move("G0", job.end_x, job.end_y);
  out << '\n';
  if (laser) out << "M5\n";
  lines(Lines(m.footer));
  out.close();
  return out ? "" : "write failed";
}

namespace {
// HPGL plotter units per mm.
constexpr double kPlotterUnits = 40.0;
long long Plu(double mm) {
  return std::llround(mm * kPlotterUnits);
}
}  // namespace

std::string WriteHpglFile(const Job& job, const Machine& m, const std::string& path) {
  std::ofstream out(path);
  if (!out) return std::strerror(errno);
  // VS takes cm/s.
  out << "IN;\nSP" << m.pen << ";\nVS" << Number(m.feed / 600.0) << ";\n";
  for (const std::string& line : Lines(m.header)) out << line << '\n';
  out << "PU;\n";
  long long px = 0, py = 0;  // where the pen is, plotter units
  bool down = false;         // inside a PD list
  auto end_list = [&] {
    if (down) out << ";\n";
    down = false;
  };
  auto draw_to = [&](long long x, long long y) {
    if (x == px && y == py) return;
    out << (down ? "," : "PD") << x << ',' << y;
    down = true;
    px = x;
    py = y;
  };
  for (const Stroke& s : job.strokes) {
    px = Plu(s.x[0]);
    py = Plu(s.y[0]);
    out << "PU" << px << ',' << py << ";\n";
    if (s.x.size() == 1) out << "PD;\n";
    Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
      const long long ex = Plu(x1), ey = Plu(y1);
      const double sagitta = std::abs(bulge) * std::hypot(x1 - x0, y1 - y0) / 2;
      if (bulge == 0 || sagitta * kPlotterUnits < 0.5 || (ex == px && ey == py)) {
        draw_to(ex, ey);
      } else if (m.arcs) {
        // AA draws from the pen round a whole-unit centre; of the four around the true one,
        // the centre whose circle passes nearest the end keeps the arc ending where it should.
        const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
        const double cx = a.cx * kPlotterUnits, cy = a.cy * kPlotterUnits;
        long long bx = 0, by = 0;
        double best = 1e300;
        for (const double ux : {std::floor(cx), std::ceil(cx)}) {
          for (const double uy : {std::floor(cy), std::ceil(cy)}) {
            const double from = std::hypot(px - ux, py - uy), to = std::hypot(ex - ux, ey - uy);
            const double miss = std::abs(from - to);
            // A centre on the pen or the end would draw nothing.
            if (from > 0 && to > 0 && miss < best) {
              best = miss;
              bx = static_cast<long long>(ux);
              by = static_cast<long long>(uy);
            }
          }
        }
        double sweep = std::atan2(ey - by, ex - bx) - std::atan2(py - by, px - bx);
        while (a.turn > 0 && sweep <= 0) sweep += 2 * std::numbers::pi;
        while (a.turn < 0 && sweep >= 0) sweep -= 2 * std::numbers::pi;
        const double radius = std::hypot(px - bx, py - by);
        const double tol = m.chord * kPlotterUnits;
        const double chord = tol < radius ? 2 * std::acos(1 - tol / radius) : std::numbers::pi;
        // The plotter's chord angle lies between 0.5 and 180 degrees.
        const double chord_degrees = std::clamp(chord * 180 / std::numbers::pi, 0.5, 180.0);
        end_list();
        out << "PD;AA" << bx << ',' << by << ',' << Number(sweep * 180 / std::numbers::pi) << ','
            << Number(chord_degrees) << ";\n";
        // The next list starts where the arc ends.
        px = ex;
        py = ey;
      } else {
        for (const auto& [x, y] : Chords(x0, y0, x1, y1, bulge, m.chord)) draw_to(Plu(x), Plu(y));
      }
    });
    end_list();
  }
  out << "PU" << Plu(job.end_x) << ',' << Plu(job.end_y) << ";\n";
  for (const std::string& line : Lines(m.footer)) out << line << '\n';
  out << "SP0;\n";
  out.close();
  return out ? "" : "write failed";
}

int WriteMachineOutput(const std::string& path, const std::string& format, const Layers& layers,
                       const OutputOptions& o) {
  if (!IsMachineFormat(format)) {
    if (!o.machine.Given()) return -1;
    std::fprintf(stderr,
                 "vuzodo: machine options: %s is %s, not a machine file; write to a .gcode or "
                 ".hpgl file (-o) or give --format gcode|hpgl\n",
                 path == "-" ? "standard output" : path.c_str(), format.c_str());
    return 1;
  }
  Machine m;
  if (const std::string error = ResolveMachine(o.machine, format, m); !error.empty()) {
    std::fprintf(stderr, "vuzodo: %s\n", error.c_str());
    return 1;
  }
  Job job = MakeJob(layers, o);
  OrderJob(job, o.order);
  const int written = WriteAtomically(path, [&](const std::string& temp) {
    return format == "hpgl" ? WriteHpglFile(job, m, temp) : WriteGcodeFile(job, m, temp);
  });
  if (written == 0) {
    std::fprintf(stderr, "%s: %s\n", path == "-" ? "standard output" : path.c_str(),
                 EstimateLine(EstimateJob(job, m), m).c_str());
  }
  return written;
}

void AddOrderOptions(CLI::App& command, OrderOptions& o) {
  auto* optimize = command.add_flag(
      "--optimize", o.optimize,
      "reorder the strokes (drawing some backwards) for a short pen-up travel: SVG, DXF, "
      "G-code, HPGL and the estimate");
  command
      .add_option("--optimize-budget", o.budget,
                  "search --optimize may do after its first order, in seconds of a 2.7 GHz "
                  "core: a fixed amount of work, so that a job always gives the same order")
      ->check(AtLeast(0))
      ->needs(optimize);
  const auto finite = CLI::Validator(
      [](std::string& input) -> std::string {
        double v = 0;
        if (!CLI::detail::lexical_cast(input, v)) return "'" + input + "' is not a number";
        return std::isfinite(v) ? "" : input + " is not a finite number";
      },
      "NUMBER");
  for (const auto& [name, point, help] :
       {std::tuple{"--start", &o.start, "X,Y in mm where the machine starts (default 0,0)"},
        std::tuple{"--end", &o.end, "X,Y in mm where the machine ends (default 0,0)"}}) {
    command.add_option(name, *point, help)->delimiter(',')->expected(2)->check(finite);
  }
}

void AddMachineOptions(CLI::App& command, MachineOptions& o) {
  auto optional_number = [&](const char* name, std::optional<double>& value, bool zero,
                             const char* help) {
    command
        .add_option_function<double>(
            name, [&value](const double& v) { value = v; }, help)
        ->check(AtLeast(0, zero));
  };
  auto optional_text = [&](const char* name, std::optional<std::string>& value, const char* help) {
    return command.add_option_function<std::string>(
        name, [&value](const std::string& v) { value = v; }, help);
  };
  command
      .add_option("--machine", o.machine,
                  "machine preset for .gcode/.hpgl output and the estimate: grbl-laser, "
                  "grbl-plotter or hpgl (default: grbl-laser, hpgl for .hpgl)")
      ->check(CLI::IsMember({kMachineNames[0], kMachineNames[1], kMachineNames[2]}));
  optional_number("--feed", o.feed, false, "marking speed, mm/min");
  optional_number("--travel-feed", o.travel_feed, false, "pen-up speed, mm/min (estimate)");
  optional_number("--accel", o.accel, false, "acceleration, mm/s^2 (estimate)");
  optional_number("--lift-time", o.lift_time, true,
                  "seconds one pen lift and the pen down after it take (estimate)");
  optional_number("--power", o.power, true, "G-code laser power, the S value while marking");
  optional_text("--laser", o.laser, "G-code laser mode: M3 constant power, M4 power follows speed")
      ->check(CLI::IsMember({"M3", "M4"}));
  optional_text("--pen-up", o.pen_up, "G-code lines lifting a pen (\\n between lines)");
  optional_text("--pen-down", o.pen_down, "G-code lines lowering a pen (\\n between lines)");
  optional_text("--machine-header", o.header, "lines written after the set-up (\\n between lines)");
  optional_text("--machine-footer", o.footer, "lines written at the end (\\n between lines)");
  command
      .add_option_function<int>(
          "--pen", [&o](const int& v) { o.pen = v; }, "HPGL pen number")
      ->check(CLI::Range(1, 99));
  optional_number("--chord-tolerance", o.chord, false,
                  "mm: how far a chord standing in for an arc may leave it (default 0.01)");
  command.add_flag("--no-arcs", o.no_arcs, "machine output: arcs as chords, not G2/G3 or AA");
}

}  // namespace vuzodo_cli
