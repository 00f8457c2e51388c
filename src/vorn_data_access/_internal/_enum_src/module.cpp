// Module vorn_data_access._internal._enum: the block markers.
#include <nanobind/nanobind.h>

#include "vorn_core/format.hpp"

namespace nb = nanobind;

NB_MODULE(_enum, m) {
  m.doc() = "Block markers of the container format.";
  using vorn::Symbol;
  nb::enum_<Symbol>(m, "VornSymbols", "Markers that open and close the blocks of a container file.")
      .value("BEGIN_OF_JUMP_TABLE", Symbol::BEGIN_OF_JUMP_TABLE, "Opens the jump table.")
      .value("END_OF_JUMP_TABLE", Symbol::END_OF_JUMP_TABLE, "Closes the jump table.")
      .value("BEGIN_OF_FUNCTION_INDEX_BLOCK", Symbol::BEGIN_OF_FUNCTION_INDEX_BLOCK,
             "Opens a function index block.")
      .value("END_OF_FUNCTION_INDEX_BLOCK", Symbol::END_OF_FUNCTION_INDEX_BLOCK,
             "Closes a function index block.")
      .value("BEGIN_OF_SPECTRUM_INDEX_BLOCK", Symbol::BEGIN_OF_SPECTRUM_INDEX_BLOCK,
             "Opens a spectrum index block.")
      .value("END_OF_SPECTRUM_INDEX_BLOCK", Symbol::END_OF_SPECTRUM_INDEX_BLOCK,
             "Closes a spectrum index block.")
      .value("SPECTRUM_DATA", Symbol::SPECTRUM_DATA, "Opens a spectrum data block.");
}
