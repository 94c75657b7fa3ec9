// Reading a Gradient's parameters from Python values, and writing them back.
//
// Every reader either fills its output and returns true, or returns false
// with a TypeError (a value of the wrong type) or ValueError (the right type,
// a value outside what is accepted) that names the parameter and says what
// it accepts; the output is then unchanged. Readers copy a sequence into a
// tuple of their own before reading its items, so code that a number's
// conversion runs cannot change what is being read.
#pragma once

#include <Python.h>

#include "kesa_ui/fast/ksgradient/model.hpp"
#include "kesa_ui/native/ref.hpp"

namespace ksgradient {

bool read_colors(PyObject *obj, Colors &out);
// One of `count` names (kind, shape, spread: the tables in state.hpp).
bool read_choice(PyObject *obj, const char *param, PyObject *const *names, int count, int *out);
bool read_angle(PyObject *obj, double *out);
// A point normalised to the rectangle: two finite numbers.
bool read_point(PyObject *obj, const char *param, double out[2]);
// A keyword, one radius or two; `radii` gets the numbers of an explicit one.
bool read_extent(PyObject *obj, int *extent, double radii[2]);
// None (false in *has) or a point.
bool read_focal(PyObject *obj, bool *has, double out[2]);
// None (false in *has) or one finite number per colour.
bool read_positions(PyObject *obj, bool *has, std::vector<double> &out);
bool read_transparency(PyObject *obj, int *out);
// None (false in *has) or one number 0..1 per gap between colours.
bool read_hints(PyObject *obj, bool *has, std::vector<double> &out);
// A colour's weight: a finite number, at least 0.
bool read_weight(PyObject *obj, const char *param, float *out);

// Colours, positions and hints that fit together: one position per colour
// and no weights once positions are given, one hint per gap between
// colours. false with ValueError otherwise.
bool check_placement(const Model &m);

// The values read back: new references, or empty with an exception set.
ks::Ref colors_value(const Colors &colors);
ks::Ref extent_value(const Model &m);
ks::Ref point_value(const double p[2]);
ks::Ref positions_value(const Model &m);
ks::Ref hints_value(const Model &m);

}  // namespace ksgradient
