// Rendering: uploading a gradient as the shared shader's uniforms, and
// drawing the shared 1x1 blank texture stretched over a target through it.
//
// generate_texture renders into a new render texture inside texture, blend
// and shader modes; ClickGradient.draw paints onto the current target inside
// the shader mode only. Rendering changes process-wide GPU state, so when a
// step fails after a mode was begun, the modes already begun are ended (in
// reverse order, through the same wrapper functions) before the exception
// propagates: a failed render never leaves the caller drawing into a dead
// texture or through the gradient shader. A render may run Python code (a
// centre's x, a tint or a blend mode looked up); a render begun from that
// code is refused (KsRenderScope), so the two never mix their uniforms and
// modes.
#include "kesa_ui/fast/ksraygrad/render.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "kesa_ui/core/rl_api.h"  // first: it brings raylib.h's Vector4
#include "kesa_ui/fast/ksraygrad/args.hpp"
#include "kesa_ui/fast/ksraygrad/convert.hpp"
#include "kesa_ui/fast/ksraygrad/layout.hpp"
#include "kesa_ui/fast/ksraygrad/lookups.hpp"
#include "kesa_ui/fast/ksraygrad/resources.hpp"
#include "kesa_ui/fast/ksraygrad/state.hpp"
#include "kesa_ui/fast/ksraygrad/traceback.hpp"

namespace ksraygrad {

namespace {

#define QN_TEXTURE KS_QUALNAME("GradientRaylib", "generate_texture")
#define QN_DRAW KS_QUALNAME("ClickGradient", "draw")

// The modes a render has begun, ended in reverse order.
class Modes {
public:
    enum Mode { kTexture, kBlend, kShader };

    void begun(Mode m) { stack_[depth_++] = m; }

    // Ends the innermost mode: false with the end call's exception set.
    bool end_one() {
        Mode m = stack_[depth_ - 1];
        end(m);
        if (PyErr_Occurred()) return false;
        depth_--;
        return true;
    }

    bool end_all() {
        while (depth_ > 0) {
            if (!end_one()) return false;
        }
        return true;
    }

    // On failure: ends whatever is still begun, keeping the pending
    // exception (a failing end call's own error is dropped).
    ~Modes() {
        if (depth_ == 0) return;
        PyObject *exc = PyErr_GetRaisedException();
        while (depth_ > 0) {
            end(stack_[--depth_]);
            PyErr_Clear();
        }
        PyErr_SetRaisedException(exc);
    }

private:
    static void end(Mode m) {
        switch (m) {
            case kTexture: g.fn.end_texture_mode(); break;
            case kBlend: g.fn.end_blend_mode(); break;
            case kShader: g.fn.end_shader_mode(); break;
        }
    }
    Mode stack_[3];
    int depth_ = 0;
};

// A new tuple of Python floats holding `values`.
template <size_t N>
Ref float_tuple(const double (&values)[N]) {
    Ref tuple = Ref::steal(PyTuple_New(N));
    if (!tuple) return Ref();
    for (size_t i = 0; i < N; i++) {
        PyObject *f = PyFloat_FromDouble(values[i]);
        if (f == nullptr) return Ref();
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), f);
    }
    return tuple;
}

// A tuple of Python floats holding `values`: the one `memo` holds when it
// holds these values bit for bit, else a new one that `memo` keeps.
template <size_t N>
Ref memo_tuple(FloatTupleMemo<N> &memo, const double (&values)[N]) {
    if (memo.tuple == nullptr || std::memcmp(values, memo.values, sizeof values) != 0) {
        Ref tuple = float_tuple(values);
        if (!tuple) return Ref();
        Py_XSETREF(memo.tuple, tuple.release());
        std::memcpy(memo.values, values, sizeof values);
    }
    return Ref::new_ref(memo.tuple);
}

// centre.<name> of the centre the gradient holds now, held while it is read.
Ref centre_attribute(GradientRaylibObject *self, PyObject *name) {
    Ref centre = Ref::new_ref(self->center);
    return Ref::steal(PyObject_GetAttr(centre.get(), name));
}

