// How many elements a uniform array holds, asked of GL (kesa_raylib's array
// setters refuse more values than that: GL would drop them silently).
//
// GL reports each active uniform by index as a name and an element count (an
// array as "name[0]" with its length); the caller has only a location. The
// index and element that a (program, location) pair names are found once by
// matching locations, then cached. Program ids are reused once a shader is
// unloaded, so a cached entry is trusted only while GL still reports the
// same name at its index, and the element count is read afresh each time.
// A new window is a new context: its programs reuse the old ids, and its GL
// entry points may live at other addresses, so both are dropped with it.
#include "kesa_ui/fast/raylib/uniforms.h"

#include <rlgl.h>

#include <string>
#include <vector>

namespace ks_uniforms {

namespace {

namespace gl {
using Enum = unsigned int;
constexpr Enum ACTIVE_UNIFORMS = 0x8B86;
constexpr Enum ACTIVE_UNIFORM_MAX_LENGTH = 0x8B87;
using IsProgramFn = unsigned char (*)(unsigned int);
using GetProgramivFn = void (*)(unsigned int, Enum, int *);
using GetActiveUniformFn = void (*)(unsigned int, unsigned int, int, int *, int *, Enum *, char *);
using GetUniformLocationFn = int (*)(unsigned int, const char *);

IsProgramFn is_program = nullptr;
GetProgramivFn get_programiv = nullptr;
GetActiveUniformFn get_active_uniform = nullptr;
GetUniformLocationFn get_uniform_location = nullptr;

uint64_t loaded_generation = 0;

// Loads the four entry points of the current context; false if GL lacks one.
bool load(uint64_t generation) {
    if (loaded_generation == generation) return true;
    get_uniform_location = nullptr;
    is_program = reinterpret_cast<IsProgramFn>(rlGetProcAddress("glIsProgram"));
    get_programiv = reinterpret_cast<GetProgramivFn>(rlGetProcAddress("glGetProgramiv"));
    get_active_uniform =
        reinterpret_cast<GetActiveUniformFn>(rlGetProcAddress("glGetActiveUniform"));
    if (is_program == nullptr || get_programiv == nullptr || get_active_uniform == nullptr)
        return false;
    get_uniform_location =
        reinterpret_cast<GetUniformLocationFn>(rlGetProcAddress("glGetUniformLocation"));
    if (get_uniform_location == nullptr) return false;
    loaded_generation = generation;
    return true;
}
}  // namespace gl

struct UniformSlot {
    unsigned int program;
    int loc;
    unsigned int index;  // of the active uniform
    int element;         // the element of its array at `loc`
    std::string name;    // as GL reports it at `index`
};

std::vector<UniformSlot> uniform_slots;
constexpr size_t max_uniform_slots = 64;

// Name and element count of active uniform `index`; false if GL has none.
bool active_uniform(unsigned int program, unsigned int index, std::string &name, int *count) {
    int max_length = 0;
    gl::get_programiv(program, gl::ACTIVE_UNIFORM_MAX_LENGTH, &max_length);
    if (max_length <= 0) return false;
    std::string buffer(static_cast<size_t>(max_length), '\0');
    int length = 0;
    gl::Enum type = 0;
    *count = 0;
    gl::get_active_uniform(program, index, max_length, &length, count, &type, buffer.data());
    if (length <= 0 || length > max_length) return false;
    buffer.resize(static_cast<size_t>(length));
    name = std::move(buffer);
    return true;
}

// Finds the uniform and element at `loc` by matching locations. Elements
// usually follow the first one's location, which is tried before the others.
bool find_uniform(unsigned int program, int loc, UniformSlot *out) {
    int active = 0;
    gl::get_programiv(program, gl::ACTIVE_UNIFORMS, &active);
    std::string name;
    for (int i = 0; i < active; i++) {
        int count;
        if (!active_uniform(program, static_cast<unsigned int>(i), name, &count)) continue;
        int first = gl::get_uniform_location(program, name.c_str());
        int element = -1;
        if (first == loc) {
            element = 0;
        } else if (count > 1 && name.ends_with("[0]") && first >= 0) {
            std::string base = name.substr(0, name.size() - 3);
            auto location_of = [&](int k) {
                return gl::get_uniform_location(program,
                                                (base + "[" + std::to_string(k) + "]").c_str());
            };
            long guess = static_cast<long>(loc) - first;
            if (guess > 0 && guess < count && location_of(static_cast<int>(guess)) == loc) {
                element = static_cast<int>(guess);
            } else {
                for (int k = 1; k < count && element < 0; k++)
                    if (location_of(k) == loc) element = k;
            }
        }
        if (element >= 0) {
            *out = UniformSlot{program, loc, static_cast<unsigned int>(i), element, name};
            return true;
        }
    }
    return false;
}

}  // namespace

long array_capacity(unsigned int program, int loc, uint64_t generation) {
    if (loc < 0) return -1;
    if (gl::loaded_generation != generation) uniform_slots.clear();
    if (!gl::load(generation) || !gl::is_program(program)) return -1;
    std::string name;
    int count;
    for (size_t i = 0; i < uniform_slots.size(); i++) {
        UniformSlot &slot = uniform_slots[i];
        if (slot.program != program || slot.loc != loc) continue;
        if (active_uniform(program, slot.index, name, &count) && name == slot.name)
            return static_cast<long>(count) - slot.element;
        uniform_slots.erase(uniform_slots.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    UniformSlot slot;
    if (!find_uniform(program, loc, &slot) || !active_uniform(program, slot.index, name, &count))
        return -1;
    if (uniform_slots.size() >= max_uniform_slots) uniform_slots.erase(uniform_slots.begin());
    uniform_slots.push_back(std::move(slot));
    return static_cast<long>(count) - uniform_slots.back().element;
}

}  // namespace ks_uniforms
