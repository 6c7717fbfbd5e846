#include <gtest/gtest.h>

#include "zentrel/mesh/umesh.hpp"

using namespace zentrel;

TEST(Smoke, Builds) { UMeshBase m(ArrayF64::uninit({0, 3})); EXPECT_EQ(m.num_nodes(), 0u); }
