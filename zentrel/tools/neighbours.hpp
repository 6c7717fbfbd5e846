#pragma once

// The topological algorithms over sub-entities, one per header.
#include "zentrel/tools/boundaries.hpp"
#include "zentrel/tools/connected_components.hpp"
#include "zentrel/tools/descending.hpp"
#include "zentrel/tools/neighbours_graph.hpp"
#include "zentrel/tools/src_target_codim.hpp"
