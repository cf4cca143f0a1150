// Lines longer than the reader's buffer: read in pieces, with the results of short lines.
#include <gtest/gtest.h>
