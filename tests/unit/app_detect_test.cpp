// Recognising the focus window's application from class names and titles up its parent chain.
#include <string>

#include "tests/unit/library_test.h"
#include "typing/app_detect.h"
#include "typing/controller_link.h"

using namespace fakewin;

namespace {

// A focus window four generations deep: 4th ancestor (class) > great-grand-parent (title) >
// grand-parent (title) > parent > focus (class).
struct Chain {
  const char* name;
  std::string focusClass;
  std::string grandParentTitle;
  std::string greatGrandParentTitle = "";
  std::string fourthAncestorClass = "";
};

struct Expect {
  int app;
  int word;
  int illustrator;
  int bypassedInFalse;  // IsBypassedApplication in typing mode "FALSE"; 0 in every other mode
};

struct DetectCase {
  Chain chain;
  Expect expect;
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.chain.name; }

struct Windows {
  HWND fourth, greatGrandParent, grandParent, parent, focus;
};

Windows Build(Desktop& d, const Chain& c) {
  Windows w;
  w.fourth = d.AddWindow(c.fourthAncestorClass, "Main");
  w.greatGrandParent = d.AddWindow("Frame", c.greatGrandParentTitle, w.fourth);
  w.grandParent = d.AddWindow("Frame", c.grandParentTitle, w.greatGrandParent);
  w.parent = d.AddWindow("Pane", "Pane", w.grandParent);
  w.focus = d.AddWindow(c.focusClass, "Document", w.parent);
  d.SetFocus(w.focus);
  return w;
}

const std::string kLong(300, 'x');

}  // namespace

class DetectTest : public LibraryTestWithParam<DetectCase> {};

TEST_P(DetectTest, EveryWindowTestAgreesWithTheChain) {
  const DetectCase& c = GetParam();
  Build(d, c.chain);

  EXPECT_EQ(DetectTargetApplication(), c.expect.app);
  EXPECT_EQ(IsWordDocumentFocus(), c.expect.word);
  EXPECT_EQ(IsIllustratorFrame(), c.expect.illustrator);
  SetTypingMode(kTypingModeFalse);
  EXPECT_EQ(IsBypassedApplication(), c.expect.bypassedInFalse) << "mode FALSE";
  SetTypingMode(kTypingModeTrue);
  EXPECT_EQ(IsBypassedApplication(), 0) << "mode TRUE";
}

INSTANTIATE_TEST_SUITE_P(
    Chains, DetectTest,
    ::testing::Values(
        // Class names come first, with their own case rules.
        DetectCase{{"EditUnderPhotoshop", "Edit", "Adobe Photoshop"}, {1, 0, 0, 1}},
        DetectCase{{"EditLowerCase", "edit", ""}, {1, 0, 0, 0}},
        DetectCase{{"EditUpperCase", "EDIT", ""}, {1, 0, 0, 0}},
        DetectCase{{"EditBox", "EditBox", ""}, {-1, 0, 0, 0}},
        DetectCase{{"EditBoxUnderPhotoshop", "EditBox", "", "Adobe Photoshop 7.0"}, {4, 0, 0, 0}},
        DetectCase{{"Toccata", "ToccataFrame", ""}, {2, 0, 0, 0}},
        DetectCase{{"TOCCATA", "TOCCATA", ""}, {2, 0, 0, 0}},
        DetectCase{{"WordExact", "_WwG", ""}, {3, 1, 0, 0}},
        DetectCase{{"WordLowerCase", "_wwg", ""}, {3, 0, 0, 0}},
        DetectCase{{"WordLongerClass", "_WwGx", ""}, {3, 0, 0, 0}},
        // Titles of the grand-parent and great-grand-parent.
        DetectCase{{"Photoshop", "Canvas", "Adobe Photoshop CS2"}, {4, 0, 0, 1}},
        DetectCase{{"PhotoshopLowerCase", "Canvas", "adobe photoshop"}, {4, 0, 0, 0}},
        DetectCase{{"PhotoshopOnGreatGrandParent", "Canvas", "Untitled-1", "Adobe Photoshop"},
                   {4, 0, 0, 0}},
        DetectCase{{"ImageReady", "Canvas", "Adobe ImageReady 7.0"}, {5, 0, 0, 0}},
        DetectCase{{"ImageReadyOnGreatGrandParent", "Canvas", "", "ADOBE IMAGEREADY"},
                   {5, 0, 0, 0}},
        DetectCase{{"FreeHandExact", "Canvas", "FreeHand"}, {-2, 0, 0, 0}},
        DetectCase{{"FreeHandLowerCase", "Canvas", "freehand"}, {-2, 0, 0, 0}},
        DetectCase{{"FreeHandMX", "Canvas", "FreeHand MX"}, {-1, 0, 0, 1}},
        DetectCase{{"FreeHand10", "Canvas", "FreeHand 10"}, {-1, 0, 0, 1}},
        DetectCase{{"FlashOnGreatGrandParent", "Canvas", "", "Macromedia Flash MX"}, {-3, 0, 0, 0}},
        DetectCase{{"FlashOnGrandParentOnly", "Canvas", "Macromedia Flash MX"}, {-1, 0, 0, 0}},
        DetectCase{{"Illustrator", "Canvas", "Adobe Illustrator 10"}, {-4, 0, 1, 1}},
        DetectCase{{"IllustratorLowerCase", "Canvas", "adobe illustrator 10"}, {-4, 0, 0, 0}},
        DetectCase{{"IllustratorShortTitle", "Canvas", "Adobe Illu"}, {-1, 0, 0, 0}},
        DetectCase{{"CorelDraw", "AfxFrameOrView42", "", "", "CorelDRAW 12"}, {-5, 0, 0, 0}},
        DetectCase{{"CorelDrawAncestorAnyCase", "AfxFrameOrView42", "", "", "coreldraw"},
                   {-5, 0, 0, 0}},
        DetectCase{{"AfxUnderOtherAncestor", "AfxFrameOrView42", "", "", "Corel"}, {-1, 0, 0, 0}},
        DetectCase{{"AfxLowerCase", "afxframeorview42", "", "", "CorelDRAW 12"}, {-1, 0, 0, 0}},
        // The applications that take no Farsi typing in mode "FALSE".
        DetectCase{{"QuarkXPress", "Canvas", "QuarkXPress Passport"}, {-1, 0, 0, 1}},
        DetectCase{{"QuarkXPressLowerCase", "Canvas", "quarkxpress"}, {-1, 0, 0, 0}},
        DetectCase{{"PageMaker", "Canvas", "Adobe PageMaker 7.0"}, {-1, 0, 0, 1}},
        DetectCase{{"InDesign", "Canvas", "Adobe InDesign CS"}, {-1, 0, 0, 1}},
        DetectCase{{"PhotoExactly11", "Canvas", "Adobe Photo"}, {-1, 0, 0, 1}},
        DetectCase{{"PhotoOneShort", "Canvas", "Adobe Phot"}, {-1, 0, 0, 0}},
        // Names longer than the buffers, empty, or with bytes above 0x7F.
        DetectCase{{"LongNames", kLong, kLong, kLong, kLong}, {-1, 0, 0, 0}},
        DetectCase{{"LongPhotoshopTitle", "Canvas", "Adobe Photoshop " + kLong}, {4, 0, 0, 1}},
        DetectCase{{"EmptyNames", "", "", "", ""}, {-1, 0, 0, 0}},
        DetectCase{{"HighBytes", "\xC9\xE9", "Adobe \xC9llustrator", "\xFF\xFE"}, {-1, 0, 0, 0}},
        DetectCase{{"HighByteAfterPrefix", "Edit\xE9", "Adobe Illustrator \xE9"}, {-4, 0, 1, 1}}),
    [](const auto& info) { return std::string(info.param.chain.name); });

