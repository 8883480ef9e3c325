#include "swf/avm1/clip_object.h"

#include <cmath>

#include "swf/avm1/display_bounds.h"
#include "swf/avm1/interpreter.h"
#include "swf/avm1/movie_loader.h"
#include "swf/avm1/mouse_input.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/format/character.h"

namespace swivio::swf::avm1 {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Display properties, which every version looks up ignoring case.
enum class Prop {
    X, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height, Rotation,
    Target, FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect, SoundBufTime, Quality,
    XMouse, YMouse, Parent, Root, Global, LockRoot, None,
};

struct PropName {
    const char* name;
    Prop prop;
};

constexpr PropName kProps[] = {
    {"_x", Prop::X},
    {"_y", Prop::Y},
    {"_xscale", Prop::XScale},
    {"_yscale", Prop::YScale},
    {"_currentframe", Prop::CurrentFrame},
    {"_totalframes", Prop::TotalFrames},
    {"_alpha", Prop::Alpha},
    {"_visible", Prop::Visible},
    {"_width", Prop::Width},
    {"_height", Prop::Height},
    {"_rotation", Prop::Rotation},
    {"_target", Prop::Target},
    {"_framesloaded", Prop::FramesLoaded},
    {"_name", Prop::Name},
    {"_droptarget", Prop::DropTarget},
    {"_url", Prop::Url},
    {"_highquality", Prop::HighQuality},
    {"_focusrect", Prop::FocusRect},
    {"_soundbuftime", Prop::SoundBufTime},
    {"_quality", Prop::Quality},
    {"_xmouse", Prop::XMouse},
    {"_ymouse", Prop::YMouse},
    {"_parent", Prop::Parent},
    {"_root", Prop::Root},
    {"_global", Prop::Global},
    {"_lockroot", Prop::LockRoot},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return equalsIgnoringAsciiCase(a, b);
}

Prop propOf(std::string_view name) {
    if (name.empty() || name[0] != '_')
        return Prop::None;
    for (const PropName& p : kProps)
        if (equalsIgnoringCase(name, p.name))
            return p.prop;
    return Prop::None;
}

} // namespace

bool sameObject(const Object* a, const Object* b) {
    if (a == b)
        return true;
    if (!a || !b || !isDisplayKind(a->kind()) || !isDisplayKind(b->kind()))
        return false;
    const auto* x = dynamic_cast<const ClipObject*>(a);
    const auto* y = dynamic_cast<const ClipObject*>(b);
    return x && y && !x->path().empty() && x->path() == y->path();
}

bool isClipProperty(std::string_view name) {
    const Prop prop = propOf(name);
    return prop != Prop::None && prop != Prop::Parent && prop != Prop::Root &&
           prop != Prop::Global;
}

namespace {

bool hasScriptFace(const DisplayObject& d) {
    const Character* c = d.character();
    if (d.isClip() || d.editField || !c)
        return true;
    return c->type == CharacterType::Button || c->type == CharacterType::VideoStream ||
           c->type == CharacterType::EditText || c->type == CharacterType::Sprite;
}

double scaleX(const Matrix& m) { return std::sqrt(m.a * m.a + m.b * m.b); }
double scaleY(const Matrix& m) { return std::sqrt(m.c * m.c + m.d * m.d); }
double rotationOf(const Matrix& m) { return std::atan2(m.b, m.a); }

void setScaleRotation(Matrix& m, double sx, double sy, double rotation) {
    // Keep the skew between the axes as it is.
    const double skew = std::atan2(-m.c, m.d) - rotationOf(m);
    m.a = sx * std::cos(rotation);
    m.b = sx * std::sin(rotation);
    m.c = -sy * std::sin(rotation + skew);
    m.d = sy * std::cos(rotation + skew);
}

// Twips to pixels as Flash reports them (whole twips, so 0.05 steps).
double pixels(double twips) { return std::round(twips) / 20.0; }

} // namespace

ClipObject::ClipObject(Object* proto, ScriptRuntime& runtime, DisplayObject& display)
    : Object(proto), m_runtime(runtime), m_handle(display.handle()),
      m_kind(display.character() && display.character()->type == CharacterType::Button
                 ? ObjectKind::Button
             : display.editField ? ObjectKind::TextField
                                 : ObjectKind::Clip) {}

bool ClipObject::alive() const { return m_runtime.player().find(m_handle) != nullptr; }

