// The size of a shader's uniform arrays, asked of GL.
#pragma once

#include <cstdint>

namespace ks_uniforms {

// Elements of the uniform array at location `loc` of `program`, counted from
// that location's element on; -1 when GL does not say (location -1, which
// GL ignores, or no such uniform). `generation` is the current GL context's
// (rl_api.h): GL entry points and cached answers of an earlier context are
// dropped. Needs the context current; may throw std::bad_alloc.
long array_capacity(unsigned int program, int loc, uint64_t generation);

}  // namespace ks_uniforms
