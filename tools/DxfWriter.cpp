// The DXF writer: one layer per stream, a LINE or an LWPOLYLINE (arcs as bulges) per chain,
// a POINT per dot, in the drawing units the user unit names.
#include "Drawing.h"

#include <dxflib/dl_dxf.h>

#include <sstream>

namespace vuzodo_cli {

namespace {

// ezdxf and CAD programs check that every object names its owner; dxflib's own objects do not,
// so the section is written here with the owners filled in.
void WriteObjects(DL_WriterA& dw) {
  auto object = [&](const char* type, int handle, int owner) {
    dw.dxfString(0, type);
    dw.dxfHex(5, handle);
    dw.dxfHex(330, owner);
  };
  auto entry = [&](const char* name, int handle) {
    dw.dxfString(3, name);
    dw.dxfHex(350, handle);
  };
  auto dictionary = [&](int handle, int owner, const char* type = "DICTIONARY") {
    object(type, handle, owner);
    dw.dxfString(100, "AcDbDictionary");
    dw.dxfInt(281, 1);
  };
  dw.dxfString(0, "SECTION");
  dw.dxfString(2, "OBJECTS");
  dictionary(0xC, 0);
  entry("ACAD_GROUP", 0xD);
  entry("ACAD_LAYOUT", 0x1A);
  entry("ACAD_MLINESTYLE", 0x17);
  entry("ACAD_PLOTSETTINGS", 0x19);
  entry("ACAD_PLOTSTYLENAME", 0xE);
  for (const int handle : {0xD, 0x19}) {  // groups and plot settings: empty
    dictionary(handle, 0xC);
  }
  dictionary(0xE, 0xC, "ACDBDICTIONARYWDFLT");
  entry("Normal", 0xF);
  dw.dxfString(100, "AcDbDictionaryWithDefault");
  dw.dxfHex(340, 0xF);
  object("ACDBPLACEHOLDER", 0xF, 0xE);
  dictionary(0x17, 0xC);
  entry("Standard", 0x18);
  object("MLINESTYLE", 0x18, 0x17);
  dw.dxfString(100, "AcDbMlineStyle");
  dw.dxfString(2, "Standard");
  dw.dxfInt(70, 0);
  dw.dxfString(3, "");
  dw.dxfInt(62, 256);
  dw.dxfReal(51, 90.0);
  dw.dxfReal(52, 90.0);
  dw.dxfInt(71, 2);
  for (const double offset : {0.5, -0.5}) {
    dw.dxfReal(49, offset);
    dw.dxfInt(62, 256);
    dw.dxfString(6, "BYLAYER");
  }
  dictionary(0x1A, 0xC);
  entry("Layout1", 0x1E);
  entry("Layout2", 0x26);
  entry("Model", 0x22);
  // Each layout with the block record of its space, as dxflib's block records number them.
  for (const auto& [name, handle, order, record] :
       {std::tuple{"Layout1", 0x1E, 1, 0x1B}, std::tuple{"Model", 0x22, 0, 0x1F},
        std::tuple{"Layout2", 0x26, 2, 0x23}}) {
    object("LAYOUT", handle, 0x1A);
    dw.dxfString(100, "AcDbPlotSettings");
    dw.dxfString(1, "");
    dw.dxfString(2, "none_device");
    dw.dxfInt(70, order == 0 ? 1712 : 688);
    dw.dxfString(100, "AcDbLayout");
    dw.dxfString(1, name);
    dw.dxfInt(70, 1);
    dw.dxfInt(71, order);
    dw.dxfHex(330, record);
  }
  dw.dxfString(0, "ENDSEC");
}

// $INSUNITS codes of the lengths a user unit can be.
int InsUnits(const std::string& name) {
  return name == "in" ? 1 : name == "cm" ? 5 : name == "m" ? 6 : 4;
}

// dxflib writes the header, tables, blocks and objects; every group it writes goes through
// here into the drawing's own buffered file (its own stream is left on /dev/null). The entities
// are written directly, the bulk of a large drawing.
//
// dxflib writes every real with 16 decimals, so 1298.156 becomes 1298.1559999999999491 and the
// coordinates fill most of the file. The shortest decimal that reads back as the same double
// says the same in a third of the bytes (always with a point: some readers take a bare
// integer for an integer group).
class DxfOut : public DL_WriterA {
 public:
  explicit DxfOut(FileOut& out) : DL_WriterA("/dev/null", DL_Codes::AC1015), out_(out) {}