// (centre.x, centre.y) as attribute access returns them, each read from the
// centre the gradient holds at that moment: reading x may run code that
// replaces the centre (and frees the old one). An exact KsVector2 answers
// with its two fields (its type is static and its instances have no
// __dict__, so nothing can stand in for them); anything else is asked.
Ref centre_pair(GradientRaylibObject *self) {
    PyObject *centre = self->center;
    if (Py_TYPE(centre) == g.KsVector2 && g.vec2_attributes_fixed) {
        const KsVector2Data &d = reinterpret_cast<KsVector2Object *>(centre)->data;
        return memo_tuple(g.draw_centre, {d.x, d.y});
    }
    Ref x = centre_attribute(self, g.s.x);
    if (!x) return Ref();
    Ref y = centre_attribute(self, g.s.y);
    if (!y) return Ref();
    return Ref::steal(PyTuple_Pack(2, x.get(), y.get()));
}

// 0 when `type == GradientType.Linear`, else 1; -1 with an exception set.
int kind_of(GradientRaylibObject *self) {
    Ref linear = current_kind(g.s.Linear);
    if (!linear) return -1;
    int eq = equals(self->type, linear.get());
    return eq < 0 ? -1 : (eq ? 0 : 1);
}

// The uniform upload: the eight uniforms in their fixed order (kind, angle,
// centre, colour count, alpha, colours, stops, size). The centre goes up
// either as the KsVector2 itself (generate_texture) or as an (x, y) tuple
// read through attribute access (draw).
bool upload(GradientRaylibObject *self, int kind, float alpha, bool centre_as_tuple,
            PyObject *size) {
    g.fn.set_ksshader_value_int(shared_shader(), g.loc_type, kind);
    if (PyErr_Occurred()) return false;
    g.fn.set_ksshader_value_float(shared_shader(), g.loc_angle, self->angle);
    if (PyErr_Occurred()) return false;
    if (centre_as_tuple) {
        Ref pair = centre_pair(self);
        if (!pair) return false;
        g.fn.set_ksshader_value_vec2_tuple(shared_shader(), g.loc_center, pair.get());
    } else {
        Ref centre = Ref::new_ref(self->center);
        g.fn.set_ksshader_value_vec2_ksvec(shared_shader(), g.loc_center,
                                           reinterpret_cast<KsVector2Object *>(centre.get()));
    }
    if (PyErr_Occurred()) return false;
    // Read only now: reading the centre may have run code that changed them.
    const std::vector<float> &stops = self->stops;
    // A failed colour update can leave the colours and stops of different
    // lengths (so can assigning `weights`): the shader reads a stop for
    // every colour it is told of, so it is told only of colours that have
    // one, never of stops left over from an earlier upload.
    g.fn.set_ksshader_value_int(shared_shader(), g.loc_count,
                                static_cast<int>(std::min(self->colors.size(), stops.size())));
    if (PyErr_Occurred()) return false;
    g.fn.set_ksshader_value_float(shared_shader(), g.loc_alpha, alpha);
    if (PyErr_Occurred()) return false;
    try {
        // The setters take their sequences by value: each gets its own copy.
        g.fn.set_ksshader_value_vec4_v(shared_shader(), g.loc_colors, self->colors);
        if (PyErr_Occurred()) return false;
        g.fn.set_ksshader_value_float_v(shared_shader(), g.loc_stops, stops);
        if (PyErr_Occurred()) return false;
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
        return false;
    }
    g.fn.set_ksshader_value_vec2_ksvec(shared_shader(), g.loc_size,
                                       reinterpret_cast<KsVector2Object *>(size));
    return !PyErr_Occurred();
}

bool begin_shader(Modes &modes) {
    Ref res = Ref::steal(g.fn.begin_ksshader_mode(shared_shader()));
    if (!res) return false;
    modes.begun(Modes::kShader);
    return true;
}

// md.rl.BlendMode.BLEND_ALPHA_PREMULTIPLY as an int, looked up now.
int premultiplied_blend_mode(bool &ok) {
    ok = false;
    Ref rl = current_rl();
    if (!rl) return 0;
    Ref modes = Ref::steal(PyObject_GetAttr(rl.get(), g.s.BlendMode));
    if (!modes) return 0;
    Ref mode = Ref::steal(PyObject_GetAttr(modes.get(), g.s.BLEND_ALPHA_PREMULTIPLY));
    if (!mode) return 0;
    int value = as_int32(mode.get());
    ok = !(value == -1 && PyErr_Occurred());
    return value;
}

