#pragma once

#include <map>

#include "zentrel/mesh/element_type.hpp"
#include "zentrel/mesh/ndarray.hpp"
#include "zentrel/mesh/umesh.hpp"

namespace zentrel {

using MeasureMap = std::map<ElementType, ArrayF64>;

// One array per block of the mesh's highest dimension (entry i = measure of element i), the
// formula family chosen by the coordinate width. Fails without element blocks, for a space of
// width 1 or above 3, and for a measured type with no formula in that space.
MeasureMap measure(const UMeshBase& mesh);

// Stores the measures as the field "Measure" of the highest-dimension blocks. Everything is
// computed before the mesh is touched, so a failure leaves it unchanged.
void measure_update(UMeshBase& mesh);

}  // namespace zentrel
