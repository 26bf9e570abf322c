#include "platform/game_controller.h"

#include "platform/events.h"

ControllerState controllerState;

namespace {

struct ButtonKey {
    SDL_GameControllerButton button;
    int key;
};

constexpr ButtonKey kButtonKeys[] = {
    {SDL_CONTROLLER_BUTTON_A, kKeySpace},
    {SDL_CONTROLLER_BUTTON_START, kKeySpace},
    {SDL_CONTROLLER_BUTTON_B, kKeyEscape},
    {SDL_CONTROLLER_BUTTON_BACK, kKeyEscape},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, kKeyLeft},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kKeyLeft},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, kKeyRight},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kKeyRight},
};

void openController(int deviceIndex) {
    ControllerState& state = controllerState;
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* open : state.open)
        if (open != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(open)) == id)
            return; // announced twice
    for (SDL_GameController*& slot : state.open) {
        if (slot != nullptr) continue;
        slot = SDL_GameControllerOpen(deviceIndex);
        return;
    }
}

void closeController(SDL_JoystickID id) {
    for (SDL_GameController*& slot : controllerState.open) {
        if (slot == nullptr || SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(slot)) != id)
            continue;
        SDL_GameControllerClose(slot);
        slot = nullptr;
    }
    controllerState.leftStickX = 0.0f;
}

} // namespace

int keyForControllerButton(int button) {
    for (const ButtonKey& entry : kButtonKeys)
        if (entry.button == button) return entry.key;
    return -1;
}

float stickTilt(int16_t axis) {
    int value = axis;
    if (value > -kStickDeadZone && value < kStickDeadZone) return 0.0f;
    int beyond = value > 0 ? value - kStickDeadZone : value + kStickDeadZone;
    int range = value > 0 ? 32767 - kStickDeadZone : 32768 - kStickDeadZone;
    return float(beyond) / float(range);
}

void startControllers() {
    ControllerState& state = controllerState;
    if (state.started) return;
    // Batch runs share a display and may not have the focus: their controllers still count.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    state.started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (state.started) serveControllersFromPump(handleControllerEvent);
}

void stopControllers() {
    ControllerState& state = controllerState;
    if (!state.started) return;
    for (SDL_GameController*& slot : state.open) {
        if (slot != nullptr) SDL_GameControllerClose(slot);
        slot = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    serveControllersFromPump(nullptr);
    state = ControllerState{};
}

bool handleControllerEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            openController(event.cdevice.which);
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            closeController(event.cdevice.which);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            pressKey(keyForControllerButton(event.cbutton.button),
                     event.type == SDL_CONTROLLERBUTTONDOWN, false);
            return true;
        case SDL_CONTROLLERAXISMOTION:
            if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX)
                controllerState.leftStickX = stickTilt(event.caxis.value);
            return true;
        default:
            return false;
    }
}

float controllerStickX() {
    return controllerState.leftStickX;
}
