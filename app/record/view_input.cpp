#include "app/record/view_input.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/record/key_map.h"

namespace swivio::app {

namespace {
// One notch of a wheel, in Qt's eighths of a degree.
constexpr int kNotch = 120;
} // namespace

bool pointerInput(const QMouseEvent& event, UserInputKind kind, const FitRect& fit, int mw,
                  int mh, UserInput& input) {
    input.kind = kind;
    if (kind == UserInputKind::MouseDown || kind == UserInputKind::MouseUp) {
        switch (event.button()) {
        case Qt::LeftButton: input.button = UserMouseButton::Left; break;
        case Qt::RightButton: input.button = UserMouseButton::Right; break;
        case Qt::MiddleButton: input.button = UserMouseButton::Middle; break;
        default: return false;
        }
    }
    const QPointF at = event.position();
    // Outside the picture the point still maps; only an empty fit has no stage.
    areaToStage(fit, mw, mh, at.x(), at.y(), input.x, input.y);
    return fit.width > 0 && fit.height > 0;
}

std::vector<UserInput> keyInputs(const QKeyEvent& event, bool press) {
    std::vector<UserInput> out;
    // A held key repeats its press (the movie hears each, as a player does), never its
    // release until it is let go.
    if (!press && event.isAutoRepeat())
        return out;
    const QString text = event.text();
    char32_t typed = 0;
    if (!text.isEmpty()) {
        const QList<uint> points = text.toUcs4();
        if (points.size() == 1)
            typed = char32_t(points.front());
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    KeyInfo key;
    if (!movieKey(event.key(), modifiers.testFlag(Qt::KeypadModifier), typed, key))
        return out;
    UserInput down;
    down.kind = press ? UserInputKind::KeyDown : UserInputKind::KeyUp;
    down.keyCode = key.keyCode;
    down.character = key.character;
    out.push_back(down);
    if (!press)
        return out;
    if (const auto control = textControlFor(event.key(), modifiers & ~Qt::KeypadModifier)) {
        // Paste inserts what the system clipboard holds now.
        if (*control == UserTextControl::Paste) {
            UserInput clip;
            clip.kind = UserInputKind::ClipboardText;
            if (const QClipboard* clipboard = QGuiApplication::clipboard())
                clip.text = clipboard->text().toStdString();
            out.push_back(clip);
        }
        UserInput command;
        command.kind = UserInputKind::TextControl;
        command.control = *control;
        out.push_back(command);
        return out;
    }
    // Typing with Control held is a shortcut, never text.
    if (key.character >= 32 && key.character != 127 &&
        !modifiers.testFlag(Qt::ControlModifier)) {
        UserInput typing;
        typing.kind = UserInputKind::TextInput;
        typing.codepoint = key.character;
        out.push_back(typing);
    }
    return out;
}

int wheelLines(int angleDelta, int linesPerNotch, int& pending) {
    pending += angleDelta * linesPerNotch;
    const int lines = pending / kNotch;
    pending -= lines * kNotch;
    return lines;
}

Qt::CursorShape cursorShape(UserCursor cursor, bool hidden) {
    if (hidden)
        return Qt::BlankCursor;
    switch (cursor) {
    case UserCursor::Hand: return Qt::PointingHandCursor;
    case UserCursor::IBeam: return Qt::IBeamCursor;
    case UserCursor::Arrow: break;
    }
    return Qt::ArrowCursor;
}

} // namespace swivio::app
