#include "firstpass.h"
#include "linetext.h"
#include "rulenames.h"

#include <leptonica/allheaders.h>

#include <QTest>

#include <algorithm>

namespace {

// Lines are drawn as the recogniser sees them once upscaled: an x-height
// of 18 pixels and strokes 3 wide.
constexpr int baseline = 40; // the lowest row of the letters standing on it

// Ink of a few shapes, as rectangles: left, top (rows above the baseline
// negative), width, height.
struct Rect
{
    int left, top, width, height;
};
enum Shape { Small, Capital, Bar, Tailed, Dot, Comma, Ticks, Underscore, Blank };
const std::vector<Rect> shapes[] = {
    {{0, -17, 12, 3}, {0, -17, 3, 18}, {9, -17, 3, 18}, {0, -2, 12, 3}}, // an "o" or "n"
    {{0, -23, 3, 24}, {11, -23, 3, 24}, {3, -12, 8, 3}}, // an "H"
    {{0, -26, 3, 27}}, // an "l" as a plain bar
    {{0, -26, 3, 27}, {3, -1, 2, 2}}, // an "l" whose foot has a tail
    {{0, -2, 3, 3}},
    {{2, -2, 3, 3}, {1, 1, 3, 2}, {0, 3, 3, 2}},
    {{0, -26, 3, 8}, {6, -26, 3, 8}}, // a straight double quote
    {{0, 4, 14, 2}},
    {},
};

struct Drawn
{
    const char *text; // the recogniser's reading, empty for ink it does not read
    Shape shape;
    int gap = 3; // blank columns before it
    bool wordStart = false;
    int slip = 0; // how far the recogniser's box lies right of the ink
};

struct Row
{
    const char *name;
    const char *rule; // the rule that NSOCR_RULES_OFF switches off
    std::vector<Drawn> line;
    const char *on; // read with every rule
    const char *off; // read without the rule
};

// One row for each rule, and for what the scripts keep from them.
const std::vector<Row> rows = {
    {"blank-glyph", "blank-glyph", {{"o", Small}, {"_", Blank, 20, true}, {"o", Small, 20, true}}, "o o", "o _ o"},
    {"ink-columns", "ink-columns", {{"H", Capital}, {"I", Bar, 3, false, 10}, {"o", Small}}, "Hlo", "HIo"},
    {"cjk-no-space", "cjk-no-space", {{"\u65e5", Capital}, {"\u672c", Capital, 12, true}}, "\u65e5\u672c",
     "\u65e5 \u672c"},
    {"cjk-full-width", "cjk-full-width", {{"\u65e5", Capital}, {"?", Capital}}, "\u65e5\uff1f", "\u65e5?"},
    {"Korean keeps its spaces", "cjk-no-space", {{"\ud55c", Capital}, {"\uad6d", Capital, 3, true}}, "\ud55c \uad6d",
     "\ud55c \uad6d"},
    {"underscore", "underscore", {{"o", Small}, {"", Underscore, 0}, {"o", Small, 0, true}}, "o_o", "o o"},
    {"lone-bar", "lone-bar", {{"1", Bar}, {"8", Capital, 12}, {"6", Capital}, {"4", Capital, 12, true}}, "l 86 4",
     "186 4"},
    {"dot-join", "dot-join", {{"o", Small}, {"o", Small, 12, true}, {".", Dot}, {"o", Small, 3, true}}, "o o.o", "o o. o"},
    {"bar-case", "bar-case", {{"H", Capital}, {"I", Bar}, {"o", Small}}, "Hlo", "HIo"},
    {"comma-from-stop", "comma-from-stop", {{"o", Small}, {".", Comma}}, "o,", "o."},
    {"full-stop", "full-stop", {{"o", Small}, {",", Dot}}, "o.", "o,"},
    {"foot-of-L", "foot-of-L", {{"H", Capital}, {"L", Tailed}, {"o", Small}}, "Hlo", "HLo"},
    {"straight-quote", "straight-quote", {{"o", Small}, {"\u201d", Ticks}}, "o\"", "o\u201d"},
    // A bar among Cyrillic letters is no Latin "l", nor is an accented "I".
    {"Cyrillic", "bar-case", {{"2", Capital}, {"\u041d", Capital}, {"|", Bar}, {"\u043e", Small}, {"2", Capital}},
     "2\u041d|\u043e2", "2\u041d|\u043e2"},
    {"accented", "bar-case", {{"H", Capital}, {"\u00cd", Bar}, {"o", Small}}, "H\u00cdo", "H\u00cdo"},
};

// The line as drawn, and as the recogniser would have read it.
QString read(const Row &row)
{
    PixPtr pix(pixCreate(400, 2 * baseline, 1));
    GlyphLine line;
    int x = 10;
    for (const Drawn &drawn : row.line) {
        x += drawn.gap;
        int right = x;
        int top = baseline;
        for (const Rect &rect : shapes[drawn.shape]) {
            pixRasterop(pix.get(), x + rect.left, baseline + rect.top, rect.width, rect.height, PIX_SET, nullptr, 0, 0);
            right = std::max(right, x + rect.left + rect.width - 1);
            top = std::min(top, baseline + rect.top);
        }
        if (*drawn.text)
            line.push_back({drawn.text, x + drawn.slip, top, right + drawn.slip, baseline, drawn.wordStart || line.empty()});
        x = right + 1;
    }
    // The recogniser's word boxes hold their characters' boxes.
    for (auto first = line.begin(); first != line.end();) {
        const auto end = std::find_if(first + 1, line.end(), [](const Glyph &glyph) { return glyph.wordStart; });
        for (auto glyph = first; glyph != end; ++glyph) {
            glyph->wordLeft = first->left;
            glyph->wordRight = (end - 1)->right;
        }
        first = end;
    }
    const PreparedImage image;
    return QString::fromStdString(lineText(line, pix.get(), image));
}

} // namespace

class tst_LineRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rules_data();
    void rules();
    void everyRuleHasARow();
};

void tst_LineRules::rules_data()
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < rows.size(); ++i)
        QTest::newRow(rows[i].name) << int(i);
}

// The rule's reading, and the recogniser's where the rule is off.
void tst_LineRules::rules()
{
    QFETCH(int, row);
    qputenv("NSOCR_RULES_OFF", "");
    QCOMPARE(read(rows[size_t(row)]), QString::fromUtf8(rows[size_t(row)].on));
    qputenv("NSOCR_RULES_OFF", rows[size_t(row)].rule);
    QCOMPARE(read(rows[size_t(row)]), QString::fromUtf8(rows[size_t(row)].off));
    qunsetenv("NSOCR_RULES_OFF");
}

// A rule without a row would go unmeasured by this test; "all" switches
// every one off.
void tst_LineRules::everyRuleHasARow()
{
    for (const char *name : correctionRuleNames) {
        QVERIFY2(std::any_of(rows.begin(), rows.end(),
                             [name](const Row &row) { return row.rule == QByteArray(name) && qstrcmp(row.on, row.off); }),
                 name);
    }
    qputenv("NSOCR_RULES_OFF", "all");
    for (const Row &row : rows) {
        if (row.name == QByteArray(row.rule))
            QCOMPARE(read(row), QString::fromUtf8(row.off));
    }
    qunsetenv("NSOCR_RULES_OFF");
}

QTEST_APPLESS_MAIN(tst_LineRules)

#include "tst_linerules.moc"
