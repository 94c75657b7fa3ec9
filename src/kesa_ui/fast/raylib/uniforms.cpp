// How many elements a uniform array holds, asked of GL (kesa_raylib's array
// setters refuse more values than that: GL would drop them silently).
//
// GL reports each active uniform by index as a name and an element count (an
// array as "name[0]" with its length); the caller has only a location. The
// uniform and element a location names are found by matching locations, and
// the answer is cached per shader and location. The cache is keyed by the
// shader's serial, not its program id: ids are reused once a program is
// deleted, serials never, and the program of a live shader never changes, so
// an entry needs no check against GL; drawing asks GL nothing. A new window
// is a new context, whose GL entry points may live at other addresses: they
// are loaded again, and the cache starts afresh.
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

// Where a location points: an active uniform and an element of it.
struct UniformSlot {
    unsigned int index;
    int element;
};

struct Capacity {
    uint64_t serial;  // of the shader
    int loc;
    long capacity;
};

std::vector<Capacity> capacities;
constexpr size_t max_capacities = 64;

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
            *out = UniformSlot{static_cast<unsigned int>(i), element};
            return true;
        }
    }
    return false;
}

}  // namespace

long array_capacity(uint64_t serial, unsigned int program, int loc, uint64_t generation) {
    if (loc < 0) return -1;
    if (gl::loaded_generation != generation) capacities.clear();
    for (const Capacity &c : capacities) {
        if (c.serial == serial && c.loc == loc) return c.capacity;
    }
    if (!gl::load(generation) || !gl::is_program(program)) return -1;
    UniformSlot slot;
    std::string name;
    int count;
    long capacity = -1;
    if (find_uniform(program, loc, &slot) && active_uniform(program, slot.index, name, &count))
        capacity = static_cast<long>(count) - slot.element;
    if (capacities.size() >= max_capacities) capacities.erase(capacities.begin());
    capacities.push_back(Capacity{serial, loc, capacity});
    return capacity;
}

}  // namespace ks_uniforms
