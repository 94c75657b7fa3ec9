// kesa_ui.fast.ksshader.ksshader: KsShader, a compiled GPU shader program.
//
// The instance layout is KsShaderObject (ksshader.h): the program id
// and raylib's location table, which every KsShader owns (for raylib's default
// program it holds a copy of the default table), so destruction always frees
// it and deletes the program unless it is raylib's default one. The program
// is deleted only in the context it was made in, from the window's thread
// (or later, by that thread); once its window has closed the program went
// away with the context and only the table is freed.
//
// Shaders are made only by create_from_code (Python) or the C method table's
// c_create_from_code. raylib never raises: a compile failure comes back as
// id 0 and a link failure as the default program, so both are turned into
// RuntimeError, with raylib's reason captured from its log. For the length
// of the compile, raylib's log goes through a callback here (and the log
// level is lowered to LOG_WARNING if it was higher, so the reason is never
// filtered out); messages at or above the caller's level are still printed
// as raylib prints them. Afterwards the level and raylib's own printing are
// restored (raylib has no getter for a previous callback: none is expected).
#include <raylib.h>
#include <rlgl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "kesa_ui/core/rl_api.h"
#include "kesa_ui/fast/ksshader/ksshader.h"
#include "kesa_ui/native/args.hpp"
#include "kesa_ui/native/capi.hpp"
#include "kesa_ui/native/module.hpp"

namespace {

const KsRlApi *rl = nullptr;
uint64_t last_serial = 0;  // of the shaders made so far

extern PyTypeObject KsShader_Type;

// --- capturing raylib's log during a compile -----------------------------------

std::string *captured = nullptr;  // set only while a LogCapture is alive
int print_level = LOG_INFO;       // the caller's level: print messages at or above it

const char *level_prefix(int level) {
    switch (level) {
        case LOG_TRACE: return "TRACE: ";
        case LOG_DEBUG: return "DEBUG: ";
        case LOG_INFO: return "INFO: ";
        case LOG_WARNING: return "WARNING: ";
        case LOG_ERROR: return "ERROR: ";
        case LOG_FATAL: return "FATAL: ";
        default: return "";
    }
}

void on_log(int level, const char *text, va_list args) {
    char buffer[1024];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buffer, sizeof buffer, text, copy);
    va_end(copy);
    if (n < 0) return;
    std::string message;
    try {
        if (static_cast<size_t>(n) < sizeof buffer) {
            message.assign(buffer, static_cast<size_t>(n));
        } else {  // a long compiler log
            message.resize(static_cast<size_t>(n));
            std::vsnprintf(message.data(), message.size() + 1, text, args);
        }
        if (level >= print_level) {
            std::printf("%s%s\n", level_prefix(level), message.c_str());
            std::fflush(stdout);  // keep order with Python's own output
        }
        if (captured != nullptr && level >= LOG_WARNING) {
            // Compiler logs end in newlines of their own.
            size_t end = message.find_last_not_of(" \t\r\n");
            if (!captured->empty()) captured->push_back('\n');
            captured->append(message, 0, end == std::string::npos ? 0 : end + 1);
        }
    } catch (...) {
        // Out of memory inside raylib's logging: drop the message.
    }
}

