// The texts and numbers that callers and stored pickles rely on: the
// messages the contract quotes, the Cython-compatible names and shapes, the
// pickle format's constants and the shader's uniform names. Change none of
// them. Every other message of the module is its own and free to improve.
#pragma once

namespace ksraygrad::fixed {

// --- names ---------------------------------------------------------------------

#define KS_MODULE_NAME "kesa_ui.fast.ksraygrad.ksraygrad"
// The qualified name of a class member, as tracebacks show it.
#define KS_QUALNAME(cls, member) KS_MODULE_NAME "." cls "." member

// Pickle streams name the reconstructors; the hooks keep Cython's names.
#define KS_UNPICKLE_GRADIENT "__pyx_unpickle_GradientRaylib"
#define KS_UNPICKLE_CLICK "__pyx_unpickle_ClickGradient"
#define KS_REDUCE_CYTHON "__reduce_cython__"
#define KS_SETSTATE_CYTHON "__setstate_cython__"

// The pickle formats: X(class, the number of fields, the checksums accepted
// (the first is the one written), the field names in state order). Each checksum is the first seven
// hex digits of the SHA-256, SHA-1 and MD5 digests of the names joined by
// blanks.
#define KS_PICKLE_FORMATS(X)                                                             \
    X(GradientRaylib, 7, 0xce08233, 0x5c0dd12, 0x75fb95b,                                   \
      "_angle, _center, _colors, _stops, _transparency, raw_colors, type")               \
    X(ClickGradient, 8, 0xf8824c9, 0x906a415, 0x39d65a,                                     \
      "_angle, _center, _colors, _stops, _transparency, raw_colors, type, weights")

// The shared shader's uniforms, in the order their locations are asked for:
// X(location field, uniform name).
#define KS_UNIFORMS(X)                                                                   \
    X(loc_type, "gradientType")                                                          \
    X(loc_angle, "angle")                                                                \
    X(loc_center, "centerPos")                                                           \
    X(loc_colors, "colors")                                                              \
    X(loc_stops, "stops")                                                                \
    X(loc_count, "colorCount")                                                           \
    X(loc_alpha, "alpha")                                                                \
    X(loc_size, "size")

// --- messages ------------------------------------------------------------------

inline constexpr const char *kDeleteProperty = "__del__";
inline constexpr const char *kWeightIndex = "Color index out of range! Max: %zd";
inline constexpr const char *kCenterProperty =
    "center must be an KsVector2 instance or a tuple of (x, y)";
inline constexpr const char *kNoneColors = "object of type 'NoneType' has no len()";
inline constexpr const char *kNoneColour = "'NoneType' object is not subscriptable";
inline constexpr const char *kMissingKey[4] = {
    "No value specified for struct attribute 'x'",
    "No value specified for struct attribute 'y'",
    "No value specified for struct attribute 'z'",
    "No value specified for struct attribute 'w'",
};
inline constexpr const char *kIncompatibleChecksums =
    "Incompatible checksums (0x%x vs (0x%x, 0x%x, 0x%x) = (%s))";
inline constexpr const char *kSecondInterpreter =
    "Interpreter change detected - this module can only be loaded into one interpreter per "
    "process.";
inline constexpr const char *kReinitialised =
    "Module 'ksraygrad' has already been imported. Re-initialisation is not supported.";
inline constexpr const char *kVersionMismatch =
    "compile time Python version %d.%d of module '%.100s' %s runtime version %ld.%ld";
// The short colour's IndexError, which callers match (the contract leaves
// its text to the implementer; it keeps this one).
inline constexpr const char *kShortColour =
    "a colour is (red, green, blue) or (red, green, blue, alpha), 0 to 255 each; this one has "
    "%zd component%s";

}  // namespace ksraygrad::fixed
