#define KORVEX_NUMPY_DEFINES_TABLE
#include "korvex/python/host/numpy.hpp"

#include <cstring>

#include "korvex/python/host/error.hpp"

namespace korvex::py::numpy {
namespace {

bool imported = false;

// Walks the axes from `axis` on, appending elements in row-major order.
void copy_strided(const char* base, const npy_intp* dims, const npy_intp* strides, int axis,
                  int ndim, double*& out) {
  if (axis == ndim - 1) {
    for (npy_intp i = 0; i < dims[axis]; ++i) {
      std::memcpy(out++, base + i * strides[axis], sizeof(double));
    }
    return;
  }
  for (npy_intp i = 0; i < dims[axis]; ++i) {
    copy_strided(base + i * strides[axis], dims, strides, axis + 1, ndim, out);
  }
}

}  // namespace

Result<void> ready() {
  if (imported) return {};
  // _import_array finds the table under numpy._core (2.x) or numpy.core (1.x) and checks the
  // ABI version, so one build serves both.
  if (_import_array() < 0) {
    PyErr_Clear();
    return fail(ErrorKind::Import, "Failed to access NumPy array API capsule");
  }
  imported = true;
  return {};
}

Result<bool> is_float64_array(PyObject* object) {
  KX_TRY(ready());
  if (!PyArray_Check(object)) return false;
  PyArray_Descr* expected = PyArray_DescrFromType(NPY_DOUBLE);
  if (expected == nullptr) return python_error();
  bool equivalent =
      PyArray_EquivTypes(PyArray_DESCR(reinterpret_cast<PyArrayObject*>(object)), expected);
  Py_DECREF(expected);
  return equivalent;
}

void read_float64(PyObject* object, std::vector<uint64_t>& shape, std::vector<double>& data) {
  auto* array = reinterpret_cast<PyArrayObject*>(object);
  int ndim = PyArray_NDIM(array);
  const npy_intp* dims = PyArray_DIMS(array);
  shape.assign(dims, dims + ndim);
  npy_intp size = PyArray_SIZE(array);
  data.resize(static_cast<size_t>(size));
  if (size == 0) return;
  const char* base = static_cast<const char*>(PyArray_DATA(array));
  if (PyArray_IS_C_CONTIGUOUS(array)) {
    std::memcpy(data.data(), base, static_cast<size_t>(size) * sizeof(double));
    return;
  }
  double* out = data.data();
  if (ndim == 0) {
    std::memcpy(out, base, sizeof(double));
    return;
  }
  copy_strided(base, dims, PyArray_STRIDES(array), 0, ndim, out);
}

Result<Ref> new_float64(const std::vector<uint64_t>& shape, const double* data) {
  KX_TRY(ready());
  std::vector<npy_intp> dims(shape.begin(), shape.end());
  Ref array = Ref::steal(PyArray_SimpleNew(static_cast<int>(dims.size()), dims.data(), NPY_DOUBLE));
  if (!array) return python_error();
  npy_intp size = PyArray_SIZE(reinterpret_cast<PyArrayObject*>(array.get()));
  if (size > 0) {
    std::memcpy(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array.get())), data,
                static_cast<size_t>(size) * sizeof(double));
  }
  return array;
}

Result<Ref> new_float64_vector(const std::vector<double>& values) {
  return new_float64({values.size()}, values.data());
}

Result<Ref> new_uint64_matrix(size_t rows, size_t columns, const uint64_t* data) {
  KX_TRY(ready());
  npy_intp dims[2] = {static_cast<npy_intp>(rows), static_cast<npy_intp>(columns)};
  Ref array = Ref::steal(PyArray_SimpleNew(2, dims, NPY_UINT64));
  if (!array) return python_error();
  if (rows * columns > 0) {
    std::memcpy(PyArray_DATA(reinterpret_cast<PyArrayObject*>(array.get())), data,
                rows * columns * sizeof(uint64_t));
  }
  return array;
}

}  // namespace korvex::py::numpy
