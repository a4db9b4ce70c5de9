// Node-API glue of the accelerator module: registration, the four exported callbacks and the
// conversions between JavaScript values and the core's types. Failed Node-API calls surface as
// Napi::Error, which node-addon-api throws into the caller as a JavaScript Error.

#include "Accelerator.h"

#include <memory>
#include <napi.h>

namespace {

using namespace pylon::accelerator;

// One platform per Node environment (the main thread and each worker that loads the module), kept
// for the environment's life: it holds the X connection that every call would otherwise open and
// close again. Node deletes it when the environment ends.
struct ModuleState {
    std::unique_ptr<Platform> platform = makePlatform();
    Accelerator accelerator{*platform};
};

template <typename Action> auto withAccelerator(Napi::Env env, Action action) {
    auto* state = env.GetInstanceData<ModuleState>();
    if (!state) {
        state = new ModuleState;
        env.SetInstanceData(state);
    }
    return action(state->accelerator);
}

Napi::Value stringOrNull(Napi::Env env, const std::optional<std::string>& text) {
    if (!text)
        return env.Null();
    return Napi::String::New(env, *text);
}

Napi::Object toJavaScript(Napi::Env env, const RunningApplication& application) {
    // The companion forwards these objects as they are: key names and their order are part of its
    // status document.
    auto object = Napi::Object::New(env);
    object.Set("processId", Napi::Number::New(env, application.processId));
    object.Set("displayName", stringOrNull(env, application.displayName));
    object.Set("applicationPath", stringOrNull(env, application.applicationPath));
    object.Set("bundleId", stringOrNull(env, application.bundleId));
    return object;
}

Napi::Value CheckAccessibility(const Napi::CallbackInfo& info) {
    return Napi::Boolean::New(info.Env(),
                              withAccelerator(info.Env(), [](Accelerator& a) { return a.checkAccessibility(); }));
}

Napi::Value RequestAccessibility(const Napi::CallbackInfo& info) {
    return Napi::Boolean::New(info.Env(),
                              withAccelerator(info.Env(), [](Accelerator& a) { return a.requestAccessibility(); }));
}

Napi::Value GetRunningAbletonInstances(const Napi::CallbackInfo& info) {
    const Napi::Env env = info.Env();
    const auto instances = withAccelerator(env, [](Accelerator& a) { return a.runningAbletonInstances(); });
    auto array = Napi::Array::New(env, instances.size());
    for (std::size_t i = 0; i < instances.size(); ++i)
        array.Set(static_cast<std::uint32_t>(i), toJavaScript(env, instances[i]));
    return array;
}

Napi::Value SendCommandS(const Napi::CallbackInfo& info) {
    const Napi::Env env = info.Env();
    if (info.Length() < 1 || !info[0].IsNumber())
        throw Napi::TypeError::New(env, std::string(kPidArgumentRequired));
    // Read as a double, not as int32: the int32 conversion wraps large numbers to their low
    // 32 bits and would send the shortcut to an unrelated process.
    const double processId = info[0].As<Napi::Number>().DoubleValue();
    return Napi::Boolean::New(env,
                              withAccelerator(env, [processId](Accelerator& a) { return a.sendCommandS(processId); }));
}

Napi::Object Init(Napi::Env env, Napi::Object exports) {
    exports.Set("checkAccessibility", Napi::Function::New<CheckAccessibility>(env));
    exports.Set("getRunningAbletonInstances", Napi::Function::New<GetRunningAbletonInstances>(env));
    exports.Set("requestAccessibility", Napi::Function::New<RequestAccessibility>(env));
    exports.Set("sendCommandS", Napi::Function::New<SendCommandS>(env));
    return exports;
}

} // namespace

NODE_API_MODULE(accelerator, Init)
