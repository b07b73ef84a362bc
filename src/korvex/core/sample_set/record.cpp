#include "korvex/core/sample_set/record.hpp"

#include "korvex/core/sample_set/number_text.hpp"

namespace korvex::sample_set {

Result<NdArray> coo_to_dense(const CooFormat& coo) {
  const size_t count = coo.non_zero_values.size();
  const size_t axes = coo.non_zero_indices.size();
  // Short index lists would leave values without coordinates; refuse before allocating.
  for (size_t a = 0; a < axes; ++a) {
    if (coo.non_zero_indices[a].size() < count) {
      return fail(ErrorKind::Index, "the index list of axis " + std::to_string(a) + " holds " +
                                        std::to_string(coo.non_zero_indices[a].size()) +
                                        " indices, fewer than the " + std::to_string(count) +
                                        " values of the sparse sample");
    }
  }
  KX_TRY_ASSIGN(size, checked_element_count(coo.shape));
  NdArray array;
  array.shape = coo.shape;
  array.data.assign(coo.shape.empty() ? 1 : static_cast<size_t>(size), 0.0);
  const size_t ndim = coo.shape.size();
  for (size_t k = 0; k < count; ++k) {
    uint64_t offset = 0;
    bool fits = axes == ndim;
    for (size_t a = 0; fits && a < ndim; ++a) {
      uint64_t index = coo.non_zero_indices[a][k];
      if (index >= coo.shape[a]) fits = false;
      offset = offset * coo.shape[a] + index;
    }
    if (!fits) {
      std::vector<uint64_t> coordinates;
      coordinates.reserve(axes);
      for (size_t a = 0; a < axes; ++a) coordinates.push_back(coo.non_zero_indices[a][k]);
      std::string message = "Failed to get a mutable reference to the array at ";
      append_index_list(message, coordinates);
      message += ". This might be caused by the shape mismatch. shape: ";
      append_index_list(message, coo.shape);
      return fail(ErrorKind::Index, std::move(message));
    }
    array.data[offset] = coo.non_zero_values[k];
  }
  return array;
}

CooFormat dense_to_coo(const NdArray& array) {
  CooFormat coo;
  const size_t ndim = array.shape.size();
  coo.shape = array.shape;
  coo.non_zero_indices.resize(ndim);
  const double* data = array.data.data();
  const size_t size = array.data.size();
  size_t nonzero = 0;
  for (size_t i = 0; i < size; ++i) nonzero += data[i] != 0.0;
  coo.non_zero_values.reserve(nonzero);
  for (auto& list : coo.non_zero_indices) list.reserve(nonzero);
  if (ndim == 0) {
    if (size == 1 && data[0] != 0.0) coo.non_zero_values.push_back(data[0]);
    return coo;
  }
  // Coordinates of element i, advanced like an odometer so each step is O(1) amortised.
  std::vector<uint64_t> index(ndim, 0);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0.0) {
      coo.non_zero_values.push_back(data[i]);
      for (size_t a = 0; a < ndim; ++a) coo.non_zero_indices[a].push_back(index[a]);
    }
    for (size_t a = ndim; a-- > 0;) {
      if (++index[a] < array.shape[a]) break;
      index[a] = 0;
    }
  }
  return coo;
}

Result<Record> to_dense(const Record& record) {
  if (is_dense(record)) return record;
  Record out;
  out.num_occurrences = record.num_occurrences;
  DenseMap dense;
  for (const auto& [name, samples] : std::get<SparseMap>(record.solution)) {
    std::vector<NdArray> arrays;
    arrays.reserve(samples.size());
    for (const CooFormat& coo : samples) {
      KX_TRY_ASSIGN(array, coo_to_dense(coo));
      arrays.push_back(std::move(array));
    }
    dense.emplace(name, std::move(arrays));
  }
  out.solution = std::move(dense);
  return out;
}

Record to_sparse(const Record& record) {
  if (!is_dense(record)) return record;
  Record out;
  out.num_occurrences = record.num_occurrences;
  SparseMap sparse;
  for (const auto& [name, samples] : std::get<DenseMap>(record.solution)) {
    std::vector<CooFormat> coos;
    coos.reserve(samples.size());
    for (const NdArray& array : samples) coos.push_back(dense_to_coo(array));
    sparse.emplace(name, std::move(coos));
  }
  out.solution = std::move(sparse);
  return out;
}

namespace {

void append_coo_text(std::string& out, const CooFormat& coo) {
  out += "((";
  for (size_t a = 0; a < coo.non_zero_indices.size(); ++a) {
    if (a > 0) out += ", ";
    append_index_list(out, coo.non_zero_indices[a]);
  }
  if (coo.non_zero_indices.size() == 1) out += ',';
  out += "), [";
  for (size_t k = 0; k < coo.non_zero_values.size(); ++k) {
    if (k > 0) out += ", ";
    append_debug(out, coo.non_zero_values[k]);
  }
  out += "], (";
  for (size_t a = 0; a < coo.shape.size(); ++a) {
    if (a > 0) out += ", ";
    out += std::to_string(coo.shape[a]);
  }
  if (coo.shape.size() == 1) out += ',';
  out += "))";
}

template <class Map, class F>
void append_solution_text(std::string& out, const Map& map, F&& sample_text) {
  out += '{';
  bool first = true;
  for (const auto& [name, samples] : map) {
    if (!first) out += ", ";
    first = false;
    out += '\'';
    out += name;
    out += "': [";
    for (size_t s = 0; s < samples.size(); ++s) {
      if (s > 0) out += ", ";
      sample_text(out, samples[s]);
    }
    out += ']';
  }
  out += '}';
}

}  // namespace

std::string record_text(const Record& record) {
  std::string out = "Record(solution=";
  if (is_dense(record)) {
    append_solution_text(out, std::get<DenseMap>(record.solution), append_array_text);
  } else {
    append_solution_text(out, std::get<SparseMap>(record.solution), append_coo_text);
  }
  out += ", num_occurrences=";
  append_index_list(out, record.num_occurrences);
  out += ')';
  return out;
}

}  // namespace korvex::sample_set
