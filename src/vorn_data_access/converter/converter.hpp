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

// A function of the private Python module that runs the converter program
// (vorn_data_access._conversion_run: process, temporary file, pool), looked up
// when called.
nb::object conversion_run(const char* name);

}  // namespace vorn::py
