#ifndef RULENAMES_H
#define RULENAMES_H

// The names of the line reader's correction rules, in the order they are
// tried. NSOCR_RULES_OFF takes a comma-separated list of them ("all" for
// every one) to measure the reading without them.
inline constexpr const char *correctionRuleNames[] = {
    "blank-glyph",       // a mark with no ink in its box is none
    "ink-columns",       // character boxes set on their word's columns of ink
    "cjk-no-space",      // no space between Chinese and Japanese characters
    "underscore",        // a flat stroke under the baseline across a word space is an underscore
    "lone-bar",          // a plain bar a word space apart from the rest of its word is a word of its own
    "dot-join",          // a full stop closer to the next letter than a word space joins a name ("bob.lee")
    "bar-case",          // a plain upright bar is "l", "I" or "|"
    "comma-from-stop",   // a full stop hanging below the baseline, swinging left, is a comma
    "full-stop",         // a round dot on the baseline is a full stop
    "foot-of-L",         // an "L" with hardly any foot is an "l"
    "straight-quote",    // a quote mark whose strokes are straight is a straight quote
    "cjk-full-width",    // "?", "!", ":" and ";" after a Chinese or Japanese character are full-width
};

#endif // RULENAMES_H
