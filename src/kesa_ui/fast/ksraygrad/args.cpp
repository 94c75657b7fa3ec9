// The module's parameter lists.
#include "kesa_ui/fast/ksraygrad/args.hpp"

#include <initializer_list>

namespace ksraygrad {

namespace {
constexpr int count_of(std::initializer_list<const char *> names) {
    return static_cast<int>(names.size());
}
}  // namespace

#define KS_DEFINE_PARAMS(id, fname, required, ...) \
    Params id##_params{fname, required, count_of({__VA_ARGS__}), {__VA_ARGS__}, {}};
KS_PARAMETER_LISTS(KS_DEFINE_PARAMS)
#undef KS_DEFINE_PARAMS

int intern_params() {
#define KS_PARAMS_ENTRY(id, fname, required, ...) &id##_params,
    Params *const all[] = {KS_PARAMETER_LISTS(KS_PARAMS_ENTRY)};
#undef KS_PARAMS_ENTRY
    return ks::intern_params(all, sizeof all / sizeof all[0]);
}

}  // namespace ksraygrad