DisplayObject* ClipObject::display() const {
    if (DisplayObject* own = m_runtime.player().find(m_handle))
        return own;
    return m_runtime.displayAtPath(m_path);
}

ClipObject* ClipObject::live() const {
    if (m_runtime.player().find(m_handle))
        return const_cast<ClipObject*>(this);
    DisplayObject* other = m_runtime.displayAtPath(m_path);
    return other ? m_runtime.clipFor(*other) : nullptr;
}

bool ClipObject::getSpecial(Interpreter& vm, std::string_view name, Value& out) {
    ClipObject* self = live();
    if (self && self != this) {
        // A reference to a clip that has gone: the clip now at its path answers.
        out = vm.getMember(Value(self), name);
        return true;
    }
    // Variables of the clip come first.
    if (properties().find(name, vm.caseSensitive()))
        return false;
    DisplayObject* display = self ? self->display() : nullptr;
    Prop prop = propOf(name);
    // The path names follow the version's case rules and are unknown to SWF 4.
    const bool pathName = prop == Prop::Global || prop == Prop::Root || prop == Prop::Parent ||
                          (prop == Prop::None && levelNumber(name) >= 0);
    if (pathName) {
        if (vm.version() < 5 && prop != Prop::Parent)
            return false;
        std::string lower(name);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        if (!vm.namesEqual(name, lower))
            return false;
    }
    if (prop == Prop::Global) {
        // _global came with version 6: older code finds nothing by the name.
        if (vm.version() < 6)
            return false;
        out = vm.global();
        return true;
    }
    if (!display) {
        return false;
    }
    if (prop == Prop::Root) {
        out = m_runtime.rootFor(*display);
        return true;
    }
    if (pathName && prop == Prop::None)
        if (ClipObject* level = m_runtime.levelClip(levelNumber(name))) {
            out = level;
            return true;
        }
    if (prop == Prop::Parent) {
        if (display->parent())
            out = m_runtime.clipFor(*display->parent());
        else
            out = Value();
        return true;
    }
    if (prop == Prop::None) {
        // A named shape, static text or bitmap has no script face: its name reaches the clip
        // that holds it.
        const auto namedChild = [&](DisplayObject& child) -> Value {
            if (hasScriptFace(child))
                return m_runtime.clipFor(child);
            return this;
        };
        if (DisplayObject* child = display->isClip() || !display->children().empty()
                                       ? display->childByName(std::string(name))
                                       : nullptr) {
            out = namedChild(*child);
            return true;
        }
        if (!vm.caseSensitive())
            for (auto& [depth, child] : display->children()) {
                (void)depth;
                if (!child->name.empty() && equalsIgnoringCase(child->name, name)) {
                    out = namedChild(*child);
                    return true;
                }
            }
        return false;
    }
    const Matrix& m = display->matrix;
    switch (prop) {
    case Prop::X: out = pixels(m.tx); break;
    case Prop::Y: out = pixels(m.ty); break;
    case Prop::XScale: out = scaleX(m) * 100; break;
    case Prop::YScale: out = scaleY(m) * 100; break;
    case Prop::Rotation: out = rotationOf(m) * 180 / kPi; break;
    case Prop::CurrentFrame:
        out = display->isClip() ? double(display->currentFrame + 1) : Value();
        break;
    case Prop::TotalFrames:
    case Prop::FramesLoaded:
        out = display->timeline() ? double(display->timeline()->frameCount()) : Value();
        break;
    case Prop::Alpha: out = double(display->colorTransform.ma) * 100; break;
    case Prop::Visible: out = display->visible; break;
    case Prop::Width:
    case Prop::Height: {
        Bounds b = displayBounds(*display, display->matrix);
        out = b.empty ? 0.0 : pixels(prop == Prop::Width ? b.xMax - b.xMin : b.yMax - b.yMin);
        break;
    }
    case Prop::Target: out = m_runtime.targetPath(self, false); break;
    case Prop::Name: out = display->isRoot() ? std::string() : display->name; break;
    case Prop::DropTarget: out = m_runtime.dropTarget(*display); break;
    case Prop::Url: out = m_runtime.urlFor(*display); break;
    case Prop::HighQuality: out = 1.0; break;
    case Prop::FocusRect: out = m_runtime.focusRect(*display); break;
    case Prop::SoundBufTime: out = 5.0; break;
    case Prop::Quality: out = "HIGH"; break;
    case Prop::XMouse:
    case Prop::YMouse: {
        out = pixels(localMouse(*display, m_runtime.mouseX(), m_runtime.mouseY(),
                                prop == Prop::XMouse));
        break;
    }
    case Prop::LockRoot: out = m_lockRoot; break;
    default: return false;
    }
    return true;
}

