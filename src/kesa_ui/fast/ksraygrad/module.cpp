// kesa_ui.fast.ksraygrad.ksraygrad: module definition, create and exec hooks.
//
// Multi-phase initialisation with process-wide state: the create hook records
// the first interpreter that loads the module (any other is refused) and
// makes the one module object the process will ever have; importing again,
// even after the module was removed from sys.modules, returns that object and
// the exec hook then does nothing. The exec hook binds the sibling types and
// the raylib wrapper's C functions, readies the two classes and imports the
// toolkit's Python names. A failed exec forgets the module was initialised,
// so the next import runs the whole sequence again; what was bound before
// the failure stays bound and is bound again.
#include <cstring>

// First: raylib.h declares Vector4, which the module's own headers then use.
#include "kesa_ui/core/rl_api.h"
#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/layout.hpp"
#include "kesa_ui/fast/ksraygrad/pickle.hpp"
#include "kesa_ui/fast/ksraygrad/signature.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

constexpr const char *kInit = "init " KS_MODULE_NAME;


// --- create ------------------------------------------------------------------

int copy_spec_attr(PyObject *spec, PyObject *module, const char *from, const char *to,
                   bool skip_none) {
    Ref value = Ref::steal(PyObject_GetAttrString(spec, from));
    if (!value) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
        PyErr_Clear();
        return 0;
    }
    if (skip_none && value.get() == Py_None) return 0;
    return PyObject_SetAttrString(module, to, value.get());
}

PyObject *create_module(PyObject *spec, PyModuleDef *) {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id < 0) return nullptr;
    if (g.interpreter == -1) {
        g.interpreter = id;
    } else if (g.interpreter != id) {
        PyErr_SetString(PyExc_ImportError, fixed::kSecondInterpreter);
        return nullptr;
    }
    if (g.module != nullptr) return Py_NewRef(g.module);
    Ref name = Ref::steal(PyObject_GetAttrString(spec, "name"));
    if (!name) return nullptr;
    Ref module = Ref::steal(PyModule_NewObject(name.get()));
    if (!module || copy_spec_attr(spec, module.get(), "loader", "__loader__", false) < 0 ||
        copy_spec_attr(spec, module.get(), "origin", "__file__", false) < 0 ||
        copy_spec_attr(spec, module.get(), "parent", "__package__", false) < 0 ||
        copy_spec_attr(spec, module.get(), "submodule_search_locations", "__path__", true) < 0)
        return nullptr;
    g.module = Py_NewRef(module.get());
    return module.release();
}

// --- binding the siblings -------------------------------------------------------

// Binds a sibling type: its instance size against the layout this module
// reads, and its C method table.
template <typename Table>
int bind_type(const char *module, const char *name, size_t declared, PyTypeObject *&type,
              const Table *&table) {
    Ref bound = Ref::steal(reinterpret_cast<PyObject *>(ks::import_type(module, name, declared)));
    if (!bound) return -1;
    const void *found = ks::type_vtable(reinterpret_cast<PyTypeObject *>(bound.get()));
    if (found == nullptr) return -1;
    Py_XSETREF(type, reinterpret_cast<PyTypeObject *>(bound.release()));  // held for good
    table = static_cast<const Table *>(found);
    return 0;
}

int bind_types() {
    // The GL context generation, which the shared resources follow, and the
    // flag that keeps renders from interleaving.
    const KsRlApi *rl_api = ks_rl_import();
    if (rl_api == nullptr) return -1;
    g.rl = rl_api;
    g.context_generation = rl_api->generation;
    const KsRectVTable *rect_vt;  // must exist; rendering does not use it
    if (bind_type("kesa_ui.fast.ksvector2.ksvector2", "KsVector2", sizeof(KsVector2Object),
                  g.KsVector2, g.vec2_vt) < 0 ||
        bind_type("kesa_ui.fast.ksrect.ksrect", "KsRect", sizeof(KsRectObject), g.KsRect,
                  rect_vt) < 0 ||
        bind_type("kesa_ui.fast.ksrendertex.ks_render_tex", "KsRenderTexture",
                  sizeof(KsRenderTextureObject), g.KsRenderTexture, g.rtex_vt) < 0 ||
        bind_type("kesa_ui.fast.ksshader.ksshader", "KsShader", sizeof(KsShaderObject),
                  g.KsShader, g.shader_vt) < 0)
        return -1;
    const PyTypeObject *vec2 = g.KsVector2;
    g.vec2_attributes_fixed = !(vec2->tp_flags & Py_TPFLAGS_HEAPTYPE) && vec2->tp_dictoffset == 0 &&
                              vec2->tp_getattro == PyObject_GenericGetAttr;
    return 0;
}

