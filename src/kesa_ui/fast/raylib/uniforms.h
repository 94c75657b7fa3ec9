// The size of a shader's uniform arrays, asked of GL.
#pragma once

#include <cstdint>

#include "kesa_ui/core/rl_api.h"

namespace ks_uniforms {

// Elements of the uniform array at location `loc` of the shader with serial
// `serial` and GL program `program`, counted from that location's element
// on; -1 when GL does not say (location -1, which GL ignores, or no such
// uniform). `gl` and `generation` are the current GL context's (rl_api.h).
// Asks GL once per shader and location; needs the context current; may
// throw std::bad_alloc.
long array_capacity(const KsGl &gl, uint64_t serial, unsigned int program, int loc,
                    uint64_t generation);

}  // namespace ks_uniforms
