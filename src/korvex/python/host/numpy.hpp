// The NumPy bridge: NumPy's own C API, its table imported on first need. This header is the one
// place that names the table's symbol; only numpy.cpp defines it, every other file refers to it.
#pragma once

#include <cstdint>
#include <vector>

#include "korvex/core/error.hpp"
#include "korvex/python/host/ref.hpp"

// The oldest NumPy the package supports (1.22); the same build then runs on 1.x and 2.x.
#define NPY_TARGET_VERSION 0x0000000f
#define PY_ARRAY_UNIQUE_SYMBOL korvex_numpy_array_api
#ifndef KORVEX_NUMPY_DEFINES_TABLE
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

namespace korvex::py::numpy {

// Imports the array API table once; fails with "Failed to access NumPy array API capsule".
// Every function below calls it, so callers need not.
Result<void> ready();

// Whether `object` is an ndarray (or subclass) whose element type is equivalent to float64.
Result<bool> is_float64_array(PyObject* object);

// Copies a float64 array of any memory layout into `shape` and row-major `data` (a memcpy for
// C-contiguous aligned data, a strided walk otherwise). The object must pass is_float64_array.
void read_float64(PyObject* array, std::vector<uint64_t>& shape, std::vector<double>& data);

// New C-ordered arrays holding copies of the given data.
Result<Ref> new_float64(const std::vector<uint64_t>& shape, const double* data);
Result<Ref> new_float64_vector(const std::vector<double>& values);
Result<Ref> new_uint64_matrix(size_t rows, size_t columns, const uint64_t* data);

}  // namespace korvex::py::numpy
