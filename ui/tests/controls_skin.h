// A skin with every control for the controls tests: standalone scroll bars (one with an empty range, one
// whose thumb is longer than its track), progress bars in both orientations,
// two scroll containers, a text block, a button with a text, a check box and
// a radio box. Each is placed by its margin in a top-left aligned panel of a
// 400 x 300 window.
#ifndef VARNAK_UI_TESTS_CONTROLS_SKIN_H
#define VARNAK_UI_TESTS_CONTROLS_SKIN_H

#define VARNAK_BAR_PARTS(W, H)                                                           \
  "<ScrollBar.Parts>"                                                             \
  "<ButtonMin Width=\"" W "\" Height=\"" H "\" StateNormal=\"255,0,0\"/>"         \
  "<ButtonMax Width=\"" W "\" Height=\"" H "\" StateNormal=\"0,255,0\"/>"         \
  "<ButtonSlide Width=\"" W "\" Height=\"" H "\" StateNormal=\"0,0,0\"/>"         \
  "</ScrollBar.Parts>"

#define VARNAK_CONTROLS_SKIN_BODY \
    "<Panel Name=\"Root\" AlignmentX=\"Left\" AlignmentY=\"Top\" Background=\"255,255,255\">" \
    /* 0..120 x 0..20: track 20..100, thumb 20 wide, drag range -30..30 */ \
    "<ScrollBar Name=\"HBar\" Orientation=\"Horizontal\" Width=\"120\" Height=\"20\" Background=\"0,0,255\"" \
    " ScrollRange=\"0,100\" ScrollPos=\"40\" ScrollPageSize=\"10\" ScrollStep=\"5\" OnScroll=\"hscroll\">" \
    VARNAK_BAR_PARTS("20", "-1") "</ScrollBar>" \
    /* 130..150 x 0..120 */ \
    "<ScrollBar Name=\"VBar\" Margin=\"130,0,0,0\" Width=\"20\" Height=\"120\" Background=\"0,0,255\"" \
    " ScrollRange=\"0,100\" ScrollPos=\"40\" ScrollPageSize=\"10\" OnScroll=\"vscroll\">" \
    VARNAK_BAR_PARTS("-1", "20") "</ScrollBar>" \
    /* an empty range: 0..120 x 30..50 */ \
    "<ScrollBar Name=\"EBar\" Orientation=\"H\" Margin=\"0,30,0,0\" Width=\"120\" Height=\"20\" Background=\"0,0,255\"" \
    " ScrollRange=\"0,0\" ScrollPos=\"40\" ScrollPageSize=\"10\">" \
    VARNAK_BAR_PARTS("20", "-1") "</ScrollBar>" \
    /* a thumb longer than its track: 0..60 x 260..280 */ \
    "<ScrollBar Name=\"LBar\" Orientation=\"H\" Margin=\"0,260,0,0\" Width=\"60\" Height=\"20\" ScrollRange=\"0,100\">" \
    "<ScrollBar.Parts><ButtonMin Width=\"20\"/><ButtonMax Width=\"20\"/><ButtonSlide Width=\"40\"/></ScrollBar.Parts>" \
    "</ScrollBar>" \
    /* 0..100 x 60..70 and 160..170 x 0..100 */ \
    "<ProgressBar Name=\"PH\" Margin=\"0,60,0,0\" Width=\"100\" Height=\"10\" Background=\"255,255,255\"" \
    " Foreground=\"255,0,0\" MaximumF=\"200\" ValueF=\"100\"/>" \
    "<ProgressBar Name=\"PV\" Margin=\"160,0,0,0\" Width=\"10\" Height=\"100\" Background=\"255,255,255\"" \
    " Foreground=\"255,0,0\" Orientation=\"Vertical\"/>" \
    /* 200..300 x 0..80, a page twice as wide: only the horizontal bar shows */ \
    "<ScrollPanel Name=\"SP\" Margin=\"200,0,0,0\" Width=\"100\" Height=\"80\" PageSize=\"200,80\"" \
    " MouseWhellSpeed=\"30\" AlignmentX=\"Left\" AlignmentY=\"Top\">" \
    "<ScrollPanel.ScrollBar>" \
    "<ScrollBar Orientation=\"Horizontal\" Height=\"10\" Background=\"0,0,255\">" VARNAK_BAR_PARTS("10", "-1") "</ScrollBar>" \
    "<ScrollBar Orientation=\"Vertical\" Width=\"10\" Background=\"0,0,255\">" VARNAK_BAR_PARTS("-1", "10") "</ScrollBar>" \
    "</ScrollPanel.ScrollBar>" \
    "<Panel Name=\"SPChild\" Width=\"50\" Height=\"20\" Background=\"0,255,0\"/>" \
    "</ScrollPanel>" \
    /* 200..300 x 100..180, a page taller than the view in a control form */ \
    "<ScrollStackControl Name=\"SS\" Margin=\"200,100,0,0\" Width=\"100\" Height=\"80\" PageSize=\"100,200\"" \
    " MouseWhellSpeed=\"30\" AlignmentMajor=\"Top\">" \
    "<ScrollStackControl.ScrollBar>" \
    "<ScrollBar Orientation=\"Vertical\" Width=\"10\" Background=\"0,0,255\">" VARNAK_BAR_PARTS("-1", "10") "</ScrollBar>" \
    "</ScrollStackControl.ScrollBar>" \
    "<Panel Height=\"50\" Background=\"255,255,0\"/>" \
    "<Panel Height=\"50\" Background=\"0,255,0\"/>" \
    "</ScrollStackControl>" \
    "<TextBlock Name=\"TB\" Margin=\"0,200,0,0\" Text=\"Hello\" AutoWidth=\"true\" AutoHeight=\"true\"/>" \
    "<Button Name=\"Btn\" Margin=\"0,230,0,0\" Width=\"60\" Height=\"20\" Text=\"OK\" Foreground=\"255,0,0\"" \
    " OnClick=\"ok\"/>" \
    "<CheckBox Name=\"Check\" Margin=\"70,230,0,0\" Width=\"20\" Height=\"20\" AutoStateMax=\"Select\"" \
    " StateNormal=\"0,0,0\" StateNormalSelect=\"255,255,0\" OnClick=\"check\"/>" \
    "<RadioBox Name=\"Radio\" Margin=\"100,230,0,0\" Width=\"20\" Height=\"20\" AutoStateMax=\"Select\"" \
    " StateNormal=\"0,0,255\" StateNormalSelect=\"0,255,0\" OnClick=\"radio\"/>" \
    "</Panel>"

#endif
