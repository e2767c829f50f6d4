// The call trace log, byte for byte. Expected texts are written by hand from
// the call formats hosts rely on (floats printed with six decimals).
#include <gtest/gtest.h>

#include <string>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

namespace {

// Runs `calls` on a library with an empty trace log and returns the log.
template <typename F>
std::string TraceOf(F calls) {
  LoadedLibrary lib({.trace_log = true});
  calls(lib);
  lib.Unload();
  return lib.TraceText();
}

}  // namespace

TEST(Trace, SettersIncludingRefusedCalls) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    EXPECT_EQ(VZ(lib, SetTextHeight)(-1.0f), 0);
    EXPECT_EQ(VZ(lib, SetObliqueAngle)(1.36f), 0);
    EXPECT_EQ(VZ(lib, SetCharacterScale)(0.5f, 0.0f), 0);
    EXPECT_EQ(VZ(lib, SetPropsSubscript)(0.0f, 10.0f), 0);
    EXPECT_EQ(VZ(lib, SetPropsSuperscript)(50.0f, -1.0f), 0);
    EXPECT_EQ(VZ(lib, SetFontStyle)(EN_STYLE_BOLD_ITALIC), 1);
    EXPECT_EQ(VZ(lib, SetAutoKern)(static_cast<EN_Bool>(2)), 1);
    EXPECT_EQ(VZ(lib, SetHorizontalCharGap)(0.25f), 1);
    EXPECT_EQ(VZ(lib, SetVerticalCharGap)(-0.5f), 1);
    EXPECT_EQ(VZ(lib, SetCharacterAngle)(0.125f), 1);
    EXPECT_EQ(VZ(lib, SetModeVertical)(), 1);
    EXPECT_EQ(VZ(lib, SetModePathText)(), 1);
    EXPECT_EQ(VZ(lib, SetModeCharacterBackward)(), 1);
    EXPECT_EQ(VZ(lib, SetModeCharacterUpsideDown)(), 1);
    EXPECT_EQ(VZ(lib, SetModeSubscript)(), 1);
    EXPECT_EQ(VZ(lib, SetModeSuperscript)(), 1);
    EXPECT_EQ(VZ(lib, SetModeWordWrap)(EN_TRUE), 1);
    EXPECT_EQ(VZ(lib, SetTextHorizontalAlign)(EN_HALIGN_RIGHT), 0);
    EXPECT_EQ(VZ(lib, SetTextVerticalAlign)(EN_VALIGN_MIDDLE), 0);
    EXPECT_EQ(VZ(lib, SetLineSpacingStyle)(EN_LINESPACE_FIXED), 1);
    EXPECT_EQ(VZ(lib, SetFNTConversionMode)(EN_FNT_ARCS_AS_ENTITIES), 1);
    EXPECT_EQ(VZ(lib, SetPathTextAlign)(EN_PATH_STRIKEOUT), 1);
    EXPECT_EQ(VZ(lib, SetPathTextFlip)(EN_TRUE), 1);
    EXPECT_EQ(VZ(lib, SetPathTextSpacing)(0.1), 1);
    EXPECT_EQ(VZ(lib, SetDeformPathCharacters)(EN_TRUE), 1);
  });
  EXPECT_EQ(log,
            "SetTextHeight(-1.000000);\n"
            "SetObliqueAngle(1.360000);\n"
            "SetCharacterScale(0.500000,0.000000);\n"
            "SetPropsSubscript(0.000000,10.000000);\n"
            "SetPropsSuperscript(50.000000,-1.000000);\n"
            "SetFontStyle((EN_TTFFontStyle)3);\n"
            "SetAutoKern((EN_Bool)2);\n"
            "SetHorizontalCharGap(0.250000);\n"
            "SetVerticalCharGap(-0.500000);\n"
            "SetCharacterAngle(0.125000);\n"
            "SetModeVertical();\n"
            "SetModePathText();\n"
            "SetModeCharacterBackward();\n"
            "SetModeCharacterUpsideDown();\n"
            "SetModeSubscript();\n"
            "SetModeSuperscript();\n"
            "SetModeWordWrap((EN_Bool)1);\n"
            "SetTextHorizontalAlign((EN_TextHorizontalAlignStyle)2);\n"
            "SetTextVerticalAlign((EN_TextVerticalAlignStyle)1);\n"
            "SetLineSpacingStyle((EN_LineSpaceStyle)1);\n"
            "SetFNTConversionMode((EN_FNT_ConvertionStyle)1);\n"
            "SetPathTextAlign(3);\n"
            "SetPathTextFlip(1);\n"
            "SetPathTextSpacing(0.100000);\n"
            "SetDeformPathCharacters(1);\n");
}

TEST(Trace, GuardedCallsWriteNothing) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    std::u16string empty;
    EXPECT_EQ(VZ(lib, SetFontFace)(nullptr), 0);
    EXPECT_EQ(VZ(lib, AppendCharacters)(nullptr), 0);
    EXPECT_EQ(VZ(lib, AppendCharacters)(W(empty)), 0);
    EXPECT_EQ(VZ(lib, AppendCharactersEx)(W(empty)), 0);
    EXPECT_EQ(VZ(lib, AppendCharactersOVF)(nullptr), 0);
    VZ(lib, UnloadAllFonts)();  // never traced
  });
  EXPECT_EQ(log, "");
}

