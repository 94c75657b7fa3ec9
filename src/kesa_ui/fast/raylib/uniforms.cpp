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
// is a new context: the cache starts afresh. The GL entry points are rl's,
// loaded for each window.
#include "kesa_ui/fast/raylib/uniforms.h"

#include <string>
#include <vector>

namespace ks_uniforms {

namespace {

constexpr unsigned int kActiveUniforms = 0x8B86;         // GL_ACTIVE_UNIFORMS
constexpr unsigned int kActiveUniformMaxLength = 0x8B87;  // GL_ACTIVE_UNIFORM_MAX_LENGTH

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

uint64_t cached_generation = 0;

// Name and element count of active uniform `index`; false if GL has none.
bool active_uniform(const KsGl &gl, unsigned int program, unsigned int index, std::string &name, int *count) {
    int max_length = 0;
    gl.GetProgramiv(program, kActiveUniformMaxLength, &max_length);
    if (max_length <= 0) return false;
    std::string buffer(static_cast<size_t>(max_length), '\0');
    int length = 0;
    unsigned int type = 0;
    *count = 0;
    gl.GetActiveUniform(program, index, max_length, &length, count, &type, buffer.data());
    if (length <= 0 || length > max_length) return false;
    buffer.resize(static_cast<size_t>(length));
    name = std::move(buffer);
    return true;
}

// Finds the uniform and element at `loc` by matching locations. Elements
// usually follow the first one's location, which is tried before the others.
bool find_uniform(const KsGl &gl, unsigned int program, int loc, UniformSlot *out) {
    int active = 0;
    gl.GetProgramiv(program, kActiveUniforms, &active);
    std::string name;
    for (int i = 0; i < active; i++) {
        int count;
        if (!active_uniform(gl, program, static_cast<unsigned int>(i), name, &count)) continue;
        int first = gl.GetUniformLocation(program, name.c_str());
        int element = -1;
        if (first == loc) {
            element = 0;
        } else if (count > 1 && name.ends_with("[0]") && first >= 0) {
            std::string base = name.substr(0, name.size() - 3);
            auto location_of = [&](int k) {
                return gl.GetUniformLocation(program,
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

long array_capacity(const KsGl &gl, uint64_t serial, unsigned int program, int loc,
                    uint64_t generation) {
    if (loc < 0) return -1;
    if (cached_generation != generation) {
        capacities.clear();
        cached_generation = generation;
    }
    for (const Capacity &c : capacities) {
        if (c.serial == serial && c.loc == loc) return c.capacity;
    }
    if (gl.IsProgram == nullptr || gl.GetProgramiv == nullptr || gl.GetActiveUniform == nullptr ||
        gl.GetUniformLocation == nullptr || !gl.IsProgram(program))
        return -1;
    UniformSlot slot;
    std::string name;
    int count;
    long capacity = -1;
    if (find_uniform(gl, program, loc, &slot) && active_uniform(gl, program, slot.index, name, &count))
        capacity = static_cast<long>(count) - slot.element;
    if (capacities.size() >= max_capacities) capacities.erase(capacities.begin());
    capacities.push_back(Capacity{serial, loc, capacity});
    return capacity;
}

}  // namespace ks_uniforms
