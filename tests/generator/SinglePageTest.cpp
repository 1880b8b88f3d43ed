// PLACEHOLDER: the tests of this part come with its writer.
#include <gtest/gtest.h>
