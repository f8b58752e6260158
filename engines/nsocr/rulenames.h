#ifndef RULENAMES_H
#define RULENAMES_H

// The names of the line reader's correction rules, in the order they are
// tried. NSOCR_RULES_OFF takes a comma-separated list of them ("all" for
// every one) to measure the reading without them.
inline constexpr const char *correctionRuleNames[] = {
    "ink-columns",       // character boxes set on their word's columns of ink
    "extra-backslash",   // a backslash read once more beside an "@" goes
    "word-gap",          // alphabetic scripts: a space where the gap is a space's width
    "monospace-cells",   // in a fixed-width grid a space is an empty cell
    "cjk-no-space",      // no space between Chinese and Japanese characters
    "underscore-gap",    // ink flat on the baseline under a gap is an underscore
    "underscore-in-word",// ink under the baseline inside a word is an underscore
    "dotless-i-stem",    // an "i" without a dot or ink of its own is an "l"
    "dotless-i-bar",     // an "i" without a dot over a plain bar is "l" or "I"
    "bar-from-backslash",// a backslash standing straight up is a bar
    "bar-case",          // a plain upright bar is "l", "I" or "|"
    "bracket-foot",      // a bracket standing on the baseline is a serifed "l" or "I"
    "tailed-bar",        // a "|" standing on the baseline with a tail is an "l"
    "bitmap-flag",       // in a bitmap face, the top of a "1" or an "l" tells them apart
    "stop-read-twice",   // a second mark on the same dot goes
    "comma-from-stop",   // a full stop hanging below the baseline, swinging left, is a comma
    "full-stop",         // a round dot on the baseline is a full stop
    "foot-of-L",         // an "L" with hardly any foot is an "l"
    "slash-from-jf",     // a "J" or an "f" leaning forward all the way down is a slash
    "r-from-t",          // a "t" whose top is an arm reaching right is an "r"
    "at-from-G",         // a "G" closed round a hole is an "@"
    "hyphen-from-dash",  // a dash as short as a hyphen is a hyphen
    "tilde-from-quote",  // a double quote that is one wavy stroke is a tilde
    "straight-quote",    // a quote mark whose strokes are straight is a straight quote
};

#endif // RULENAMES_H
