#pragma once

// The colour dialog's arithmetic without its window: the swatches derived from one base
// colour, the track bar's brightness shift and the "%d.%d.%d" hints.

#include "model/Values.h"

#include <array>
#include <string>

// Red, green and blue of a colour (its low three bytes; a top byte is ignored).
int RedOf(TColor color);
int GreenOf(TColor color);
int BlueOf(TColor color);

// A base colour split into its channels ranked by value: Channel[0] is the channel (0 red,
// 1 green, 2 blue) of rank 1, Channel[1] that of rank 2, Channel[2] that of rank 3, with the
// fixed tie-breaks of the dialog; H >= M >= L are their values.
struct TColorSplit {
    std::array<int, 3> Channel{};
    int H = 0;
    int M = 0;
    int L = 0;

    int Range() const { return H - L; }
    // The range halved with the remainder dropped, and what is left of it.
    int FirstHalf() const { return Range() / 2; }
    int SecondHalf() const { return Range() - FirstHalf(); }

    // The colour whose rank-1 channel is w1, rank-2 channel w2 and rank-3 channel w3.
    TColor Compose(int w1, int w2, int w3) const;
    // The colour whose channels are 255 minus those values.
    TColor Complement(int w1, int w2, int w3) const;
};

TColorSplit SplitColor(TColor base);

// The sixteen derived swatches: element 0 is Shape1, element 15 Shape16 (four rows of
// four, left to right).
constexpr int DerivedSwatchCount = 16;
std::array<TColor, DerivedSwatchCount> DeriveSwatches(TColor base);

// The base colour after the track bar moved to position: its highest channel becomes
// position and the other two move by the same amount, stopping at 0.
TColor ShiftBaseColor(TColor base, int position);

// "%d.%d.%d" of red, green and blue.
std::string ColorHint(TColor color);
