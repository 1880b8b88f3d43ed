#pragma once

// Contrast of colours as the web's accessibility guidelines measure it: the relative
// luminance of each colour and the ratio between the lighter and the darker one, from 1
// (the same) to 21 (black on white). Text wants 4.5 on its background, large text 3.

#include "model/Values.h"

// The relative luminance of a plain colour, 0 (black) to 1 (white).
double RelativeLuminance(TColor color);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter of the two.
double ContrastRatio(TColor a, TColor b);

// The colour with its hue and saturation kept and its lightness moved, as little as it
// takes, until it stands at least ratio from background: darker on a light background,
// lighter on a dark one (the other way when that way cannot reach it). A colour that passes
// already comes back unchanged; black or white when no lightness of its hue reaches it.
TColor WithContrast(TColor color, TColor background, double ratio);

// The colour with its hue and saturation kept and its HSL lightness set to lightness
// (0 to 1).
TColor WithLightness(TColor color, double lightness);