int bind_functions() {
    constexpr const char *kWrapper = "kesa_ui.fast.raylib.kesa_raylib";
    Ref wrapper = Ref::steal(PyImport_ImportModule(kWrapper));
    if (!wrapper) return -1;
    struct Binding {
        const char *name;
        const char *signature;
        void **slot;
    };
#define KS_BINDING(name, ret, params) \
    {#name, KS_RAYLIB_SIGNATURE(ret, params), reinterpret_cast<void **>(&g.fn.name)},
    const Binding bindings[] = {KS_RAYLIB_FUNCTIONS(KS_BINDING)};
#undef KS_BINDING
    for (const Binding &b : bindings) {
        void *fn = ks::import_function(wrapper.get(), kWrapper, b.name, b.signature);
        if (fn == nullptr) return -1;
        *b.slot = fn;
    }
    return 0;
}

// --- the classes -------------------------------------------------------------------

// Readies a class, publishes it and binds __reduce__ / __setstate__ to its
// __reduce_cython__ / __setstate_cython__.
int make_class(PyTypeObject *type, const GradientVTable *vtab, const char *attr,
               PyObject *const *default_type, PyObject **signature) {
    if (PyType_Ready(type) < 0 || ks::publish_vtable(type, vtab) < 0 ||
        add_signature(type, default_type, signature) < 0)
        return -1;
    if (PyModule_AddObjectRef(g.module, attr, reinterpret_cast<PyObject *>(type)) < 0) return -1;
    Ref dict = Ref::steal(PyType_GetDict(type));
    if (!dict) return -1;
    PyObject *reduce = nullptr, *setstate = nullptr;
    bool ok = PyDict_GetItemStringRef(dict.get(), KS_REDUCE_CYTHON, &reduce) > 0 &&
              PyDict_GetItemStringRef(dict.get(), KS_SETSTATE_CYTHON, &setstate) > 0 &&
              PyDict_SetItemString(dict.get(), "__reduce__", reduce) == 0 &&
              PyDict_SetItemString(dict.get(), "__setstate__", setstate) == 0;
    Py_XDECREF(reduce);
    Py_XDECREF(setstate);
    if (!ok) {
        PyErr_Clear();
        PyErr_Format(PyExc_RuntimeError, "cannot bind the pickling methods of %s", type->tp_name);
        return -1;
    }
    PyType_Modified(type);
    return 0;
}

// --- the toolkit's Python names ---------------------------------------------------

// `from <package> import <name>`: the attribute, else the submodule
// <package>.<name> from sys.modules.
Ref import_from(const char *package, const char *name) {
    Ref fromlist = Ref::steal(Py_BuildValue("(s)", name));
    if (!fromlist) return Ref();
    Ref pkg_name = Ref::steal(PyUnicode_FromString(package));
    if (!pkg_name) return Ref();
    Ref mod = Ref::steal(
        PyImport_ImportModuleLevelObject(pkg_name.get(), g.module_dict, nullptr, fromlist.get(), 0));
    if (!mod) return Ref();
    PyObject *value = nullptr;
    if (PyObject_GetOptionalAttrString(mod.get(), name, &value) != 0) return Ref::steal(value);
    Ref full = Ref::steal(PyUnicode_FromFormat("%s.%s", package, name));
    if (!full) return Ref();
    if (PyDict_GetItemRef(PyImport_GetModuleDict(), full.get(), &value) != 0)
        return Ref::steal(value);
    PyErr_Format(PyExc_ImportError, "cannot import name '%s' from '%s'", name, package);
    return Ref();
}

// `import kesa_ui.core.modules as md`: the package, then its attributes.
Ref import_md() {
    Ref top = Ref::steal(PyImport_ImportModuleLevel("kesa_ui.core.modules", g.module_dict,
                                                    nullptr, nullptr, 0));
    if (!top) return Ref();
    Ref core = Ref::steal(PyObject_GetAttrString(top.get(), "core"));
    return core ? Ref::steal(PyObject_GetAttrString(core.get(), "modules")) : Ref();
}

// Stores `value` (empty when making it failed) as a module global.
int set_global(PyObject *name, Ref value) {
    return value ? PyDict_SetItem(g.module_dict, name, value.get()) : -1;
}

// Runs the module body; a failure adds the "init" traceback entry with the
// line of the failing statement.
int run_body() {
#define STEP(expr)                         \
    do {                                   \
        if ((expr) < 0) {                  \
            add_traceback_at(kInit, __LINE__); \
            return -1;                     \
        }                                  \
    } while (0)
    PyObject *modules = PyImport_GetModuleDict();
    PyObject *present = nullptr;
    STEP(PyDict_GetItemStringRef(modules, KS_MODULE_NAME, &present));
    if (present == nullptr) STEP(PyDict_SetItemString(modules, KS_MODULE_NAME, g.module));
    Py_XDECREF(present);

    if (g.super == nullptr) {
        if (PyObject_GetOptionalAttrString(g.builtins, "super", &g.super) == 0)
            PyErr_SetString(PyExc_NameError, "name 'super' is not defined");
        if (g.super == nullptr) {
            add_traceback_at(kInit, __LINE__);
            return -1;
        }
    }
    STEP(make_tuples());
    ks::replace_field(g.shared_shader, Ref::new_ref(Py_None));
    ks::replace_field(g.shared_blank_texture, Ref::new_ref(Py_None));
    STEP(make_class(&GradientRaylib_Type, &gradient_raylib_vtable, "GradientRaylib",
                    &g.default_linear, &g.signature_gradient));
    STEP(make_class(&ClickGradient_Type, &click_gradient_vtable, "ClickGradient",
                    &g.default_radial, &g.signature_click));
    STEP(bind_types());
    STEP(bind_functions());

    STEP(set_global(g.s.md, import_md()));
    STEP(set_global(g.s.GradientShader, import_from("kesa_ui.fast", "GradientShader")));
    STEP(set_global(g.s.GradientPygame,
                    import_from("kesa_ui.rendering.pygame.gradient", "GradientPygame")));
    STEP(set_global(g.s.GradientType, import_from("kesa_ui.core", "GradientType")));

    ks::replace_field(g.shared_shader, Ref::new_ref(Py_None));
    ks::replace_field(g.shared_blank_texture, Ref::new_ref(Py_None));
#define KS_RESET_LOCATION(loc, text) g.loc = -1;
    KS_UNIFORMS(KS_RESET_LOCATION)
#undef KS_RESET_LOCATION

    Ref linear = current_kind(g.s.Linear);
    STEP(linear ? 0 : -1);
    ks::replace_field(g.default_linear, std::move(linear));
    Ref radial = current_kind(g.s.Radial);
    STEP(radial ? 0 : -1);
    ks::replace_field(g.default_radial, std::move(radial));

    Ref modname = Ref::steal(PyUnicode_FromString(KS_MODULE_NAME));
    STEP(modname ? 0 : -1);
    STEP(set_global(g.s.unpickle_GradientRaylib, Ref::steal(PyCMethod_New(&unpickle_gradient_def, nullptr,
                                                                    modname.get(), nullptr))));
    STEP(set_global(g.s.unpickle_ClickGradient, Ref::steal(PyCMethod_New(&unpickle_click_def, nullptr,
                                                                 modname.get(), nullptr))));
    STEP(PyModule_Add(g.module, "__test__", PyDict_New()));
#undef STEP
    return 0;
}

int exec_module(PyObject *module) {
    if (g.initialised != nullptr) {
        if (module == g.initialised) return 0;
        PyErr_SetString(PyExc_RuntimeError, fixed::kReinitialised);
        return -1;
    }
    g.initialised = Py_NewRef(module);
#ifdef Py_GIL_DISABLED
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_USED);
#endif
    int rc = -1;
    do {
        g.module_dict = PyModule_GetDict(module);
        if (g.module_dict == nullptr) break;
        if (g.builtins == nullptr && !(g.builtins = PyImport_ImportModule("builtins"))) break;
        if (PyObject_SetAttrString(module, "__builtins__", g.builtins) < 0) break;
        long major = (Py_Version >> 24) & 0xff, minor = (Py_Version >> 16) & 0xff;
        if ((major != PY_MAJOR_VERSION || minor != PY_MINOR_VERSION) &&
            PyErr_WarnFormat(PyExc_RuntimeWarning, 1, fixed::kVersionMismatch,
                             PY_MAJOR_VERSION, PY_MINOR_VERSION, KS_MODULE_NAME, "does not match",
                             major, minor) < 0)
            break;
        if (make_strings() < 0 || intern_params() < 0 || make_numbers() < 0) break;
        rc = run_body();
    } while (false);
    if (rc < 0) Py_CLEAR(g.initialised);
    return rc;
}

PyModuleDef_Slot slots[] = {
    {Py_mod_create, reinterpret_cast<void *>(create_module)},
    {Py_mod_exec, reinterpret_cast<void *>(exec_module)},
    {Py_mod_gil, Py_MOD_GIL_USED},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "ksraygrad", nullptr, 0, nullptr, slots, nullptr, nullptr, nullptr,
};

}  // namespace

}  // namespace ksraygrad

PyMODINIT_FUNC PyInit_ksraygrad(void) { return PyModuleDef_Init(&ksraygrad::module_def); }
