// Module vorn_data_access.converter: conversion options and ZelConverter.
#pragma once

#include <nanobind/nanobind.h>

namespace vorn::py {

namespace nb = nanobind;

// A collaborator (standard module or imported name) by its module-level name,
// looked up when used.
nb::object converter_name(const char* name);

// The converter's private field `name`, read and written the way the
// interpreter reads `self.__name`: the object's own value, else the
// class-wide initial value.
nb::object field(nb::handle self, const char* name);
void set_field(nb::handle self, const char* name, nb::handle value);

void register_options(nb::module_& m);
void register_zel_converter(nb::module_& m);

// The run of one conversion (in the pool's thread) and cancelling it.
nb::object execute_run(nb::handle self, nb::handle cmd_and_params, nb::handle dest_file_path);
void cancel_run(nb::handle self);
// Makes the state of a new run, current for `self`; returns the callable the
// pool runs.
nb::object start_run(nb::handle self, nb::handle executor, nb::handle cmd, nb::handle dest);
void shut_down(nb::handle executor);

}  // namespace vorn::py