TEST(Trace, StringsPrintAsTheirText) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    std::u16string face = Wide("Liberation Sans"), text = Wide("A\xC3\xA9\xE4\xB8\xAD"),
                   ovf = Wide("xyz");
    EXPECT_EQ(VZ(lib, SetFontFace)(W(face)), 1);
    EXPECT_EQ(VZ(lib, AppendCharacters)(W(text)), 1);
    EXPECT_EQ(VZ(lib, AppendCharactersEx)(W(text)), 1);
    EXPECT_EQ(VZ(lib, AppendCharactersOVF)(W(ovf)), 1);
    EXPECT_EQ(VZ(lib, FinishText)(), 1);
  });
  // No semicolon after AppendCharacters: hosts' logs have always read so.
  EXPECT_EQ(log,
            "SetFontFace(Liberation Sans);\n"
            "AppendCharacters(A\xC3\xA9\xE4\xB8\xAD)\n"
            "AppendCharactersEx(A\xC3\xA9\xE4\xB8\xAD);\n"
            "AppendCharactersOVF(xyz);\n"
            "FinishText();\n");
}

TEST(Trace, IndentPositionsReadAsASnippet) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    float list[2] = {1.5f, 3.0f};
    EXPECT_EQ(VZ(lib, SetIndentPositions)(list, 2), 0);
    EXPECT_EQ(VZ(lib, SetIndentPositions)(nullptr, 0), 0);
  });
  EXPECT_EQ(log,
            "float indentList[2] = {1.500000f,3.000000f,};\nSetIndentPositions(indentList, 2);\n"
            "float indentList[0] = {};\nSetIndentPositions(indentList, 0);\n");
}

TEST(Trace, SetDefaultsWritesItsCallsInOrder) {
  const std::string log = TraceOf([](LoadedLibrary& lib) { EXPECT_EQ(VZ(lib, SetDefaults)(), 1); });
  EXPECT_EQ(log,
            "SetDefaults();\n"
            "SetFontFace(Arial);\n"
            "SetTextHeight(1.000000);\n"
            "SetFontStyle((EN_TTFFontStyle)0);\n"
            "SetHorizontalCharGap(0.000000);\n"
            "SetVerticalCharGap(0.000000);\n"
            "SetCharacterAngle(0.000000);\n"
            "SetObliqueAngle(0.000000);\n"
            "SetCharacterScale(1.000000,1.000000);\n"
            "SetAutoKern((EN_Bool)0);\n"
            "SetModeHorizontal();\n"
            "SetModeCharacterForward();\n"
            "SetModeCharacterUpside();\n"
            "SetModeNoscript();\n"
            "SetPropsSubscript(100.000000,100.000000);\n"
            "SetPropsSuperscript(100.000000,100.000000);\n"
            "ClearTTFHatchPatterns();\n"
            "IncludeBorder((EN_Bool)1);\n"
            "SetModeWordWrap((EN_Bool)0);\n"
            "SetTextBoxWidth(0.000000);\n"
            "SetTextBoxHeight(0.000000);\n"
            "float indentList[0] = {};\nSetIndentPositions(indentList, 0);\n"
            "SetTextHorizontalAlign((EN_TextHorizontalAlignStyle)0);\n"
            "SetTextVerticalAlign((EN_TextVerticalAlignStyle)0);\n"
            "SetLineSpacing(1.000000);\n"
            "SetLineSpacingStyle((EN_LineSpaceStyle)0);\n");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 27);
}