  void dxfInt(int gc, int value) const override {
    Code(gc);
    out_.Int(value);
    out_.Put('\n');
  }
  void dxfHex(int gc, int value) const override {
    Code(gc);
    Hex(Seed(gc) ? handle_seed : static_cast<unsigned long>(value));
  }
  void dxfString(int gc, const std::string& value) const override { dxfString(gc, value.c_str()); }
  void dxfString(int gc, const char* value) const override {
    if (gc == 5 && Seed(gc)) return dxfHex(gc, 0);
    Code(gc);
    out_.Put(value != nullptr ? value : "");
    out_.Put('\n');
    seed_next_ = gc == 9 && value != nullptr && std::strcmp(value, "$HANDSEED") == 0;
  }
  void dxfReal(int gc, double value) const override {
    Code(gc);
    out_.Real(value, true);
    out_.Put('\n');
  }

  // The group code right-aligned in three places, as CAD programs write it.
  void Code(int gc) const {
    out_.Put(gc < 10 ? "  " : gc < 100 ? " " : "");
    out_.Int(gc);
    out_.Put('\n');
  }
  void Hex(unsigned long value) const {
    out_.Hex(value);
    out_.Put('\n');
  }
  // An entity's head: `type` ("  0\nLINE\n"), the next handle, then `rest`: the subclass
  // markers and the layer (see EntityRest). Colour, line type, line weight and line type scale
  // are left out: they only said BYLAYER and 1, which is what a reader assumes when they are
  // missing, and with one entity per hatch segment they were a third of the file.
  template <size_t N>
  void Entity(const char (&type)[N], std::string_view rest) const {
    out_.Put(type);
    out_.Put("  5\n");
    Hex(m_handle++);
    out_.Put(rest);
  }
  static std::string EntityRest(const char* layer, const char* subclass) {
    return std::string("100\nAcDbEntity\n  8\n") + layer + "\n100\n" + subclass + "\n";
  }

  // $HANDSEED, the next free handle: dxflib writes FFFF whatever follows, and a drawing with
  // more entities than that has handles past it, which a CAD program may hand out again.
  unsigned long handle_seed = 0xFFFF;

