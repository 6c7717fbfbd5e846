#pragma once

// One NumPy API table for the whole module; module.cpp defines ZENTRA_IMPORT_NUMPY and imports it.
#include "pyref.hpp"

#define PY_ARRAY_UNIQUE_SYMBOL zentra_ARRAY_API
#ifndef ZENTRA_IMPORT_NUMPY
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>