class LogCapture {
public:
    LogCapture() : level_(rl->trace_log_level()) {
        print_level = level_;
        captured = &text_;
        SetTraceLogCallback(on_log);
        if (level_ > LOG_WARNING) SetTraceLogLevel(LOG_WARNING);
    }
    ~LogCapture() {
        if (level_ > LOG_WARNING) SetTraceLogLevel(level_);
        SetTraceLogCallback(nullptr);
        captured = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::string take() { return std::move(text_); }

private:
    int level_;
    std::string text_;
};

// --- compiling each stage before raylib links them -------------------------------
//
// raylib reports a stage that does not compile only in its log, and then
// goes on to link; drivers have crashed in those later steps (Mesa held to
// an older GL with its shader cache on). Each given stage is therefore
// compiled here first, with rl's GL entry points of the current context: a
// failure comes back with the driver's log, and only sources that compile
// reach raylib.

constexpr unsigned int kFragmentShader = 0x8B30, kVertexShader = 0x8B31;
constexpr unsigned int kCompileStatus = 0x8B81, kInfoLogLength = 0x8B84;

bool has_compiler(const KsGl &gl) {
    return gl.CreateShader != nullptr && gl.ShaderSource != nullptr &&
           gl.CompileShader != nullptr && gl.GetShaderiv != nullptr &&
           gl.GetShaderInfoLog != nullptr && gl.DeleteShader != nullptr;
}

// Compiles `source` as a `stage` shader and throws the result away: 0, or
// -1 with RuntimeError carrying the driver's log.
int check_stage(const KsGl &gl, const char *source, unsigned int type, const char *stage) {
    unsigned int id = gl.CreateShader(type);
    if (id == 0) {
        PyErr_Format(PyExc_RuntimeError, "OpenGL could not create a %s shader", stage);
        return -1;
    }
    gl.ShaderSource(id, 1, &source, nullptr);
    gl.CompileShader(id);
    int compiled = 0, length = 0;
    gl.GetShaderiv(id, kCompileStatus, &compiled);
    std::string log;
    if (!compiled) {
        gl.GetShaderiv(id, kInfoLogLength, &length);
        try {
            log.resize(length > 0 ? static_cast<size_t>(length) : 0);
        } catch (const std::bad_alloc &) {
            log.clear();
        }
        int written = 0;
        if (!log.empty()) gl.GetShaderInfoLog(id, length, &written, log.data());
        log.resize(written > 0 ? static_cast<size_t>(written) : 0);
        size_t end = log.find_last_not_of(" \t\r\n");
        log.resize(end == std::string::npos ? 0 : end + 1);
    }
    gl.DeleteShader(id);
    if (compiled) return 0;
    PyErr_Format(PyExc_RuntimeError, "the %s shader does not compile: %s", stage,
                 log.empty() ? "(the driver gave no reason)" : log.c_str());
    return -1;
}

// What raylib was built for, when that has no programmable shaders; else
// nullptr.
const char *without_shaders(int gl_version) {
    const KsGlBackend *backend = rl->gl_backend(gl_version);
    return backend != nullptr && !backend->shaders ? backend->name : nullptr;
}

// --- creation ------------------------------------------------------------------

// A shader source: a str without NUL characters, or None for raylib's
// default stage (*out = nullptr). 0, or -1 with an exception set.
int source_arg(PyObject *obj, const char *stage, const char **out) {
    if (obj == nullptr || obj == Py_None) {
        *out = nullptr;
        return 0;
    }
    if (!PyUnicode_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "the %s shader source must be str or None, not %.100s", stage,
                     Py_TYPE(obj)->tp_name);
        return -1;
    }
    Py_ssize_t size;
    const char *text = PyUnicode_AsUTF8AndSize(obj, &size);
    if (text == nullptr) return -1;
    if (std::strlen(text) != static_cast<size_t>(size)) {
        PyErr_Format(PyExc_ValueError, "the %s shader source contains a NUL character", stage);
        return -1;
    }
    *out = text;
    return 0;
}

