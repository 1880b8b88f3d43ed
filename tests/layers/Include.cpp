// Compiled by the layer tests with only one layer's include roots: HEADER names a header of
// a layer that this one may or may not see.
#include HEADER