 private:
  bool Seed(int gc) const {
    const bool seed = gc == 5 && seed_next_;
    seed_next_ = false;
    return seed;
  }
  FileOut& out_;
  mutable bool seed_next_ = false;  // the header variable just named is $HANDSEED
};

}  // namespace

std::string WriteDxfFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  // One walk first, before anything is written: the header's handle seed counts the entities,
  // and the anchor may measure the drawing.
  const Survey survey = SurveyOf(layers);
  const auto [sx, sy] = AnchorShift(o, survey.bounds);
  const StrokeSource source(layers, o, sx, sy);
  FileOut out(path);
  if (out.Failed()) return out.Close();
  DL_Dxf dxf;
  DxfOut dw(out);
  // Past every handle: the tables, blocks and objects take fewer than 0x1000, then one handle
  // an entity. Small drawings keep dxflib's FFFF.
  unsigned long entities = 0;
  for (int k = 0; k < 3; ++k) entities += survey.strokes[k] + survey.dots[k];
  dw.handle_seed = std::max<unsigned long>(0xFFFF, 0x1000 + entities);
  const int colours[3] = {7, 1, 5};  // white/black, red, blue
  dxf.writeHeader(dw);
  // Drawing units: a CAD program inserts and measures the text at its real size.
  dw.dxfString(9, "$INSUNITS");
  dw.dxfInt(70, InsUnits(o.unit_name));
  dw.dxfString(9, "$MEASUREMENT");
  dw.dxfInt(70, o.unit_name == "in" ? 0 : 1);
  dw.sectionEnd();
  dw.sectionTables();
  dxf.writeVPort(dw);
  dw.tableLinetypes(3);
  dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
  dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
  dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
  dw.tableEnd();
  dw.tableLayers(4);
  dxf.writeLayer(dw, DL_LayerData("0", 0), DL_Attributes("", 7, 0x00ffffff, -1, "CONTINUOUS"));
  for (int k = 0; k < 3; ++k) {
    dxf.writeLayer(dw, DL_LayerData(kStreamNames[k], 0),
                   DL_Attributes("", colours[k], 0x00ffffff, -1, "CONTINUOUS"));
  }
  dw.tableEnd();
  dw.tableStyle(1);
  dxf.writeStyle(dw, DL_StyleData("standard", 0, 2.5, 1.0, 0.0, 0, 2.5, "txt", ""));
  dw.tableEnd();
  dxf.writeView(dw);
  dxf.writeUcs(dw);
  dw.tableAppid(1);
  dxf.writeAppid(dw, "ACAD");
  dw.tableEnd();
  dxf.writeDimStyle(dw, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(dw);
  dw.tableEnd();
  dw.sectionEnd();
  dw.sectionBlocks();
  dxf.writeBlock(dw, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(dw, "*Model_Space");
  dxf.writeBlock(dw, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(dw, "*Paper_Space");
  dw.sectionEnd();

  dw.sectionEntities();
  // Output units to drawing units, divided last: at 1 mm a unit, 1271 becomes 1.271, where
  // multiplying by 0.001 gave 1.2710000000000001.
  const double per_unit = o.unit / o.unit_length;
  // With a power of ten there (1000 output units a millimetre) a whole number of output units
  // is written by integer arithmetic, the same digits the division gives.
  int places = -1;
  for (int d = 0, p = 1; d <= 9 && places < 0; ++d, p *= 10) places = per_unit == p ? d : -1;
  auto coord = [&](const char(&code)[5], double v) {
    out.Put(code);
    if (places >= 0 && std::abs(v) < 1e12 && Whole(v)) {
      out.Decimal(static_cast<long long>(v), places);
    } else {
      out.Real(v / per_unit, true);
    }
    out.Put('\n');
  };
  for (int k = 0; k < 3; ++k) {
    const std::string line = DxfOut::EntityRest(kStreamNames[k], "AcDbLine");
    const std::string polyline = DxfOut::EntityRest(kStreamNames[k], "AcDbPolyline");
    const std::string point = DxfOut::EntityRest(kStreamNames[k], "AcDbPoint");
    source.Walk(
        k,
        [&](const Stroke& s) {
          const size_t n = s.x.size();
          if (n == 2 && !s.closed && s.bulge[0] == 0) {
            // A lone straight segment, as a hatch line's piece is: a LINE says it in fewer
            // groups than a polyline of two vertices.
            dw.Entity("  0\nLINE\n", line);
            coord(" 10\n", s.x[0] + sx);
            coord(" 20\n", s.y[0] + sy);
            coord(" 11\n", s.x[1] + sx);
            coord(" 21\n", s.y[1] + sy);
            return;
          }
          // Any longer chain one polyline, its arcs as bulges: a plotter or laser follows it
          // unbroken.
          dw.Entity("  0\nLWPOLYLINE\n", polyline);
          dw.dxfInt(90, static_cast<int>(n));
          dw.dxfInt(70, s.closed ? 1 : 0);
          for (size_t i = 0; i < n; ++i) {
            coord(" 10\n", s.x[i] + sx);
            coord(" 20\n", s.y[i] + sy);
            if (std::abs(s.bulge[i]) > 1e-10) dw.dxfReal(42, s.bulge[i]);
          }
        },
        [&](double x, double y) {
          dw.Entity("  0\nPOINT\n", point);
          coord(" 10\n", x + sx);
          coord(" 20\n", y + sy);
          dw.dxfReal(30, 0.0);
        });
  }
  dw.sectionEnd();
  WriteObjects(dw);
  dw.dxfEOF();
  return out.Close();
}

}  // namespace vuzodo_cli