PyObject *create_from_code(PyObject *vertex, PyObject *fragment) {
    const char *vs, *fs;
    if (source_arg(vertex, "vertex", &vs) < 0 || source_arg(fragment, "fragment", &fs) < 0)
        return nullptr;
    if (const char *backend = without_shaders(rlGetVersion())) {
        PyErr_Format(PyExc_RuntimeError,
                     "this raylib was built for %s, which has no programmable shaders", backend);
        return nullptr;
    }
    if (ks_rl_require_window(rl) < 0) return nullptr;
    const KsGl &gl = *rl->gl;
    if (!has_compiler(gl)) {
        PyErr_SetString(PyExc_RuntimeError, "OpenGL lacks the shader compiler's entry points");
        return nullptr;
    }
    if ((vs != nullptr && check_stage(gl, vs, kVertexShader, "vertex") < 0) ||
        (fs != nullptr && check_stage(gl, fs, kFragmentShader, "fragment") < 0))
        return nullptr;

    Shader shader;
    std::string reason;
    {
        LogCapture capture;
        shader = LoadShaderFromMemory(vs, fs);
        reason = capture.take();
    }
    const unsigned int default_id = rlGetShaderIdDefault();
    int *const default_locs = rlGetShaderLocsDefault();
    if (shader.id == 0 || ((vs != nullptr || fs != nullptr) && shader.id == default_id)) {
        // Nothing to delete: raylib dropped the failed program, and the
        // default one (with its table) is raylib's own.
        if (shader.locs != nullptr && shader.locs != default_locs) MemFree(shader.locs);
        PyErr_Format(PyExc_RuntimeError, "raylib could not build the shader: %s",
                     reason.empty() ? "(it logged no reason)" : reason.c_str());
        return nullptr;
    }
    if (shader.locs == nullptr || shader.locs == default_locs) {
        // The default program: own a copy of its table, so that every
        // KsShader frees its own.
        int *copy = static_cast<int *>(MemAlloc(RL_MAX_SHADER_LOCATIONS * sizeof(int)));
        if (copy == nullptr) return PyErr_NoMemory();
        if (shader.locs != nullptr)
            std::memcpy(copy, shader.locs, RL_MAX_SHADER_LOCATIONS * sizeof(int));
        else
            for (int i = 0; i < RL_MAX_SHADER_LOCATIONS; i++) copy[i] = -1;
        shader.locs = copy;
    }
    KsShaderObject *self = PyObject_New(KsShaderObject, &KsShader_Type);
    if (self == nullptr) {
        if (shader.id != default_id) rlUnloadShaderProgram(shader.id);
        MemFree(shader.locs);
        return nullptr;
    }
    self->id = shader.id;
    self->locs = shader.locs;
    self->generation = *rl->generation;
    self->serial = ++last_serial;
    return reinterpret_cast<PyObject *>(self);
}

// --- type ------------------------------------------------------------------------

void shader_dealloc(PyObject *op) {
    auto *self = reinterpret_cast<KsShaderObject *>(op);
    if (self->locs != nullptr) {
        rl->release_shader(self->generation, self->id);
        MemFree(self->locs);
        self->locs = nullptr;
    }
    Py_TYPE(op)->tp_free(op);
}

PyObject *shader_repr(PyObject *op) {
    return PyUnicode_FromFormat("<KsShader id=%u>", reinterpret_cast<KsShaderObject *>(op)->id);
}

const ks::Params create_params = {"create_from_code", 2, 2, {"vs", "fs"}, {}};

PyObject *shader_create_from_code(PyObject *, PyObject *const *args, size_t nargsf,
                                  PyObject *kwnames) {
    PyObject *vs, *fs;
    if (!ks::bind_keywords(create_params, args, nargsf, kwnames, ks::to_object{&vs},
                           ks::to_object{&fs}))
        return nullptr;
    return create_from_code(vs, fs);
}

PyMethodDef shader_methods[] = {
    {"create_from_code", KS_CFUNCTION(shader_create_from_code),
     METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "create_from_code(vs, fs)\n--\n\n"
     "Compiles and links a shader from GLSL sources (each a str, or None for raylib's\n"
     "default stage). Raises RuntimeError with raylib's reason when that fails, or\n"
     "when no raylib window is open."},
    {nullptr, nullptr, 0, nullptr},
};

PyMemberDef shader_members[] = {
    {"id", Py_T_UINT, offsetof(KsShaderObject, id), Py_READONLY, "OpenGL program id"},
    {nullptr, 0, 0, 0, nullptr},
};

PyTypeObject KsShader_Type = {
    KS_TYPE_HEAD("kesa_ui.fast.ksshader.ksshader.KsShader", KsShaderObject),
    .tp_dealloc = shader_dealloc,
    .tp_repr = shader_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    .tp_doc = "A compiled GPU shader program; made by KsShader.create_from_code(vs, fs).",
    .tp_methods = shader_methods,
    .tp_members = shader_members,
};

KsShaderVTable vtable = {create_from_code};

int exec_module(PyObject *module) {
    if (rl == nullptr && (rl = ks_rl_import()) == nullptr) return -1;
    return ks::add_type(module, &KsShader_Type, &vtable);
}

}  // namespace

KS_DEFINE_MODULE(ksshader, "kesa_ui.fast.ksshader.ksshader",
                 "KsShader: a GPU shader program.",
                 nullptr, exec_module, nullptr)
