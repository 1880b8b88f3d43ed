#include "model/ColorScheme.h"

#include <algorithm>

int RedOf(TColor color) {
    return static_cast<int>(static_cast<std::uint32_t>(color) & 0xFFu);
}

int GreenOf(TColor color) {
    return static_cast<int>((static_cast<std::uint32_t>(color) >> 8) & 0xFFu);
}

int BlueOf(TColor color) {
    return static_cast<int>((static_cast<std::uint32_t>(color) >> 16) & 0xFFu);
}

TColor TColorSplit::Compose(int w1, int w2, int w3) const {
    std::array<int, 3> rgb{};
    rgb[static_cast<std::size_t>(Channel[0])] = w1;
    rgb[static_cast<std::size_t>(Channel[1])] = w2;
    rgb[static_cast<std::size_t>(Channel[2])] = w3;
    return RGBColor(rgb[0], rgb[1], rgb[2]);
}

TColor TColorSplit::Complement(int w1, int w2, int w3) const {
    return Compose(255 - w1, 255 - w2, 255 - w3);
}

TColorSplit SplitColor(TColor base) {
    enum { Red, Green, Blue };
    const int r = RedOf(base), g = GreenOf(base), b = BlueOf(base);
    TColorSplit split;
    if (r >= g && r >= b)
        split.Channel =
            g > b ? std::array<int, 3>{Red, Green, Blue} : std::array<int, 3>{Red, Blue, Green};
    else if (g >= r && g >= b)
        split.Channel =
            b > r ? std::array<int, 3>{Green, Blue, Red} : std::array<int, 3>{Green, Red, Blue};
    else
        split.Channel =
            r > g ? std::array<int, 3>{Blue, Red, Green} : std::array<int, 3>{Blue, Green, Red};
    const std::array<int, 3> value{r, g, b};
    split.H = value[static_cast<std::size_t>(split.Channel[0])];
    split.M = value[static_cast<std::size_t>(split.Channel[1])];
    split.L = value[static_cast<std::size_t>(split.Channel[2])];
    return split;
}

namespace {

// The three working values W1, W2, W3 of one derivation.
struct TWorking {
    int W1, W2, W3;
};

// X grows by amount; what goes above h is taken from Y instead.
void RaiseHeld(int& x, int& y, int amount, int h) {
    x += amount;
    if (x > h) {
        y -= x - h;
        x = h;
    }
}

// X shrinks by amount; what would go below l is added to Y instead.
void LowerHeld(int& x, int& y, int amount, int l) {
    x -= amount;
    if (x < l) {
        y += l - x;
        x = l;
    }
}

} // namespace

std::array<TColor, DerivedSwatchCount> DeriveSwatches(TColor base) {
    const TColorSplit s = SplitColor(base);
    const int first = s.FirstHalf(), second = s.SecondHalf();
    std::array<TColor, DerivedSwatchCount> swatch{};
    TWorking w{s.H, s.M, s.L};
    auto put = [&](int shape) {
        swatch[static_cast<std::size_t>(shape - 1)] = s.Compose(w.W1, w.W2, w.W3);
    };
    auto restart = [&] { w = TWorking{s.H, s.M, s.L}; };

    put(1);
    if (s.M == s.H) {
        // Every gray is here: the top two channels go down, the lowest one up.
        w.W1 -= first, put(2);
        w.W1 -= second, put(3);
        w.W3 += first, put(4);
        w.W3 += second, put(8);
        w.W2 -= first, put(12);
        w.W2 -= second, put(16);
        restart();
        w.W2 -= first, put(5);
        w.W2 -= second, put(9);
        w.W3 += first, put(13);
        w.W3 += second, put(14);
        w.W1 -= first, put(15);
    } else if (s.M == s.L) {
        w.W3 += first, put(2);
        w.W3 += second, put(3);
        w.W1 -= first, put(4);
        w.W1 -= second, put(8);
        w.W2 += first, put(12);
        w.W2 += second, put(16);
        restart();
        w.W2 += first, put(5);
        w.W2 += second, put(9);
        w.W1 -= first, put(13);
        w.W1 -= second, put(14);
        w.W3 += first, put(15);
    } else {
        // Three different channels: the second half serves only Shape3.
        RaiseHeld(w.W2, w.W1, first, s.H), put(2);
        RaiseHeld(w.W2, w.W1, second, s.H), put(3);
        LowerHeld(w.W1, w.W3, first, s.L), put(4);
        LowerHeld(w.W1, w.W3, first, s.L), put(8);
        RaiseHeld(w.W3, w.W2, first, s.H), put(12);
        RaiseHeld(w.W3, w.W2, first, s.H), put(16);
        restart();
        LowerHeld(w.W2, w.W3, first, s.L), put(5);
        LowerHeld(w.W2, w.W3, first, s.L), put(9);
        RaiseHeld(w.W3, w.W1, first, s.H), put(13);
        RaiseHeld(w.W3, w.W1, first, s.H), put(14);
        LowerHeld(w.W1, w.W2, first, s.L), put(15);
    }

    // Lighter swatches for a dark base, darker ones for a light base, with their
    // complements below them.
    const int step = s.H <= 127 ? 51 : -51;
    auto clip = [](int value) { return std::clamp(value, 0, 255); };
    restart();
    for (int shape : {6, 7}) {
        w = TWorking{clip(w.W1 + step), clip(w.W2 + step), clip(w.W3 + step)};
        put(shape);
        swatch[static_cast<std::size_t>(shape + 4 - 1)] = s.Complement(w.W1, w.W2, w.W3);
    }
    return swatch;
}

TColor ShiftBaseColor(TColor base, int position) {
    const TColorSplit s = SplitColor(base);
    const int shift = position - s.H;
    auto moved = [shift](int value) { return std::max(value + shift, 0); };
    return s.Compose(moved(s.H), moved(s.M), moved(s.L));
}

std::string ColorHint(TColor color) {
    return std::to_string(RedOf(color)) + "." + std::to_string(GreenOf(color)) + "." +
           std::to_string(BlueOf(color));
}