PyObject *generate_texture_impl(GradientRaylibObject *self, PyObject *const *args,
                                size_t nargsf, PyObject *kwnames) {
    PyObject *a[2];
    int width, height;
    if (!bind_args(texture_params, args, nargsf, kwnames, a) || !int32_arg(a[0], &width) ||
        !int32_arg(a[1], &height))
        return nullptr;
    KsRenderScope render(g.rl);  // ends after the modes below, which end first
    if (!render.begin()) return nullptr;
    if (self->center == Py_None) {
        PyErr_SetString(PyExc_TypeError,
                        "the gradient has no center: it was never initialised or restored");
        return nullptr;
    }
    int kind = kind_of(self);
    if (kind < 0) return nullptr;
    // A gradient restored by unpickling never ran __init__, which makes the
    // shared resources: make them here when they are absent.
    if (ensure_resources() < 0) return nullptr;

    Ref size = Ref::steal(g.vec2_vt->new_(width, height));
    if (!size || !upload(self, kind, 1.0f, false, size.get())) return nullptr;
    Ref target = Ref::steal(g.rtex_vt->new_(reinterpret_cast<KsVector2Object *>(size.get())));
    if (!target) return nullptr;
    auto *rt = reinterpret_cast<KsRenderTextureObject *>(target.get());

    Modes modes;
    g.fn.begin_texture_mode(rt->render_texture);
    if (PyErr_Occurred()) return nullptr;
    modes.begun(Modes::kTexture);
    bool ok;
    int blend = premultiplied_blend_mode(ok);
    if (!ok) return nullptr;
    g.fn.begin_blend_mode(blend);
    if (PyErr_Occurred()) return nullptr;
    modes.begun(Modes::kBlend);
    if (!begin_shader(modes)) return nullptr;
    if (g.rtex_vt->c_fast_clear(rt, g.clear_color) < 0) return nullptr;

    Ref dest = Ref::steal(Py_BuildValue("(iiii)", 0, 0, width, height));
    if (!dest) return nullptr;
    g.fn.draw_texture_pro(g.shared_blank_texture, g.source_rect, dest.get(), g.origin, 0.0f,
                          g.white_tint);
    if (PyErr_Occurred() || !modes.end_all()) return nullptr;
    return target.release();
}

PyObject *draw_impl(GradientRaylibObject *self, PyObject *const *args, size_t nargsf,
                    PyObject *kwnames) {
    PyObject *a[4];
    if (!bind_args(draw_params, args, nargsf, kwnames, a)) return nullptr;
    float v[4];
    for (int i = 0; i < 4; i++) {
        double d = as_double(a[i]);
        if (d == -1.0 && PyErr_Occurred()) return nullptr;
        v[i] = narrow(d);
    }
    KsRenderScope render(g.rl);
    if (!render.begin()) return nullptr;
    if (call_ensure_resources(self) < 0) return nullptr;
    int kind = kind_of(self);
    if (kind < 0) return nullptr;
    float alpha = narrow(self->transparency / 255.0);
    if (refill_vector2(g.draw_size, v[2], v[3]) < 0) return nullptr;
    Ref size = Ref::new_ref(g.draw_size);
    if (!upload(self, kind, alpha, true, size.get())) return nullptr;

    Modes modes;
    if (!begin_shader(modes)) return nullptr;
    Ref dest = memo_tuple(g.draw_dest, {v[0], v[1], v[2], v[3]});
    if (!dest) return nullptr;
    Ref tint = rl_white();
    if (!tint) return nullptr;
    if (tint.get() != Py_None && !PyTuple_CheckExact(tint.get())) {
        PyErr_Format(PyExc_TypeError, "Expected tuple, got %.200s", Py_TYPE(tint.get())->tp_name);
        return nullptr;
    }
    g.fn.draw_texture_pro(g.shared_blank_texture, g.source_rect, dest.get(), g.origin, 0.0f,
                          tint.get());
    if (PyErr_Occurred() || !modes.end_all()) return nullptr;
    Py_RETURN_NONE;
}

}  // namespace

PyObject *gradient_generate_texture(PyObject *self, PyObject *const *args, size_t nargsf,
                                    PyObject *kwnames) {
    return traced(QN_TEXTURE, generate_texture_impl(reinterpret_cast<GradientRaylibObject *>(self),
                                                    args, nargsf, kwnames));
}

PyObject *click_draw(PyObject *self, PyObject *const *args, size_t nargsf, PyObject *kwnames) {
    return traced(QN_DRAW,
                  draw_impl(reinterpret_cast<GradientRaylibObject *>(self), args, nargsf, kwnames));
}

}  // namespace ksraygrad