TEST(Trace, HatchRequestsPrintTheirChosenArguments) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternLine)(0.1f, BORDER_GAP_OUTWARD, 0.05f, 0.5f, 1.0f, 2.0f,
                                              HATCH_SERPENTINE, EN_TRUE), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternLineEx)(0.1f, BORDER_GAP_INWARD, 0.05f, 0.5f, 1.0f, 2.0f,
                                                HATCH_DOUBLE, EN_TRUE, EN_OFFSET_CLEANUP,
                                                EN_CORNER_ROUND, 7, 8), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternOptimized)(0.1f, BORDER_GAP_OUTWARD, 0.05f, 0.5f, 0.2f,
                                                   HATCH_SERPENTINE_CONNECTED), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternIncremental)(0.1f, BORDER_GAP_INWARD, 0.05f, 0.5f, 0.25f,
                                                     3, HATCH_TWO_PASSES), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternOffsetFilling)(0.5f, EN_OFFSET_INSIDE_OUT), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternOffsetFillingEx)(0.5f, EN_OFFSET_OUTSIDE_IN,
                                                         EN_OFFSET_CLEANUP, EN_CORNER_ROUND, 4,
                                                         5), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternOffsetInOut)(0.5f, 2, 0.25f, 3), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternOffsetInOutEx)(0.5f, 2, 0.25f, 3, EN_OFFSET_CLEANUP,
                                                       EN_CORNER_BEVEL, 6, 9), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternHelixFillingEx)(0.5f, EN_HELIX_INSIDE_OUT,
                                                        EN_OFFSET_CLEANUP, EN_CORNER_ROUND, 11,
                                                        12), 1);
    EXPECT_EQ(VZ(lib, AddTTFHatchPatternLattice)(1, 2, 45, 3, 4, true), 1);
    EXPECT_EQ(VZ(lib, ClearTTFHatchPatterns)(), 1);
    EXPECT_EQ(VZ(lib, IncludeBorder)(EN_FALSE), 1);
  });
  EXPECT_EQ(log,
            "AddTTFHatchPatternLine(0.100000,1,0.050000,0.500000,1.000000)\n"
            "AddTTFHatchPatternLineEx(0.100000,0,0.050000,0.500000,1.000000,2.000000,3,1,1);\n"
            "AddTTFHatchPatternOptimized(0.100000, 1, 0.050000, 0.500000, 0.200000, 2);\n"
            "AddTTFHatchPatternIncremental(0.100000, 0, 0.050000, 0.500000, 0.250000, 3, 4);\n"
            "AddTTFHatchPatternOffsetFilling(0.500000,1)\n"
            "AddTTFHatchPatternOffsetFillingEx(0.500000,0,2,1);\n"
            "AddTTFHatchPatternOffsetInOut(0.500000,2,0.250000,3)\n"
            "AddTTFHatchPatternOffsetInOutEx(0.500000,2,0.250000,3,1);\n"
            "AddTTFHatchPatternHelixFillingEx(0.500000,11,12);\n"
            "AddHatchPatternLattice2(1.000000, 2.000000, 45.000000, 3.000000, 4.000000, 1);\n"
            "ClearTTFHatchPatterns();\n"
            "IncludeBorder((EN_Bool)0);\n");
}

TEST(Trace, QueriesFontsPathsAndRetrieval) {
  const std::string log = TraceOf([](LoadedLibrary& lib) {
    std::u16string face = Wide("Arial");
    VZ(lib, InitializeTTF)(500.0f);
    VZ(lib, GetCharacterCount)(-1);
    VZ(lib, GetTextLineCount)();
    VZ(lib, GetMaximumAscent)();
    VZ(lib, GetMaximumDecent)();
    VZ(lib, GetMaximumLineGap)();
    VZ(lib, GetPathLengthOfCharacters)();
    CharacterLineGapInfo info[4];
    VZ(lib, GetCharacterLineGapInfo)(info);
    VZ(lib, LoadCharacterRange)(W(face), EN_STYLE_BOLD, 65, 90);
    int codes[2] = {65, 66};
    VZ(lib, LoadCharacterSet)(W(face), EN_STYLE_ITALIC, codes, 2);
    VZ(lib, UnloadFont)(W(face), EN_STYLE_REGULAR);
    VZ(lib, SetNurbPathCircleCCW)(1.0f, 2.0f, 3.0f, 0.5f);
    float pts[4] = {0, 0, 1, 1};
    VZ(lib, SetNurbPathPolyline)(pts, 4, 0.0f);
    float* carets = nullptr;
    VZ(lib, GetCaretPositionData)(&carets);
    VZ(lib, DeleteCaretData)(carets);
    float box[4];
    VZ(lib, GetTotalBoundingBox)(box);
    VZ(lib, DeleteTTFData)(nullptr);
  });
  EXPECT_EQ(log,
            "InitializeTTF(500.000000);\n"
            "GetCharacterCount(-1);\n"
            "GetTextLineCount();\n"
            "GetMaximumAscent();\n"
            "GetMaximumDecent();\n"
            "GetMaximumLineGap();\n"
            "GetPathLengthOfCharacters();\n"
            "GetCharacterLineGapInfo();\n"
            "LoadCharacterRange(Arial,1,65,90);\n"
            "LoadCharacterSet(Arial,2);\n"
            "UnloadFont(Arial,0);\n"
            "SetNurbPathCircleCCW(1.000000,2.000000,3.000000,0.500000);\n"
            "SetNurbPathPoints();\n"
            "SetNurbPathPolyline();\n"
            "GetCaretPositionData();\n"
            "DeleteCaretData();\n"
            "GetTotalBoundingBox();\n"
            "DeleteTTFData();\n");
}

TEST(Trace, RetrievalWritesItsFrameAndTheDump) {
  LoadedLibrary lib({.trace_log = true, .dump_log = true});
  int* data = nullptr;
  EXPECT_EQ(VZ(lib, GetOutLinesEx)(-1, EN_RT_FILL, &data, nullptr), 1);
  VZ(lib, DeleteTTFData)(data);
  lib.Unload();
  const std::string log = lib.TraceText();
  const std::string head = "GetOutLinesEx(-1,1,...);\n********************\nNo = 1, Data = ";
  ASSERT_EQ(log.substr(0, head.size()), head);
  const std::string tail = " \nFinishing GetOutLinesEx\n********************\nDeleteTTFData();\n";
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  EXPECT_EQ(lib.DumpText(), "--------\ncount = 1\ncmd = -1\n");
}