bool ClipObject::setSpecial(Interpreter& vm, std::string_view name, const Value& value) {
    const Prop prop = propOf(name);
    if (prop == Prop::None || prop == Prop::Global || prop == Prop::Root ||
        prop == Prop::Parent)
        return false;
    ClipObject* self = live();
    if (self && self != this) {
        vm.setMember(Value(self), name, value);
        return true;
    }
    DisplayObject* display = self ? self->display() : nullptr;
    if (!display)
        return true;
    Matrix& m = display->matrix;
    auto number = [&]() { return vm.toNumber(value); };
    auto transformed = [&]() { display->transformedByScript = true; };
    switch (prop) {
    // Positions are whole twips, the fraction dropped.
    case Prop::X:
        if (double v = number(); std::isfinite(v)) {
            m.tx = std::trunc(v * 20);
            transformed();
        }
        break;
    case Prop::Y:
        if (double v = number(); std::isfinite(v)) {
            m.ty = std::trunc(v * 20);
            transformed();
        }
        break;
    case Prop::XScale:
        if (double v = number(); std::isfinite(v)) {
            setScaleRotation(m, v / 100, scaleY(m), rotationOf(m));
            transformed();
        }
        break;
    case Prop::YScale:
        if (double v = number(); std::isfinite(v)) {
            setScaleRotation(m, scaleX(m), v / 100, rotationOf(m));
            transformed();
        }
        break;
    case Prop::Rotation:
        if (double v = number(); std::isfinite(v)) {
            double degrees = std::fmod(v, 360.0);
            if (degrees > 180)
                degrees -= 360;
            else if (degrees < -180)
                degrees += 360;
            setScaleRotation(m, scaleX(m), scaleY(m), degrees * kPi / 180);
            transformed();
        }
        break;
    case Prop::Alpha:
        if (double v = number(); std::isfinite(v)) {
            display->colorTransform.ma = float(v / 100);
            transformed();
        }
        break;
    case Prop::Visible: {
        // Numbers and strings count through their numeric value.
        double v = vm.toNumber(value);
        const bool wasVisible = display->visible;
        display->visible = value.isBoolean() ? value.boolean() : !std::isnan(v) && v != 0;
        transformed();
        if (wasVisible && !display->visible)
            m_runtime.focusHidden(*display);
        break;
    }
    case Prop::Width:
    case Prop::Height: {
        double v = number();
        if (!std::isfinite(v) || v < 0)
            break;
        if (display->editField) {
            // A text field's width and height are its box's, not a scale.
            if (prop == Prop::Width)
                display->editField->setWidth(v);
            else
                display->editField->setHeight(v);
            break;
        }
        Bounds local = displayBounds(*display, Matrix{});
        const double extent =
            prop == Prop::Width ? local.xMax - local.xMin : local.yMax - local.yMin;
        if (local.empty || extent <= 0)
            break;
        const double rotation = rotationOf(m);
        if (prop == Prop::Width)
            setScaleRotation(m, v * 20 / extent, scaleY(m), rotation);
        else
            setScaleRotation(m, scaleX(m), v * 20 / extent, rotation);
        transformed();
        break;
    }
    case Prop::Name:
        if (!display->isRoot()) {
            display->name = vm.toString(value);
            m_runtime.renamed(*display);
        }
        break;
    case Prop::LockRoot: m_lockRoot = vm.toBoolean(value); break;
    case Prop::FocusRect: m_runtime.setFocusRect(*display, value); break;
    default: break; // read-only, or a setting with no effect here
    }
    return true;
}

void ClipObject::specialKeys(Interpreter&, std::vector<SharedString>& out) {
    DisplayObject* display = this->display();
    if (!display)
        return;
    for (auto it = display->children().rbegin(); it != display->children().rend(); ++it)
        if (!it->second->name.empty() && it->second->isClip())
            out.emplace_back(it->second->name);
}

} // namespace swivio::swf::avm1