TEST_F(LibraryTest, DetectionReadsBothTitlesThenTheFocusClass) {
  const Windows w = Build(d, {"", "Canvas", "Untitled", "Main"});
  DetectTargetApplication();
  EXPECT_ALL_CALLS(d, {GetWindowTextCall(w.grandParent, 256),
                       GetWindowTextCall(w.greatGrandParent, 256), GetClassNameCall(w.focus, 256)});
}

TEST_F(LibraryTest, FourthAncestorIsReadOnlyForTheCorelDrawView) {
  const Windows w = Build(d, {"", "AfxFrameOrView42", "", "", "CorelDRAW 12"});
  EXPECT_EQ(DetectTargetApplication(), kAppCorelDraw);
  EXPECT_ALL_CALLS(
      d, {GetWindowTextCall(w.grandParent, 256), GetWindowTextCall(w.greatGrandParent, 256),
          GetClassNameCall(w.focus, 256), GetClassNameCall(w.fourth, 256)});
}

TEST_F(LibraryTest, TheOtherTestsReadOneName) {
  const Windows w = Build(d, {"", "_WwG", "Document1 - Microsoft Word"});
  SetTypingMode(kTypingModeTrue);
  IsWordDocumentFocus();
  IsIllustratorFrame();
  IsBypassedApplication();  // reads the title even when the mode rules the answer out
  EXPECT_ALL_CALLS(d, {GetClassNameCall(w.focus, 256), GetWindowTextCall(w.grandParent, 256),
                       GetWindowTextCall(w.grandParent, 256)});
}

TEST_F(LibraryTest, NoFocusWindowMatchesNothing) {
  d.AddWindow("Frame", "Adobe Illustrator 10");
  SetTypingMode(kTypingModeFalse);
  EXPECT_EQ(DetectTargetApplication(), kAppNone);
  EXPECT_EQ(IsWordDocumentFocus(), 0);
  EXPECT_EQ(IsIllustratorFrame(), 0);
  EXPECT_EQ(IsBypassedApplication(), 0);
}

TEST_F(LibraryTest, ShortChainsReadMissingAncestorsAsEmpty) {
  HWND top = d.AddWindow("Frame", "Adobe Illustrator 10");
  d.SetFocus(d.AddWindow("Canvas", "", top));  // the grand-parent does not exist
  EXPECT_EQ(DetectTargetApplication(), kAppNone);
  EXPECT_EQ(IsIllustratorFrame(), 0);
}

TEST_F(LibraryTest, OwnedTopLevelWindowsCountAsParents) {
  HWND frame = d.AddWindow("Frame", "Adobe Illustrator 10");
  WindowSpec palette{"Palette", "Character"};
  palette.owner = frame;
  HWND owned = d.AddWindow(palette);
  d.SetFocus(d.AddWindow("Edit2", "", owned));
  EXPECT_EQ(DetectTargetApplication(), kAppIllustrator);
  EXPECT_EQ(IsIllustratorFrame(), 1);
}

TEST_F(LibraryTest, EmptyTypingModeIsNotFalseForTheBypassTest) {
  Build(d, {"", "Canvas", "QuarkXPress 6"});
  EXPECT_EQ(IsBypassedApplication(), 0);
  SetTypingMode(kTypingModeFalse);
  EXPECT_EQ(IsBypassedApplication(), 1);
  static const char kLowerCaseFalse[] = "false";  // the mode is compared ignoring case
  SetTypingMode(kLowerCaseFalse);
  EXPECT_EQ(IsBypassedApplication(), 1);
}
