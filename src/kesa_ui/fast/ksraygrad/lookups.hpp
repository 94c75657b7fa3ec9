// md.rl.WHITE, the tint of every draw, looked up as the module's globals say
// and kept between draws while a fresh lookup would give the same answer.
#pragma once

#include "kesa_ui/native/ref.hpp"

namespace ksraygrad {

// md.rl.WHITE as looking it up now gives it: md in the module's globals,
// then the builtins; then its attribute rl, then rl's attribute WHITE.
// Empty with the lookup's error set.
ks::Ref rl_white();

}  // namespace ksraygrad
